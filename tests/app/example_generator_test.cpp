#include "app/example_generator.h"

#include <cmath>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "host/value.h"

namespace fenban::app {
namespace {

using Table = std::vector<std::vector<host::Value>>;

int32_t Column(const Table& table, const std::string& header) {
  for (size_t c = 0; c < table[0].size(); ++c) {
    if (table[0][c].Text() == header) return static_cast<int32_t>(c);
  }
  return -1;
}

TEST(ExampleGenerator, HeadersAreTheDataSheetColumns) {
  std::vector<std::string> expected = {"考号", "姓名", "性别", "住校", "应届", "语文", "数学", "英语",
                                       "物理", "化学", "生物", "政治", "历史", "地理", "总分", "预设班"};
  EXPECT_EQ(ExampleHeaders(), expected);
  Table table = GenerateExampleTable(3, 1);
  ASSERT_EQ(table.size(), 4u);
  for (size_t c = 0; c < expected.size(); ++c) EXPECT_EQ(table[0][c].Text(), expected[c]);
}

TEST(ExampleGenerator, SameSeedSameStudentsOtherSeedOthers) {
  EXPECT_EQ(GenerateExampleTable(150, 99), GenerateExampleTable(150, 99));
  EXPECT_NE(GenerateExampleTable(150, 99), GenerateExampleTable(150, 100));
}

TEST(ExampleGenerator, ValuesArePlausible) {
  Table table = GenerateExampleTable(400, kDefaultExampleSeed);
  ASSERT_EQ(table.size(), 401u);
  std::set<std::string> ids;
  int32_t total = Column(table, "总分");
  for (size_t r = 1; r < table.size(); ++r) {
    const auto& row = table[r];
    ASSERT_EQ(row.size(), 16u);
    EXPECT_TRUE(ids.insert(std::string(row[0].Text())).second) << "duplicate id " << row[0].Text();
    size_t nameLength = host::CharCount(row[1].Text());
    EXPECT_GE(nameLength, 2u);
    EXPECT_LE(nameLength, 4u);
    EXPECT_TRUE(row[2].Text() == "男" || row[2].Text() == "女");
    EXPECT_TRUE(row[3].Text() == "是" || row[3].Text() == "否");
    EXPECT_TRUE(row[4].Text() == "是" || row[4].Text() == "否");
    double sum = 0;
    for (int32_t c = 5; c < 14; ++c) {
      double score = row[static_cast<size_t>(c)].Number();
      double maximum = c < 8 ? 150 : 100;
      EXPECT_GE(score, 0);
      EXPECT_LE(score, maximum);
      EXPECT_EQ(score * 2, std::round(score * 2)) << "scores are whole or half marks";
      sum += score;
    }
    EXPECT_DOUBLE_EQ(row[static_cast<size_t>(total)].Number(), sum);
    const host::Value& preset = row[15];
    if (!preset.IsEmpty()) {
      EXPECT_GE(preset.Number(), 1);
      EXPECT_LE(preset.Number(), 2);
    }
  }
}

TEST(ExampleGenerator, HasSameNamePairsAndBothSexes) {
  Table table = GenerateExampleTable(400, kDefaultExampleSeed);
  std::map<std::string, int> names;
  std::map<std::string, int> sexes;
  for (size_t r = 1; r < table.size(); ++r) {
    ++names[std::string(table[r][1].Text())];
    ++sexes[std::string(table[r][2].Text())];
  }
  int repeated = 0;
  for (const auto& [name, count] : names) repeated += count > 1 ? 1 : 0;
  EXPECT_GE(repeated, 2);
  EXPECT_GT(sexes["男"], 120);
  EXPECT_GT(sexes["女"], 120);
}

TEST(ExampleGenerator, SubjectScoresAreCorrelated) {
  Table table = GenerateExampleTable(600, 3);
  auto correlation = [&](size_t a, size_t b) {
    double n = 0, sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    for (size_t r = 1; r < table.size(); ++r) {
      double x = table[r][a].Number(), y = table[r][b].Number();
      n += 1;
      sa += x;
      sb += y;
      saa += x * x;
      sbb += y * y;
      sab += x * y;
    }
    return (n * sab - sa * sb) / std::sqrt((n * saa - sa * sa) * (n * sbb - sb * sb));
  };
  EXPECT_GT(correlation(5, 6), 0.4);   // 语文, 数学
  EXPECT_LT(correlation(5, 6), 0.95);
  EXPECT_GT(correlation(8, 13), 0.4);  // 物理, 地理
}

TEST(ExampleGenerator, NoStudentsGivesTheHeaderOnly) {
  EXPECT_EQ(GenerateExampleTable(0, 1).size(), 1u);
  EXPECT_EQ(GenerateExampleTable(1, 1).size(), 2u);
}

}  // namespace
}  // namespace fenban::app
