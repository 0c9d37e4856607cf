// Preset classes: the swap with the nearest-scoring member of the class.
#include <gtest/gtest.h>

#include "division_world.h"
#include "host/errors.h"

namespace fenban::division::testing {
namespace {

using host::Value;

// Rows of (class, total, preset) under the headers of a work table, sorted by
// total as the assignment leaves it. Returns the classes after the swaps.
std::vector<int32_t> PresetsApplied(const std::vector<Row>& rows) {
  DivisionWorld world;
  Table table = {{"新班级", "序号", "姓名", "总分", "预设班"}};
  int32_t n = 0;
  for (const Row& row : rows) table.push_back({row[0], Value(), "s" + std::to_string(++n), row[1], row[2]});
  WriteTable(world.Work(), table);
  EXPECT_TRUE(ApplyPresetClasses(world.app, world.Work(), 4, static_cast<int32_t>(table.size())));
  EXPECT_TRUE(world.services.messages.empty());
  std::vector<int32_t> classes;
  for (int32_t r = 2; r <= static_cast<int32_t>(table.size()); ++r) {
    classes.push_back(world.Work().CellValue(r, 1).ToLong());
  }
  return classes;
}

TEST(ApplyPresetClasses, SwapsWithTheNearestMemberBelowWhenNoneAbove) {
  EXPECT_EQ(PresetsApplied({{1, 100, 3}, {2, 90, Value()}, {3, 80, Value()}, {3, 70, Value()}}),
            (std::vector<int32_t>{3, 2, 1, 3}));
}

TEST(ApplyPresetClasses, TakesTheSmallerGap) {
  // Above 5 points away, below 15: the member above swaps.
  EXPECT_EQ(PresetsApplied({{3, 100, Value()}, {1, 95, 3}, {2, 94, Value()}, {3, 80, Value()}}),
            (std::vector<int32_t>{1, 3, 2, 3}));
  // Above 5 points away, below 2: the member below swaps.
  EXPECT_EQ(PresetsApplied({{3, 100, Value()}, {1, 95, 3}, {2, 94, Value()}, {3, 93, Value()}}),
            (std::vector<int32_t>{3, 3, 2, 1}));
  // A member above that is not the first one above is never looked at.
  EXPECT_EQ(PresetsApplied({{3, 99, Value()}, {3, 96, Value()}, {1, 95, 3}, {3, 90, Value()}}),
            (std::vector<int32_t>{3, 1, 3, 3}));
}

TEST(ApplyPresetClasses, EqualGapsChooseTheRowBelow) {
  EXPECT_EQ(PresetsApplied({{3, 100, Value()}, {1, 90, 3}, {3, 80, Value()}}), (std::vector<int32_t>{3, 3, 1}));
}

TEST(ApplyPresetClasses, GapsAreRoundedHalfToEven) {
  // 2 above and 2.5 below: 2.5 rounds to 2, so the gaps are equal and the row below swaps.
  EXPECT_EQ(PresetsApplied({{3, 92, Value()}, {1, 90, 3}, {3, 87.5, Value()}}), (std::vector<int32_t>{3, 3, 1}));
  // 2.2 above and 2.9 below round to 2 and 3: the row above swaps.
  EXPECT_EQ(PresetsApplied({{3, 92.2, Value()}, {1, 90, 3}, {3, 87.1, Value()}}), (std::vector<int32_t>{1, 3, 3}));
  // 3.5 below rounds to 4 against 3 above.
  EXPECT_EQ(PresetsApplied({{3, 93, Value()}, {1, 90, 3}, {3, 86.5, Value()}}), (std::vector<int32_t>{1, 3, 3}));
}

TEST(ApplyPresetClasses, AStudentPresetToItsClassIsNeverTheOneWhoLeaves) {
  // The member above is nearer but preset to class 2 itself: the one below swaps.
  EXPECT_EQ(PresetsApplied({{2, 100, 2}, {1, 95, 2}, {2, 50, Value()}}), (std::vector<int32_t>{2, 2, 1}));
  // The nearest member below is preset to class 2; it stays, and the first
  // student does not come back out when that row's turn comes.
  EXPECT_EQ(PresetsApplied({{1, 100, 2}, {2, 99, 2}, {2, 10, Value()}, {1, 5, Value()}}),
            (std::vector<int32_t>{2, 2, 1, 1}));
  // Two students swap into each other's preset class.
  EXPECT_EQ(PresetsApplied({{1, 100, 2}, {2, 99, 1}}), (std::vector<int32_t>{2, 1}));
}

// Runs the preset step on (class, total, preset) rows and returns the message it showed, "" when none.
std::string PresetMessage(const std::vector<Row>& rows, std::vector<int32_t>& classesAfter) {
  DivisionWorld world;
  Table table = {{"新班级", "序号", "姓名", "总分", "预设班"}};
  int32_t n = 0;
  for (const Row& row : rows) table.push_back({row[0], Value(), "s" + std::to_string(++n), row[1], row[2]});
  WriteTable(world.Work(), table);
  const bool done = ApplyPresetClasses(world.app, world.Work(), 4, static_cast<int32_t>(table.size()));
  for (int32_t r = 2; r <= static_cast<int32_t>(table.size()); ++r) {
    classesAfter.push_back(world.Work().CellValue(r, 1).ToLong());
  }
  EXPECT_EQ(done, world.services.messages.empty());
  return world.services.messages.empty() ? "" : world.services.messages[0].prompt;
}

TEST(ApplyPresetClasses, MorePresetsThanAClassHoldsEndWithAMessageAndMoveNobody) {
  std::vector<int32_t> classes;
  // Class 1 holds two students, three are preset to it.
  const std::string message =
      PresetMessage({{1, 100, 1}, {2, 90, 1}, {2, 80, 1}, {1, 70, Value()}}, classes);
  EXPECT_NE(message.find("第1班只有 2 人，预设到该班的却有 3 人：s1 总分 100、s2 总分 90、s3 总分 80"),
            std::string::npos)
      << message;
  EXPECT_EQ(classes, (std::vector<int32_t>{1, 2, 2, 1}));
  // A class that nobody was dealt into (beyond k) has no room at all.
  classes.clear();
  EXPECT_NE(PresetMessage({{1, 100, Value()}, {2, 90, 4}, {3, 80, Value()}}, classes).find("第4班只有 0 人"),
            std::string::npos);
  EXPECT_EQ(classes, (std::vector<int32_t>{1, 2, 3}));
  // Exactly as many presets as places is fine.
  classes.clear();
  EXPECT_EQ(PresetMessage({{2, 100, 1}, {1, 90, Value()}, {1, 80, 1}, {2, 70, Value()}}, classes), "");
  EXPECT_EQ(classes, (std::vector<int32_t>{1, 2, 1, 2}));
}

TEST(ApplyPresetClasses, EmptyZeroNegativeAndOwnClassChangeNothing) {
  EXPECT_EQ(PresetsApplied({{1, 100, Value()}, {2, 90, 0}, {3, 80, -2}, {1, 70, 1}, {2, 60, Value()}}),
            (std::vector<int32_t>{1, 2, 3, 1, 2}));
}

TEST(ApplyPresetClasses, NumericTextCountsAndOtherTextIsATypeMismatch) {
  EXPECT_EQ(PresetsApplied({{1, 100, "2"}, {2, 90, Value()}}), (std::vector<int32_t>{2, 1}));
  try {
    PresetsApplied({{1, 100, Value()}, {2, 90, "二班"}});
    FAIL() << "expected run-time error 13";
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), 13);
  }
}

TEST(ApplyPresetClasses, PartnersWithPresetsOfTheirOwnAreHandledInTurn) {
  // Row 2 swaps with row 3 (class 2); row 3, now in class 1, then swaps with row 4.
  EXPECT_EQ(PresetsApplied({{1, 100, 2}, {2, 90, 3}, {3, 80, Value()}}), (std::vector<int32_t>{2, 3, 1}));
}

TEST(ApplyPresetClasses, WithoutAPresetColumnNothingHappens) {
  DivisionWorld world;
  // "预设班" right of an empty header cell is not found.
  WriteTable(world.Work(), {{"新班级", "序号", "总分", Value(), "预设班"}, {1, Value(), 90, Value(), 2}, {2, Value(), 80}});
  EXPECT_TRUE(ApplyPresetClasses(world.app, world.Work(), 3, 3));
  EXPECT_EQ(world.Work().CellValue(2, 1).ToLong(), 1);
  EXPECT_EQ(world.Work().CellValue(3, 1).ToLong(), 2);
}

}  // namespace
}  // namespace fenban::division::testing
