#include "division/balance_caps.h"

#include <algorithm>
#include <limits>

namespace fenban::division {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Differences this close to a cap are at it (rounding of sums of marks).
constexpr double kTolerance = 1e-7;
// Growth of a column's excess smaller than this is none.
constexpr double kGrowth = 1e-9;

}  // namespace

CapState::CapState(const BalanceProblem& problem, const std::vector<int32_t>& classOf)
    : columns_(&problem.capped),
      classOf_(classOf),
      k_(static_cast<size_t>(problem.classCount)),
      g_(problem.capped.Count()) {
  if (g_ == 0) return;
  const CappedColumns& columns = *columns_;
  shown_.assign(k_, 1);
  for (size_t c = 0; c < columns.shown.size() && c < k_; ++c) shown_[c] = columns.shown[c];
  std::vector<int32_t> sizes(k_, 0);
  for (int32_t c : classOf_) ++sizes[static_cast<size_t>(c)];
  sum_.assign(k_ * g_, 0.0);
  scale_.assign(k_ * g_, 1.0);
  for (size_t c = 0; c < k_; ++c) {
    if (sizes[c] == 0) shown_[c] = 0;
    for (size_t j = 0; j < g_; ++j) {
      const int32_t quota = columns.quota[j];
      if (quota > 0 && sizes[c] > 0) scale_[c * g_ + j] = 1.0 / std::min(quota, sizes[c]);
    }
  }
  cap_ = columns.cap;
  extremes_.resize(g_);
  excess_.assign(g_, 0.0);
  Recount();
}

void CapState::Reassign(const std::vector<int32_t>& classOf) {
  classOf_ = classOf;
  if (g_ > 0) Recount();
}

void CapState::Recount() {
  const CappedColumns& columns = *columns_;
  std::fill(sum_.begin(), sum_.end(), 0.0);
  const size_t ladderEnd = static_cast<size_t>(columns.ladderFirst + columns.ladderSteps);
  for (size_t s = 0; s < classOf_.size(); ++s) {
    double* row = &sum_[static_cast<size_t>(classOf_[s]) * g_];
    for (int32_t e = columns.start[s]; e < columns.start[s + 1]; ++e) {
      row[static_cast<size_t>(columns.column[static_cast<size_t>(e)])] += columns.value[static_cast<size_t>(e)];
    }
    if (columns.ladderSteps > 0) {
      for (size_t j = static_cast<size_t>(columns.ladderFirst + columns.ladderFrom[s]); j < ladderEnd; ++j) row[j] += 1;
    }
  }
  for (size_t j = 0; j < g_; ++j) Refresh(j);
}

void CapState::Refresh(size_t j) {
  Extremes& e = extremes_[j];
  for (int t = 0; t < 3; ++t) {
    e.high[t] = -kInfinity;
    e.low[t] = kInfinity;
    e.highClass[t] = e.lowClass[t] = -1;
  }
  for (size_t c = 0; c < k_; ++c) {
    if (!shown_[c]) continue;
    const double v = Figure(c, j, sum_[c * g_ + j]);
    for (int t = 0; t < 3; ++t) {
      if (v > e.high[t]) {
        for (int u = 2; u > t; --u) {
          e.high[u] = e.high[u - 1];
          e.highClass[u] = e.highClass[u - 1];
        }
        e.high[t] = v;
        e.highClass[t] = static_cast<int32_t>(c);
        break;
      }
    }
    for (int t = 0; t < 3; ++t) {
      if (v < e.low[t]) {
        for (int u = 2; u > t; --u) {
          e.low[u] = e.low[u - 1];
          e.lowClass[u] = e.lowClass[u - 1];
        }
        e.low[t] = v;
        e.lowClass[t] = static_cast<int32_t>(c);
        break;
      }
    }
  }
  excess_[j] = std::max(0.0, Range(j) - cap_[j] - kTolerance);
}

double CapState::Range(size_t j) const {
  const Extremes& e = extremes_[j];
  return e.highClass[0] < 0 ? 0.0 : e.high[0] - e.low[0];
}

double CapState::Excess() const {
  double excess = 0;
  for (double x : excess_) excess += x;
  return excess;
}

void CapState::HoldNear(double countSlack, double averageSlack) {
  for (size_t j = 0; j < g_; ++j) {
    const double slack = columns_->quota[j] > 0 ? averageSlack : countSlack;
    cap_[j] = std::min(cap_[j], Range(j) + slack);
    Refresh(j);
  }
}

std::vector<uint8_t> CapState::ExtremeClasses() const {
  std::vector<uint8_t> extreme(k_, 0);
  for (size_t j = 0; j < g_; ++j) {
    if (excess_[j] <= 0) continue;
    const Extremes& e = extremes_[j];
    // Every class at the largest or the smallest figure.
    for (int t = 0; t < 3 && e.highClass[t] >= 0 && e.high[t] >= e.high[0] - kTolerance; ++t) {
      extreme[static_cast<size_t>(e.highClass[t])] = 1;
    }
    for (int t = 0; t < 3 && e.lowClass[t] >= 0 && e.low[t] <= e.low[0] + kTolerance; ++t) {
      extreme[static_cast<size_t>(e.lowClass[t])] = 1;
    }
  }
  return extreme;
}

double CapState::NewExcess(size_t j, size_t a, size_t b, double d) const {
  const Extremes& e = extremes_[j];
  double high = -kInfinity, low = kInfinity;
  for (int t = 0; t < 3; ++t) {
    const int32_t c = e.highClass[t];
    if (c >= 0 && static_cast<size_t>(c) != a && static_cast<size_t>(c) != b) {
      high = e.high[t];
      break;
    }
  }
  for (int t = 0; t < 3; ++t) {
    const int32_t c = e.lowClass[t];
    if (c >= 0 && static_cast<size_t>(c) != a && static_cast<size_t>(c) != b) {
      low = e.low[t];
      break;
    }
  }
  if (shown_[a]) {
    const double v = Figure(a, j, sum_[a * g_ + j] + d);
    high = std::max(high, v);
    low = std::min(low, v);
  }
  if (shown_[b]) {
    const double v = Figure(b, j, sum_[b * g_ + j] - d);
    high = std::max(high, v);
    low = std::min(low, v);
  }
  const double range = high >= low ? high - low : 0.0;
  return std::max(0.0, range - cap_[j] - kTolerance);
}

template <typename Visit>
void CapState::ForEachDifference(int32_t i, int32_t l, Visit visit) const {
  const CappedColumns& columns = *columns_;
  const size_t si = static_cast<size_t>(i), sl = static_cast<size_t>(l);
  // Both rows are sorted by column: merge them.
  int32_t p = columns.start[si], pEnd = columns.start[si + 1];
  int32_t q = columns.start[sl], qEnd = columns.start[sl + 1];
  while (p < pEnd || q < qEnd) {
    const int32_t cp = p < pEnd ? columns.column[static_cast<size_t>(p)] : std::numeric_limits<int32_t>::max();
    const int32_t cq = q < qEnd ? columns.column[static_cast<size_t>(q)] : std::numeric_limits<int32_t>::max();
    if (cp == cq) {
      const double d = columns.value[static_cast<size_t>(q++)] - columns.value[static_cast<size_t>(p++)];
      if (d != 0) visit(static_cast<size_t>(cp), d);
    } else if (cp < cq) {
      visit(static_cast<size_t>(cp), -columns.value[static_cast<size_t>(p++)]);
    } else {
      visit(static_cast<size_t>(cq), columns.value[static_cast<size_t>(q++)]);
    }
  }
  if (columns.ladderSteps > 0) {
    const int32_t fi = columns.ladderFrom[si], fl = columns.ladderFrom[sl];
    // i reaches the steps from fi on, l those from fl on.
    for (int32_t t = std::min(fi, fl); t < std::max(fi, fl); ++t) {
      visit(static_cast<size_t>(columns.ladderFirst + t), fi < fl ? -1.0 : 1.0);
    }
  }
}

CapState::Change CapState::Delta(int32_t i, int32_t l) const {
  Change change;
  if (g_ == 0) return change;
  const size_t a = static_cast<size_t>(classOf_[static_cast<size_t>(i)]);
  const size_t b = static_cast<size_t>(classOf_[static_cast<size_t>(l)]);
  ForEachDifference(i, l, [&](size_t j, double d) {
    const double now = NewExcess(j, a, b, d);
    change.excess += now - excess_[j];
    if (now > excess_[j] + kGrowth) change.grows = true;
  });
  return change;
}

CapState::Change CapState::Delta(int32_t i1, int32_t i2, int32_t l1, int32_t l2) const {
  Change change;
  if (g_ == 0) return change;
  const size_t a = static_cast<size_t>(classOf_[static_cast<size_t>(i1)]);
  const size_t b = static_cast<size_t>(classOf_[static_cast<size_t>(l1)]);
  std::vector<std::pair<size_t, double>> differences;
  auto collect = [&](size_t j, double d) { differences.emplace_back(j, d); };
  ForEachDifference(i1, l1, collect);
  ForEachDifference(i2, l2, collect);
  std::sort(differences.begin(), differences.end());
  for (size_t x = 0, y = 0; x < differences.size(); x = y) {
    double d = 0;
    for (y = x; y < differences.size() && differences[y].first == differences[x].first; ++y) d += differences[y].second;
    if (d == 0) continue;
    const size_t j = differences[x].first;
    const double now = NewExcess(j, a, b, d);
    change.excess += now - excess_[j];
    if (now > excess_[j] + kGrowth) change.grows = true;
  }
  return change;
}

void CapState::Swap(int32_t i, int32_t l) {
  const size_t a = static_cast<size_t>(classOf_[static_cast<size_t>(i)]);
  const size_t b = static_cast<size_t>(classOf_[static_cast<size_t>(l)]);
  if (g_ > 0) {
    ForEachDifference(i, l, [&](size_t j, double d) {
      sum_[a * g_ + j] += d;
      sum_[b * g_ + j] -= d;
      Refresh(j);
    });
  }
  classOf_[static_cast<size_t>(i)] = static_cast<int32_t>(b);
  classOf_[static_cast<size_t>(l)] = static_cast<int32_t>(a);
}

void RaiseCapsToDeal(BalanceProblem& problem) {
  const CapState dealt(problem, problem.classOf);
  for (size_t j = 0; j < problem.capped.Count(); ++j) problem.capped.cap[j] = std::max(problem.capped.cap[j], dealt.Range(j));
}

}  // namespace fenban::division
