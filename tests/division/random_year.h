// A random year for the refinement's tests: marks of three subjects of
// uneven spread, their total and a two-valued category.
#pragma once

#include <cmath>
#include <random>

#include "division/balance_features.h"

namespace fenban::division {

// n students in k classes dealt round robin; three subjects of uneven spread,
// the total their sum, and a two-valued category.
inline StudentList RandomYear(int32_t n, int32_t k, uint64_t seed) {
  std::mt19937_64 engine(seed);
  std::normal_distribution<double> chinese(80, 8), maths(70, 20), english(75, 12);
  StudentList list;
  list.classCount = k;
  list.subjectNames = {"语文", "数学", "英语"};
  list.subjects.assign(3, {});
  list.categoryNames = {"性别"};
  list.categories.assign(1, {});
  for (int32_t s = 0; s < n; ++s) {
    list.classOf.push_back(s % k);
    const double marks[3] = {std::round(chinese(engine)), std::round(maths(engine)), std::round(english(engine))};
    for (size_t j = 0; j < 3; ++j) list.subjects[j].push_back(marks[j]);
    list.total.push_back(marks[0] + marks[1] + marks[2]);
    list.categories[0].push_back(static_cast<int32_t>(engine() % 2));
  }
  list.fixed.assign(static_cast<size_t>(n), 0);
  list.markClassCount = k;
  list.excellentQuota = 10;
  list.passQuota = 30;
  return list;
}

// RandomYear dealt in the serpentine order of the totals (1, 2, ..., k, k,
// ..., 1): the deal leaves the averages of each class's best and the bands
// close, the marks of random years leave the whole-class means apart.
inline StudentList SerpentineYear(int32_t n, int32_t k, uint64_t seed) {
  StudentList list = RandomYear(n, k, seed);
  const std::vector<int32_t> order = RankByTotal(list);
  for (size_t r = 0; r < order.size(); ++r) {
    const int32_t round = static_cast<int32_t>(r) / k, place = static_cast<int32_t>(r) % k;
    list.classOf[static_cast<size_t>(order[r])] = round % 2 == 0 ? place : k - 1 - place;
  }
  return list;
}

}  // namespace fenban::division
