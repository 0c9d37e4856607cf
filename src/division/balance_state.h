// The state of the balance search: an assignment of students to classes
// with every class's summed deviation of every feature and the members of
// every apart and same-name group per class, so that the effect of a swap
// costs O(features + groups of the two students).
#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <vector>

#include "division/balance_problem.h"
#include "division/cost_rows.h"

namespace fenban::division {

// A small, portable generator, so the same seed gives the same division
// with every standard library.
class SplitMix {
 public:
  explicit SplitMix(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform in 0..bound-1 (bound > 0).
  int32_t Below(int32_t bound) {
    return static_cast<int32_t>((Next() >> 32) * static_cast<uint64_t>(bound) >> 32);
  }
  double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

 private:
  uint64_t state_;
};


// Changes of the strict excess smaller than this are none (rounding).
constexpr double kStrictEpsilon = 1e-6;

// Apart breaches first, students outside the band of strict counts second,
// balance cost third.
struct Standing {
  int64_t breaches = 0;
  double strict = 0;
  double cost = 0;
  bool BetterThan(const Standing& other) const {
    if (breaches != other.breaches) return breaches < other.breaches;
    if (strict < other.strict - 1e-6) return true;
    if (strict > other.strict + 1e-6) return false;
    return cost < other.cost - 1e-9 * std::max(1.0, std::fabs(other.cost));
  }
};

std::vector<int32_t> ClassSizes(const BalanceProblem& problem, const std::vector<int32_t>& classOf);

// The assignment being searched, with the per-class deviations of every
// feature (class sum minus class size times the year's mean) and the member
// counts of every apart group per class, so that a swap's effect costs
// O(features + groups of the two students).
class SearchState {
 public:
  SearchState(const BalanceProblem& problem, std::vector<int32_t> classOf);

  const std::vector<int32_t>& ClassOf() const { return classOf_; }
  int32_t ClassOf(int32_t student) const { return classOf_[static_cast<size_t>(student)]; }

  // The balance cost of the assignment.
  double Cost() const;
  // Class c's deviation of feature j is Dev(c, j)·Scale(c, j).
  double Scale(size_t c, size_t j) const { return scale_[c * f_ + j]; }
  double Dev(size_t c, size_t j) const { return dev_[c * f_ + j]; }
  // Weight of feature j in the quadratic model of the cost that the pair
  // swap search compares with.
  double ModelWeight(size_t j) const { return weight_[j] + excessWeight_[j]; }
  int64_t Pairs() const { return pairs_; }
  Standing Now() const { return Standing{pairs_, StrictExcess(), Cost()}; }

  // Change of the balance cost if students i and l (in different classes)
  // swapped. The hot loop of the search: flat arrays, no branches, and a
  // reduction the compiler may vectorise; four features at a time where
  // the processor can (CostDeltaWide, the same figures).
  double CostDelta(int32_t i, int32_t l) const {
    if (wide_) return CostDeltaWide(Rows(i, l));
    return CostDeltaNarrow(i, l);
  }
  // The same, two features at a time on every x86-64.
  double CostDeltaNarrow(int32_t i, int32_t l) const {
    const size_t a = static_cast<size_t>(classOf_[static_cast<size_t>(i)]) * f_;
    const size_t b = static_cast<size_t>(classOf_[static_cast<size_t>(l)]) * f_;
    const double* xi = &problem_->features[static_cast<size_t>(i) * f_];
    const double* xl = &problem_->features[static_cast<size_t>(l) * f_];
    const double* da = &dev_[a];
    const double* db = &dev_[b];
    const double* sa = &scale_[a];
    const double* sb = &scale_[b];
    const double* la = &low_[a];
    const double* lb = &low_[b];
    const double* ha = &high_[a];
    const double* hb = &high_[b];
    const double* pa = &penalty_[a];
    const double* pb = &penalty_[b];
    const double* w = weight_.data();
    const double* e = excessWeight_.data();
    double delta = 0;
#pragma omp simd reduction(+ : delta)
    for (size_t j = 0; j < f_; ++j) {
      const double d = xl[j] - xi[j];
      delta += Penalty(da[j] + d, sa[j], la[j], ha[j], w[j], e[j]) - pa[j] + Penalty(db[j] - d, sb[j], lb[j], hb[j], w[j], e[j]) - pb[j];
    }
    return delta;
  }

  // What CostDelta reads for students i and l.
  CostRows Rows(int32_t i, int32_t l) const {
    const size_t a = static_cast<size_t>(classOf_[static_cast<size_t>(i)]) * f_;
    const size_t b = static_cast<size_t>(classOf_[static_cast<size_t>(l)]) * f_;
    return CostRows{&problem_->features[static_cast<size_t>(i) * f_], &problem_->features[static_cast<size_t>(l) * f_],
                    &dev_[a], &dev_[b], &scale_[a], &scale_[b], &low_[a], &low_[b], &high_[a], &high_[b],
                    &penalty_[a], &penalty_[b], weight_.data(), excessWeight_.data(), f_};
  }
  // Off: CostDelta adds up two features at a time (for comparing the two).
  void SetWide(bool wide) { wide_ = wide && WideArithmeticAvailable(); }

  // Students outside the band of strict features, over every class, and
  // its change if i and l swapped.
  double StrictExcess() const;
  double StrictExcessDelta(int32_t i, int32_t l) const {
    const size_t a = static_cast<size_t>(classOf_[static_cast<size_t>(i)]) * f_;
    const size_t b = static_cast<size_t>(classOf_[static_cast<size_t>(l)]) * f_;
    const double* xi = &problem_->features[static_cast<size_t>(i) * f_];
    const double* xl = &problem_->features[static_cast<size_t>(l) * f_];
    double delta = 0;
    for (size_t j : strict_) {
      const double d = xl[j] - xi[j];
      delta += Excess(dev_[a + j] + d, a + j) - Excess(dev_[a + j], a + j) + Excess(dev_[b + j] - d, b + j) -
               Excess(dev_[b + j], b + j);
    }
    return delta;
  }
  // True when class c holds a strict feature outside its band.
  bool StrictBreach(size_t c) const {
    for (size_t j : strict_) {
      if (Excess(dev_[c * f_ + j], c * f_ + j) > 0) return true;
    }
    return false;
  }

  // The cost of a class's summed deviation `sum` of a feature, with the
  // class's scale and free band and the feature's weights.
  static double Penalty(double sum, double scale, double low, double high, double weight, double excessWeight) {
    const double v = sum * scale;
    const double excess = std::max(0.0, low - v) + std::max(0.0, v - high);
    return weight * v * v + excessWeight * excess * excess;
  }

  // Change of the same-class pairs of apart groups if i and l swapped.
  int64_t PairDelta(int32_t i, int32_t l) const {
    if (groupStart_[static_cast<size_t>(i) + 1] == groupStart_[static_cast<size_t>(i)] &&
        groupStart_[static_cast<size_t>(l) + 1] == groupStart_[static_cast<size_t>(l)]) {
      return 0;
    }
    const int32_t a = ClassOf(i), b = ClassOf(l);
    return MoveDelta(i, l, a, b) + MoveDelta(l, i, b, a);
  }

  void Swap(int32_t i, int32_t l) {
    // Double swaps between two disjoint pairs of classes run side by side;
    // this total is the one thing they share.
    std::atomic_ref<int64_t>(pairs_).fetch_add(PairDelta(i, l), std::memory_order_relaxed);
    const int32_t a = ClassOf(i), b = ClassOf(l);
    MoveGroups(i, a, b);
    MoveGroups(l, b, a);
    double* da = &dev_[static_cast<size_t>(a) * f_];
    double* db = &dev_[static_cast<size_t>(b) * f_];
    const double* xi = &problem_->features[static_cast<size_t>(i) * f_];
    const double* xl = &problem_->features[static_cast<size_t>(l) * f_];
    for (size_t j = 0; j < f_; ++j) {
      const double d = xl[j] - xi[j];
      da[j] += d;
      db[j] -= d;
    }
    UpdatePenalties(static_cast<size_t>(a) * f_);
    UpdatePenalties(static_cast<size_t>(b) * f_);
    classOf_[static_cast<size_t>(i)] = b;
    classOf_[static_cast<size_t>(l)] = a;
  }

  // Apart and same-name groups of a student.
  const int32_t* GroupsBegin(int32_t student) const { return &groupList_[groupStart_[static_cast<size_t>(student)]]; }
  const int32_t* GroupsEnd(int32_t student) const {
    return &groupList_[0] + groupStart_[static_cast<size_t>(student) + 1];
  }
  int32_t MembersIn(int32_t group, int32_t classIndex) const {
    return count_[static_cast<size_t>(group) * static_cast<size_t>(problem_->classCount) + static_cast<size_t>(classIndex)];
  }
  const std::vector<int32_t>& Group(int32_t group) const { return *groups_[static_cast<size_t>(group)]; }
  int32_t GroupCount() const { return static_cast<int32_t>(groups_.size()); }

 private:
  void BuildGroups();
  // The penalties of the class whose row starts at `row`, from its deviations.
  void UpdatePenalties(size_t row) {
    for (size_t j = 0; j < f_; ++j) {
      const size_t cell = row + j;
      penalty_[cell] = Penalty(dev_[cell], scale_[cell], low_[cell], high_[cell], weight_[j], excessWeight_[j]);
    }
  }

  bool InGroup(int32_t student, int32_t group) const {
    return std::find(GroupsBegin(student), GroupsEnd(student), group) != GroupsEnd(student);
  }

  // Pairs gained by moving `student` from class a to class b while `other` moves from b to a.
  int64_t MoveDelta(int32_t student, int32_t other, int32_t a, int32_t b) const {
    int64_t delta = 0;
    for (const int32_t* g = GroupsBegin(student); g != GroupsEnd(student); ++g) {
      if (InGroup(other, *g)) continue;  // both in the group: the swap changes nothing for it
      delta += MembersIn(*g, b) - (MembersIn(*g, a) - 1);
    }
    return delta;
  }

  void MoveGroups(int32_t student, int32_t from, int32_t to) {
    const size_t k = static_cast<size_t>(problem_->classCount);
    for (const int32_t* g = GroupsBegin(student); g != GroupsEnd(student); ++g) {
      --count_[static_cast<size_t>(*g) * k + static_cast<size_t>(from)];
      ++count_[static_cast<size_t>(*g) * k + static_cast<size_t>(to)];
    }
  }

  const BalanceProblem* problem_;
  std::vector<int32_t> classOf_;
  size_t f_;
  double Excess(double sum, size_t cell) const {
    const double v = sum * scale_[cell];
    return std::max(0.0, low_[cell] - v) + std::max(0.0, v - high_[cell]);
  }

  std::vector<size_t> strict_;  // the strict features
  // Class × feature: the class deviation v is the summed deviation · scale,
  // and v is free within [low, high].
  std::vector<double> scale_, low_, high_;
  std::vector<double> weight_, excessWeight_;   // per feature
  std::vector<double> dev_;                     // class × feature: summed deviations
  // Class × feature: the penalty of the present deviation, so that a swap's
  // change of cost works out only the two new penalties per feature.
  std::vector<double> penalty_;
  std::vector<const std::vector<int32_t>*> groups_;
  std::vector<int32_t> groupStart_, groupList_;  // per student: the groups it belongs to
  std::vector<int32_t> count_;                   // group × class: members
  alignas(8) int64_t pairs_ = 0;
  bool wide_ = WideArithmeticAvailable();
};

}  // namespace fenban::division
