// Properties of the division over many random classes: nobody is lost or
// duplicated, no data changes, class numbers stay in range, class sizes stay
// within one of each other, and the working sheets end up empty.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "division_world.h"

namespace fenban::division::testing {
namespace {

using host::Value;

struct RandomClass {
  Table data;  // the data sheet: 姓名, 性别, 住校, 应届, 总分, 语文[, 预设班]
  int32_t k = 1;
  int32_t topN = 0;
  BalanceFlags flags;
  std::string description;
};

// Attribute values with at most `distinct` different values; "" stands for an empty cell.
Value Attribute(std::mt19937& rng, const std::vector<std::string>& pool, int32_t distinct) {
  const std::string& text = pool[std::uniform_int_distribution<size_t>(0, static_cast<size_t>(distinct - 1))(rng)];
  return text.empty() ? Value() : Value(text);
}

RandomClass MakeRandomClass(uint32_t seed, int32_t maxStudents) {
  std::mt19937 rng(seed);
  auto uniform = [&](int32_t low, int32_t high) { return std::uniform_int_distribution<int32_t>(low, high)(rng); };
  auto chance = [&](double p) { return std::bernoulli_distribution(p)(rng); };

  RandomClass made;
  const int32_t n = chance(0.3) ? uniform(1, 20) : uniform(1, maxStudents);
  made.k = uniform(1, 12);
  made.topN = chance(0.5) ? 0 : uniform(1, 4);
  made.flags = {chance(0.4), chance(0.4), chance(0.5)};
  // Distinct values per attribute, so that the ticked ones give at most 8 runs.
  int32_t distinctSex = 0, distinctBoarding = 0, distinctCurrent = 0;
  do {
    distinctSex = uniform(1, 4);
    distinctBoarding = uniform(1, 4);
    distinctCurrent = uniform(1, 4);
  } while ((made.flags.sex ? distinctSex : 1) * (made.flags.boarding ? distinctBoarding : 1) *
               (made.flags.current ? distinctCurrent : 1) >
           8);
  const bool withPresets = chance(0.3);
  // Every class holds at least n / k students, so that many presets per class always fit.
  std::map<int32_t, int32_t> presetsLeft;
  for (int32_t c = 1; c <= made.k; ++c) presetsLeft[c] = n / made.k;
  const int32_t totalRange = chance(0.5) ? uniform(1, 10) : 100;
  const std::vector<std::string> sexes = {"男", "女", "", "未知"};
  const std::vector<std::string> boarding = {"是", "否", "", "走读"};
  const std::vector<std::string> current = {"是", "否", "复读", ""};

  Row header = {"姓名", "性别", "住校", "应届", "总分", "语文"};
  if (withPresets) header.push_back("预设班");
  made.data.push_back(header);
  for (int32_t i = 1; i <= n; ++i) {
    const double total = uniform(0, totalRange) + (chance(0.2) ? 0.5 : 0.0);
    Row row = {"学生" + std::to_string(i), Attribute(rng, sexes, distinctSex),
               Attribute(rng, boarding, distinctBoarding), Attribute(rng, current, distinctCurrent), total,
               uniform(0, 100)};
    if (withPresets) {
      Value preset;
      const int32_t wanted = uniform(1, made.k);
      if (chance(0.15) && presetsLeft[wanted] > 0) {
        --presetsLeft[wanted];
        preset = wanted;
      }
      row.push_back(preset);
    }
    made.data.push_back(row);
  }
  std::ostringstream text;
  text << "seed " << seed << ": " << n << " students, k " << made.k << ", N " << made.topN << ", flags "
       << made.flags.current << made.flags.boarding << made.flags.sex << ", presets " << withPresets;
  made.description = text.str();
  return made;
}

std::string RowKey(const Row& row) {
  std::string key;
  for (const Value& value : row) {
    key += static_cast<char>('0' + static_cast<int>(value.Type()));
    key += value.ToText();
    key += '\x1f';
  }
  return key;
}

std::multiset<std::string> RowKeys(const Table& rows) {
  std::multiset<std::string> keys;
  for (const Row& row : rows) keys.insert(RowKey(row));
  return keys;
}

// Checks the student rows of a division (class in column 1, data from column
// firstDataColumn) against the random class.
void CheckDivision(const RandomClass& made, const Table& classes, const Table& dataRows) {
  const Table expectedRows(made.data.begin() + 1, made.data.end());
  ASSERT_EQ(dataRows.size(), expectedRows.size());
  EXPECT_TRUE(RowKeys(dataRows) == RowKeys(expectedRows)) << "students lost, duplicated or changed";

  std::map<int32_t, int32_t> sizes;
  for (int32_t c = 1; c <= made.k; ++c) sizes[c] = 0;
  for (const Row& row : classes) {
    ASSERT_TRUE(row[0].IsNumber());
    const double number = row[0].Number();
    const bool inRange = number >= 1 && number <= made.k && number == static_cast<int32_t>(number);
    EXPECT_TRUE(inRange) << "class " << number;
    ++sizes[static_cast<int32_t>(number)];
  }
  int32_t smallest = INT32_MAX, largest = 0;
  for (const auto& [c, size] : sizes) {
    smallest = std::min(smallest, size);
    largest = std::max(largest, size);
  }
  EXPECT_LE(largest - smallest, 1) << "class sizes";
  // Every preset is honoured: the preset column is the last one when present.
  const bool withPresets = made.data[0].back() == Value("预设班");
  for (size_t i = 0; withPresets && i < classes.size(); ++i) {
    const Value& preset = dataRows[i].back();
    if (preset.IsNumber()) {
      EXPECT_EQ(classes[i][0], preset) << "preset of " << dataRows[i][0].ToText();
    }
  }
}

TEST(DivisionProperty, AssignmentKeepsEveryStudentAndBalancesTheClasses) {
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    const RandomClass made = MakeRandomClass(seed, 300);
    SCOPED_TRACE(made.description);
    DivisionWorld world;
    world.services.seed = seed * 7919u;
    const WorkTable table = world.PrepareWork(made.data);
    ASSERT_TRUE(AssignClasses(world.app, world.Work(), table, made.k, made.k * made.topN, made.flags));

    host::Worksheet& work = world.Work();
    const int32_t lastCol = table.spareColumn - 1;
    const int32_t rows = static_cast<int32_t>(made.data.size());
    ASSERT_EQ(work.CurrentRegion(1, 1), (host::Rect{1, 1, rows, lastCol}));
    CheckDivision(made, ReadBlock(work, 2, rows, 1, 1), ReadBlock(work, 2, rows, 3, lastCol));
    const Table secondColumn = ReadBlock(work, 2, rows, 2, 2);
    for (const Row& row : secondColumn) EXPECT_TRUE(row[0].IsEmpty()) << "序号 stays empty";
    for (int32_t r = 3; r <= rows; ++r) {
      EXPECT_GE(work.CellValue(r - 1, table.totalColumn).ToDouble(), work.CellValue(r, table.totalColumn).ToDouble())
          << "sorted by total, row " << r;
    }
    EXPECT_TRUE(SheetIsEmpty(world.TopSheet()));
    EXPECT_TRUE(NothingBelowRowOne(world.Leftovers()));
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(DivisionProperty, DivisionSheetHoldsEveryStudentAndTheWorkingSheetsEndEmpty) {
  for (uint32_t seed = 1001; seed <= 1040; ++seed) {
    const RandomClass made = MakeRandomClass(seed, 120);
    SCOPED_TRACE(made.description);
    DivisionWorld world;
    world.services.seed = seed;
    WriteTable(world.DataSheet(), made.data);
    world.form.txtFenBan.value = made.k;
    world.form.txtNMing.value = made.topN;
    world.Tick(made.flags.sex, made.flags.boarding, made.flags.current);
    world.state.NextSheetNo = 1;
    DivideClasses(world.app, world.form, world.state);
    const int32_t students = static_cast<int32_t>(made.data.size()) - 1;
    if (students < made.k) {
      // Fewer students than classes: refused before anything is written.
      ASSERT_EQ(world.services.messages.size(), 1u);
      EXPECT_NE(world.services.messages[0].prompt.find(students == 0 ? "没有学生" : "少于班级数"), std::string::npos)
          << world.services.messages[0].prompt;
      EXPECT_EQ(world.dataBook->FindSheet("分班表1"), nullptr);
      EXPECT_TRUE(world.WorkingSheetsClean());
      EXPECT_EQ(world.state.NextSheetNo, 1);
      if (::testing::Test::HasFailure()) return;
      continue;
    }
    ASSERT_TRUE(world.services.messages.empty()) << world.services.messages[0].prompt;

    host::Worksheet* division = world.dataBook->FindSheet("分班表1");
    ASSERT_NE(division, nullptr);
    const int32_t headerRow = DivisionWorld::HeaderRowOf(*division);
    ASSERT_NE(headerRow, 0);
    const int32_t columns = static_cast<int32_t>(made.data[0].size()) + 2;
    const int32_t lastRow = headerRow + static_cast<int32_t>(made.data.size()) - 1;
    EXPECT_TRUE(division->CellValue(lastRow + 1, 3).IsEmpty()) << "no extra rows";
    CheckDivision(made, ReadBlock(*division, headerRow + 1, lastRow, 1, 1),
                  ReadBlock(*division, headerRow + 1, lastRow, 3, columns));
    EXPECT_TRUE(world.WorkingSheetsClean());
    EXPECT_EQ(world.state.NextSheetNo, 2);
    ASSERT_EQ(world.services.beeps.size(), 1u);
    if (::testing::Test::HasFailure()) return;
  }
}

}  // namespace
}  // namespace fenban::division::testing
