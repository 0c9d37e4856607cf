// The capped figures of an assignment (BalanceProblem::capped): every
// column's class figures with the largest and smallest of the shown classes,
// so that a swap's effect on how far the columns lie beyond their caps costs
// O(columns the two students differ in).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "division/balance_problem.h"

namespace fenban::division {

class CapState {
 public:
  CapState(const BalanceProblem& problem, const std::vector<int32_t>& classOf);

  bool Active() const { return g_ > 0; }
  // The largest difference of column j between the shown classes, and the
  // sum over the columns of how far that lies beyond the cap.
  double Range(size_t j) const;
  double Excess() const;

  // What swapping students i and l (in different classes) does to the
  // excess: its change, and whether some column's excess grows.
  struct Change {
    double excess = 0;
    bool grows = false;
  };
  Change Delta(int32_t i, int32_t l) const;
  // The same for a double swap: i1 and i2 of one class with l1 and l2 of another.
  Change Delta(int32_t i1, int32_t i2, int32_t l1, int32_t l2) const;
  void Swap(int32_t i, int32_t l);

  // Per class: 1 when it holds the largest or smallest figure of a column
  // beyond its cap (a swap that lowers the excess moves one of its students).
  std::vector<uint8_t> ExtremeClasses() const;
  // Lowers every cap to the column's present difference plus a slack (a
  // count column's, or an average's over the best), so that from here on no
  // column ends further apart than that nor than its cap.
  void HoldNear(double countSlack, double averageSlack);
  // The same classes as `classOf` (an assignment one reaches from this one
  // by swaps), the caps kept as they are.
  void Reassign(const std::vector<int32_t>& classOf);

 private:
  // The three largest and three smallest figures of a column over the shown
  // classes, with their classes (-1 where there are fewer classes).
  struct Extremes {
    double high[3], low[3];
    int32_t highClass[3], lowClass[3];
  };
  double Figure(size_t c, size_t j, double sum) const { return sum * scale_[c * g_ + j]; }
  void Refresh(size_t j);
  void Recount();  // every class's sums from classOf_
  double NewExcess(size_t j, size_t a, size_t b, double d) const;
  // Calls visit(j, d) for every column whose figure the swap changes: class
  // of i gains d, class of l loses it.
  template <typename Visit>
  void ForEachDifference(int32_t i, int32_t l, Visit visit) const;

  const CappedColumns* columns_;
  std::vector<int32_t> classOf_;
  size_t k_, g_;
  std::vector<uint8_t> shown_;
  std::vector<double> sum_, scale_;  // class × column
  std::vector<Extremes> extremes_;   // per column
  std::vector<double> excess_;       // per column
  std::vector<double> cap_;          // per column
};

// Raises every cap to at least the column's difference on the problem's own
// assignment (the deal), as the search counts it. An average over a class's
// best is counted over its members among the year's best; where the deal
// gives a class more or fewer of them than the quota, that count differs
// from the sheet's until the search has evened them out, and a cap below it
// would freeze the search (with 2,000 students in classes of 40 it left the
// spread of the total 35 points apart).
void RaiseCapsToDeal(BalanceProblem& problem);

}  // namespace fenban::division
