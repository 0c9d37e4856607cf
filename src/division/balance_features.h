// The student list as the refinement sees it, the features it balances,
// and the figures that show how alike the classes are. No host types.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "division/balance_search.h"

namespace fenban::division {

struct StudentList {
  int32_t classCount = 0;  // class indices 0..classCount-1
  std::vector<int32_t> classOf;
  // Per class: 1 when the figures compare it. A student preset to a class
  // beyond the class count forms a class of its own that the statistics
  // do not show; empty means every class.
  std::vector<uint8_t> comparedClasses;
  // Marks: NaN where a cell holds no number.
  std::vector<double> total;
  std::vector<std::string> subjectNames;
  std::vector<std::vector<double>> subjects;  // [subject][student]
  // Category columns ("性别", "住校", "应届"): per student a value code, -1 when empty.
  std::vector<std::string> categoryNames;
  std::vector<std::vector<int32_t>> categories;  // [category][student]
  // Per category and value code: its place when the sheet sorts the column
  // ascending (numbers, then texts). Empty: the codes' own order.
  std::vector<std::vector<int32_t>> categoryRanks;
  // The "均衡列" ("毕业学校", "原班级"): per student a value code, -1 when
  // empty (an empty cell is no value: not spread, not shown); the value
  // texts by code. Held like the categories, and shown in tables of their
  // own below the statistics sheet's.
  std::vector<std::string> balanceNames;
  std::vector<std::vector<int32_t>> balanceColumns;      // [column][student]
  std::vector<std::vector<std::string>> balanceValues;  // [column][code]
  // The year's top classes × quota students in each mark count as excellent / passing.
  int32_t markClassCount = 0;
  int32_t excellentQuota = 0;
  int32_t passQuota = 0;
  std::vector<uint8_t> fixed;
  std::vector<std::vector<int32_t>> apartGroups, togetherGroups, sameNameGroups;
};

// The features: the total, every subject, the squared distance of the total
// from its mean (so class spreads match too), one 0/1 feature per category
// value, and per mark whether the student reaches the excellent and the
// pass mark. Each is scaled by the class-mean difference it may show.
BalanceProblem BuildBalanceProblem(const StudentList& list, uint64_t seed);

// The students best total first, as the statistics sheet orders each class
// for its averages: ties of the total by the subjects from the last listed
// back to the first, every one descending, blanks after every number.
std::vector<int32_t> RankByTotal(const StudentList& list);

// The statistics sheet's number of total-score bands for a year: one per
// 5 × classes students (the header row counted with them) less one, at
// least 1, and 150 when that comes above 200. The band of rank g counts the
// students at or above RankMark(total, g × 5 × classes).
int64_t TotalBandCount(int64_t students, int32_t markClassCount);

// The lowest mark that counts among the best `rank` of these marks (the
// whole part of the mark at that rank; 0 when there are fewer marks).
double RankMark(const std::vector<double>& marks, int64_t rank);

// The largest difference between classes of one figure.
struct SpreadFigure {
  std::string name;
  double largest = 0;
};
// Class means of the total and of each subject; per category the largest
// range of class counts over its values; the class standard deviation of the
// total; the largest range of excellent and of pass counts over all marks;
// and the ranges of the total's own excellent and pass counts (the year's top
// students by total).
std::vector<SpreadFigure> LargestDifferences(const StudentList& list, const std::vector<int32_t>& classOf);

// Per "均衡列": the largest range of class counts over its values, and the
// value that has it (the first such value by code).
struct BalanceColumnFigure {
  std::string name;
  double largest = 0;
  std::string value;
};
std::vector<BalanceColumnFigure> BalanceColumnDifferences(const StudentList& list, const std::vector<int32_t>& classOf);

}  // namespace fenban::division
