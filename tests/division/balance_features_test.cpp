// The features the refinement balances, checked through what a teacher sees:
// a small random year, refined with the default budget, comes out with the
// class figures the refinement aims at.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>

#include "division/balance_features.h"
#include "division/random_year.h"
#include "division/sheet_figures.h"

namespace fenban::division {
namespace {

std::map<std::string, double> Figures(const StudentList& list, const std::vector<int32_t>& classOf) {
  std::map<std::string, double> figures;
  for (const SpreadFigure& figure : LargestDifferences(list, classOf)) figures[figure.name] = figure.largest;
  return figures;
}

TEST(BalanceFeatures, ASmallYearComesOutWithMeansSpreadAndCountsAlike) {
  for (uint64_t seed : {3u, 4u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const StudentList list = RandomYear(300, 6, seed);
    const std::map<std::string, double> dealt = Figures(list, list.classOf);
    ASSERT_GT(dealt.at("总分"), 2.0) << "a round-robin deal of random marks leaves much to balance";

    const BalanceResult result = SolveBalance(BuildBalanceProblem(list, seed));
    ASSERT_TRUE(result.problems.empty());
    const std::map<std::string, double> refined = Figures(list, result.classOf);
    EXPECT_LE(refined.at("总分"), 0.2);
    for (const char* subject : {"语文", "数学", "英语"}) EXPECT_LE(refined.at(subject), 0.5) << subject;
    EXPECT_LE(refined.at("总分标准差"), 1.0) << "the spread of the total is balanced, not only its mean";
    EXPECT_LE(refined.at("性别"), 1.0);
    EXPECT_LE(refined.at("优秀人数"), 2.0);
    EXPECT_LE(refined.at("及格人数"), 2.0);
  }
}

// Per class, the students whose total reaches the year's mark of the given rank.
std::vector<int32_t> TopByTotal(const StudentList& list, const std::vector<int32_t>& classOf, int64_t rank) {
  const double mark = RankMark(list.total, rank);
  std::vector<int32_t> counts(static_cast<size_t>(list.classCount), 0);
  for (size_t s = 0; s < classOf.size(); ++s) {
    if (list.total[s] >= mark) ++counts[static_cast<size_t>(classOf[s])];
  }
  return counts;
}

int32_t Range(const std::vector<int32_t>& counts) {
  return *std::max_element(counts.begin(), counts.end()) - *std::min_element(counts.begin(), counts.end());
}

// 600 students in classes of 50, excellent quota 20, refined.
struct RefinedYear {
  StudentList list;
  BalanceResult result;
};
RefinedYear RefineYearOf600(uint64_t seed) {
  RefinedYear year{RandomYear(600, 12, seed), {}};
  year.list.excellentQuota = 20;
  year.result = SolveBalance(BuildBalanceProblem(year.list, seed));
  return year;
}

TEST(BalanceFeatures, TheYearsTopStudentsByTotalStayWithinOnePerClass) {
  // In classes of 50 the subjects' excellent and pass counts weigh lightly;
  // the top students by total must not drift apart with them.
  for (uint64_t seed : {7u, 8u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const auto [list, result] = RefineYearOf600(seed);
    ASSERT_TRUE(result.problems.empty());
    for (int32_t quota : {list.excellentQuota, list.passQuota}) {
      const int64_t rank = int64_t{list.markClassCount} * quota;
      EXPECT_LE(Range(TopByTotal(list, result.classOf, rank)), 1) << "top " << rank;
    }
    const std::map<std::string, double> figures = Figures(list, result.classOf);
    EXPECT_LE(figures.at("总分"), 0.2);
    EXPECT_EQ(figures.at("总分优秀人数"), Range(TopByTotal(list, result.classOf, int64_t{list.markClassCount} * list.excellentQuota)));
    EXPECT_EQ(figures.at("总分及格人数"), Range(TopByTotal(list, result.classOf, int64_t{list.markClassCount} * list.passQuota)));
  }
}

TEST(BalanceFeatures, ClassesOfTenKeepTheirCategoriesWithinOne) {
  // In classes of ten the means cannot come near their targets; their cost
  // must not push the categories apart.
  for (uint64_t seed : {5u, 6u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    StudentList list = RandomYear(300, 30, seed);
    list.categoryNames.push_back("住校");
    std::mt19937_64 engine(seed + 100);
    list.categories.emplace_back();
    for (size_t s = 0; s < list.classOf.size(); ++s) list.categories[1].push_back(engine() % 10 < 4 ? 1 : 0);
    const BalanceResult result = SolveBalance(BuildBalanceProblem(list, seed));
    ASSERT_TRUE(result.problems.empty());
    const std::map<std::string, double> dealt = Figures(list, list.classOf);
    const std::map<std::string, double> refined = Figures(list, result.classOf);
    EXPECT_LE(refined.at("性别"), 1.0);
    EXPECT_LE(refined.at("住校"), 1.0);
    EXPECT_LT(refined.at("总分"), dealt.at("总分") / 4);
  }
}

// The largest "最大差" of a table of the statistics sheet, the averages'
// total apart from their subjects.
std::map<std::string, double> SheetLargest(const StudentList& list, const std::vector<int32_t>& classOf) {
  std::map<std::string, double> largest;
  for (const SheetColumn& column : SheetDifferences(list, classOf)) {
    std::string key = SheetTableTitle(column.table, list);
    if (column.table == SheetTable::ScoreBands) key += " bands";
    if (column.table == SheetTable::ExcellentAverages || column.table == SheetTable::PassAverages) {
      key += column.name == "总分" ? " 总分" : " subjects";
    }
    largest[key] = std::max(largest[key], column.largest);
  }
  return largest;
}

TEST(BalanceFeatures, TheStatisticsSheetsAveragesOfTheBestAndItsBandsComeOutAlike) {
  // Teachers read the averages of each class's best students by total and
  // the counts at or above each band score: both must come out close, not
  // only the whole-class means.
  for (uint64_t seed : {3u, 4u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const auto [list, result] = RefineYearOf600(seed);
    ASSERT_TRUE(result.problems.empty());
    const std::map<std::string, double> refined = SheetLargest(list, result.classOf);
    // Without them the bands ended 7 to 9 apart and the subjects' averages
    // over the best 20 by 6 to 8 points.
    EXPECT_LE(refined.at("各项人数统计 bands"), 3.0);
    for (const char* table : {"平均分统计(前20名) 总分", "平均分统计(前20名) subjects", "平均分统计(前30名) 总分",
                              "平均分统计(前30名) subjects"}) {
      EXPECT_LE(refined.at(table), 1.5) << table;
    }
    EXPECT_LE(refined.at("优秀人数统计(前20名)"), 2.0);
    EXPECT_LE(refined.at("及格人数统计(前30名)"), 2.0);
    // No column of the sheet ends further apart than the deal left it.
    const std::vector<SheetColumn> dealt = SheetDifferences(list, list.classOf);
    const std::vector<SheetColumn> after = SheetDifferences(list, result.classOf);
    ASSERT_EQ(dealt.size(), after.size());
    for (size_t c = 0; c < after.size(); ++c) EXPECT_LE(after[c].largest, dealt[c].largest) << after[c].name;
    // The whole-class means keep their targets.
    const std::map<std::string, double> figures = Figures(list, result.classOf);
    EXPECT_LE(figures.at("总分"), 0.2);
    for (const char* subject : {"语文", "数学", "英语"}) EXPECT_LE(figures.at(subject), 0.5) << subject;
    EXPECT_LE(figures.at("总分标准差"), 1.0);
  }
}

}  // namespace
}  // namespace fenban::division
