#include "automation/dispatch_host_cache.h"

#include <gtest/gtest.h>

#include "host/errors.h"

namespace fenban::automation {
namespace {

using host::Rect;

TEST(SheetValueCache, ReadsWhatWasLoadedAndWrittenAndEmptyElsewhere) {
  SheetValueCache cache;
  EXPECT_FALSE(cache.Loaded());
  cache.StartLoad();
  cache.Assign(1, 1, host::Value("总分"));
  cache.Assign(2, 1, host::Value(600.5));
  cache.Assign(5, 7, host::Value());  // an empty cell beyond the rest stores nothing
  cache.Write(3, 2, host::Value(7));
  EXPECT_TRUE(cache.Loaded());
  EXPECT_EQ(cache.Get(1, 1), host::Value("总分"));
  EXPECT_EQ(cache.Get(2, 1), host::Value(600.5));
  EXPECT_EQ(cache.Get(3, 2), host::Value(7));
  EXPECT_TRUE(cache.Get(3, 1).IsEmpty());
  EXPECT_TRUE(cache.Get(5, 7).IsEmpty());
  EXPECT_TRUE(cache.Get(1048576, 16384).IsEmpty());
  cache.Write(1, 1, host::Value(""));  // an empty text empties the cell, as in the sheet
  EXPECT_TRUE(cache.Get(1, 1).IsEmpty());
  cache.Drop();
  EXPECT_FALSE(cache.Loaded());
  EXPECT_FALSE(cache.HasPending());
}

TEST(SheetValueCache, ValuesWithinFindsTheFilledCellsOfAnArea) {
  SheetValueCache cache;
  cache.StartLoad();
  EXPECT_FALSE(cache.ValuesWithin(Rect{1, 1, 1048576, 16384}).has_value());
  cache.Assign(2, 3, host::Value("x"));
  cache.Write(5, 2, host::Value(1));
  cache.Write(6, 9, host::Value(""));  // empties: not a value
  EXPECT_EQ(cache.ValuesWithin(Rect{1, 1, 1048576, 16384}), (Rect{2, 2, 5, 3}));
  EXPECT_EQ(cache.ValuesWithin(Rect{3, 1, 10, 16384}), (Rect{5, 2, 5, 2}));
  EXPECT_FALSE(cache.ValuesWithin(Rect{1, 4, 1048576, 16384}).has_value());
}

TEST(SheetValueCache, PendingWritesBecomeFewRectangles) {
  SheetValueCache cache;
  cache.StartLoad();
  // A column written downwards (class numbers) is one block.
  for (int32_t r = 2; r <= 2001; ++r) cache.Write(r, 1, host::Value(r % 8 + 1));
  // A header row written across, out of order and one cell twice, is one block.
  for (int32_t c : {4, 3, 5, 3}) cache.Write(1, c, host::Value("h"));
  std::vector<Rect> blocks = cache.PendingBlocks();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0], (Rect{1, 3, 1, 5}));
  EXPECT_EQ(blocks[1], (Rect{2, 1, 2001, 1}));
  cache.ClearPending();
  EXPECT_TRUE(cache.PendingBlocks().empty());
  EXPECT_EQ(cache.Get(2001, 1), host::Value(2001 % 8 + 1));  // values stay after sending
}

TEST(SheetValueCache, RaggedWritesSplitWhereRowsDifferOrAGapComes) {
  SheetValueCache cache;
  cache.StartLoad();
  // Rows 1-2 columns 1-3, row 3 columns 1-2, row 5 columns 1-3 (row 4 untouched).
  for (int32_t c = 1; c <= 3; ++c) {
    cache.Write(1, c, 1);
    cache.Write(2, c, 2);
    cache.Write(5, c, 5);
  }
  cache.Write(3, 1, 3);
  cache.Write(3, 2, 3);
  cache.Write(3, 9, 3);  // a lone cell further right
  const std::vector<Rect> blocks = cache.PendingBlocks();
  ASSERT_EQ(blocks.size(), 4u);
  EXPECT_EQ(blocks[0], (Rect{1, 1, 2, 3}));
  EXPECT_EQ(blocks[1], (Rect{3, 1, 3, 2}));
  EXPECT_EQ(blocks[2], (Rect{3, 9, 3, 9}));
  EXPECT_EQ(blocks[3], (Rect{5, 1, 5, 3}));
  // Every pending cell is in exactly one block.
  int64_t covered = 0;
  for (const Rect& b : blocks) covered += int64_t{b.Rows()} * b.Columns();
  EXPECT_EQ(covered, 3 + 3 + 2 + 1 + 3);
}

TEST(SheetValueCache, WritingAFormulaCellForgetsItsFormula) {
  SheetValueCache cache;
  cache.StartLoad();
  EXPECT_FALSE(cache.HoldsFormulas());
  cache.MarkFormulas(Rect{4, 2, 4, 3});
  EXPECT_TRUE(cache.HoldsFormulas());
  cache.Write(4, 2, 10);
  EXPECT_TRUE(cache.HoldsFormulas());
  cache.Write(4, 3, 11);  // frozen as values, as the statistics do
  EXPECT_FALSE(cache.HoldsFormulas());
  // An area too large to track counts as formulas anywhere until the next load.
  cache.MarkFormulas(Rect{1, 1, 1048576, 1});
  cache.Write(1, 1, 0);
  EXPECT_TRUE(cache.HoldsFormulas());
  cache.StartLoad();
  EXPECT_FALSE(cache.HoldsFormulas());
}

TEST(Address, WritesTheFormsTheObjectModelTakes) {
  EXPECT_EQ(A1Address(Rect{1, 1, 1, 1}), "A1");
  EXPECT_EQ(A1Address(Rect{2, 2, 5, 4}), "B2:D5");
  EXPECT_EQ(A1Address(Rect{1, 27, 3, 702}), "AA1:ZZ3");
  EXPECT_EQ(A1Address(Rect{7, 703, 7, 16384}), "AAA7:XFD7");
  EXPECT_EQ(A1Address(Rect{1, 3, host::kMaxRows, 5}), "C:E");
  EXPECT_EQ(A1Address(Rect{2, 1, 4, host::kMaxColumns}), "2:4");
}

TEST(Address, ParsesWhatAddressGivesBackAndRefusesTheRest) {
  EXPECT_EQ(ParseAddress("$A$1"), (Rect{1, 1, 1, 1}));
  EXPECT_EQ(ParseAddress("$A$1:$K$2001"), (Rect{1, 1, 2001, 11}));
  EXPECT_EQ(ParseAddress("$AB$3:$XFD$1048576"), (Rect{3, 28, 1048576, 16384}));
  EXPECT_EQ(ParseAddress("C4:D5"), (Rect{4, 3, 5, 4}));
  // The used range of a sheet with a formatted cell in its last row, whole rows, the whole sheet.
  EXPECT_EQ(ParseAddress("$A:$P"), (Rect{1, 1, host::kMaxRows, 16}));
  EXPECT_EQ(ParseAddress("$C:$C"), (Rect{1, 3, host::kMaxRows, 3}));
  EXPECT_EQ(ParseAddress("$1:$3"), (Rect{1, 1, 3, host::kMaxColumns}));
  EXPECT_EQ(ParseAddress("1:3"), (Rect{1, 1, 3, host::kMaxColumns}));
  EXPECT_EQ(ParseAddress("$1:$1048576"), (Rect{1, 1, host::kMaxRows, host::kMaxColumns}));
  for (const char* bad : {"", "$A", "$A:", "A0", "A1:", "$A$1:$A$0", "B2:A1", "a1", "A1048577", "XFE1", "A1,B2",
                          "$B:$A", "$3:$1", "$0:$2", "$A:$3", "$XFE:$XFE", "$1:$1048577"}) {
    EXPECT_THROW(ParseAddress(bad), host::RuntimeError) << bad;
  }
}

TEST(CellEntry, TextsTheApplicationWouldReadAsSomethingElseAreFound) {
  for (const char* other : {"000993", "2024-9", "110101199001011234", "11010119900101123X", "85%", "1,234",
                            "=A1", "+5", "-a", "@x", "'x", "#N/A", "TRUE", "false", " True ", "一班3",
                            "\xEF\xBC\x93"}) {  // the last: a full-width digit three
    EXPECT_TRUE(MayBeEnteredAsOther(other)) << other;
  }
  for (const char* plain : {"", "张三", "男", "一班", "是", "新班级", "abc", "TRUEX", "名单."}) {
    EXPECT_FALSE(MayBeEnteredAsOther(plain)) << plain;
  }
}

TEST(SortOrder, IsTheEmbeddedModelsWhateverTheApplicationsOrder) {
  using V = host::Value;
  // Code point order: 女 (U+5973) before 男 (U+7537) ascending, 男 first descending
  // (a pinyin sort would put 男 first ascending).
  EXPECT_EQ(ModelSortOrder({V("男"), V("女"), V("男")}, host::kAscending, {}, host::kAscending),
            (std::vector<size_t>{1, 0, 2}));
  EXPECT_EQ(ModelSortOrder({V("女"), V("男"), V("女")}, host::kDescending, {}, host::kAscending),
            (std::vector<size_t>{1, 0, 2}));
  // Numbers before texts ascending, empty keys last either way, equal keys keep their order.
  EXPECT_EQ(ModelSortOrder({V(), V("a"), V(3), V(1), V(3)}, host::kAscending, {}, host::kAscending),
            (std::vector<size_t>{3, 2, 4, 1, 0}));
  EXPECT_EQ(ModelSortOrder({V(), V(1), V(2)}, host::kDescending, {}, host::kAscending),
            (std::vector<size_t>{2, 1, 0}));
  // A second key orders the rows the first leaves equal.
  EXPECT_EQ(ModelSortOrder({V(1), V(1), V(0)}, host::kAscending, {V(5), V(9), V(7)}, host::kDescending),
            (std::vector<size_t>{2, 1, 0}));
  EXPECT_TRUE(ModelSortOrder({}, host::kAscending, {}, host::kAscending).empty());
}

TEST(SortOrder, PositionKeysSortAsTheirPositionsAndReadAsPlainText) {
  for (size_t count : {size_t{1}, size_t{26}, size_t{27}, size_t{2000}}) {
    std::string before;
    for (size_t i = 0; i < count; ++i) {
      const std::string key = PositionKey(i, count);
      EXPECT_EQ(key.size(), PositionKey(0, count).size());
      EXPECT_FALSE(MayBeEnteredAsOther(key)) << key;
      EXPECT_LT(before, key);
      before = key;
    }
  }
}

TEST(SheetValueCache, PermutedRowsMoveTheirValuesInTheSortedColumnsOnly) {
  SheetValueCache cache;
  cache.StartLoad();
  for (int32_t r = 2; r <= 4; ++r) {
    cache.Assign(r, 1, host::Value(r));
    cache.Assign(r, 2, host::Value("x" + std::to_string(r)));
    cache.Assign(r, 3, host::Value(-r));
  }
  cache.PermuteRows(2, 1, 2, {2, 0, 1});
  EXPECT_EQ(cache.Get(2, 1), host::Value(4));
  EXPECT_EQ(cache.Get(2, 2), host::Value("x4"));
  EXPECT_EQ(cache.Get(3, 1), host::Value(2));
  EXPECT_EQ(cache.Get(4, 2), host::Value("x3"));
  EXPECT_EQ(cache.Get(2, 3), host::Value(-2));  // outside the sorted columns
  EXPECT_FALSE(cache.HasPending());
}

}  // namespace
}  // namespace fenban::automation
