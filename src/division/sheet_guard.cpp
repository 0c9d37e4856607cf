#include "division/sheet_guard.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "division/balance_state.h"
#include "division/sheet_figures.h"
#include "division/whole_class.h"

namespace fenban::division {
namespace {

constexpr double kTolerance = 1e-9;
// Swaps one repair round may make, and rounds (each recounts the columns
// from scratch, the counted value of a category column included).
constexpr int32_t kMostSwaps = 400;
constexpr int32_t kMostRounds = 3;
// Classes the extreme class of the worst column trades with: those lying
// furthest the other way in that column.
constexpr size_t kPartnerClasses = 8;
// The settling after a repair: passes, and partners this far down the
// order by total.
constexpr int32_t kSettlePasses = 4;
constexpr size_t kSettleWindow = 48;
// Repair swaps tried with a follow-up each.
constexpr size_t kRepairChoices = 32;
// What each class at either end of a column over the rule adds to the
// repair's measure (far below any real change of a figure).
constexpr double kTieWeight = 1e-7;

// The allowed "最大差" of every column of the sheet, in SheetDifferences'
// order: the deal's, a count's one student more.
std::vector<double> AllowedLargest(const StudentList& list) {
  std::vector<double> allowed;
  for (const SheetColumn& column : SheetDifferences(list, list.classOf)) {
    const bool average = column.table == SheetTable::ExcellentAverages || column.table == SheetTable::PassAverages;
    allowed.push_back(column.largest + (average ? 0.0 : 1.0) + kTolerance);
  }
  return allowed;
}

double ExcessOf(const std::vector<double>& largest, const std::vector<double>& allowed) {
  double excess = 0;
  for (size_t c = 0; c < largest.size(); ++c) excess += std::max(0.0, largest[c] - allowed[c]);
  return excess;
}

// The sheet's columns per class, kept up to date through swaps: the count
// columns first (every student adds one to the columns it is counted in),
// then the averages over each class's best totals, in SheetDifferences'
// order.
class SheetTally {
 public:
  SheetTally(const StudentList& list, const std::vector<int32_t>& classOf) {
    const size_t n = classOf.size();
    const int64_t markClasses = std::max(list.markClassCount, 1);
    marks_.push_back(&list.total);
    for (const std::vector<double>& subject : list.subjects) marks_.push_back(&subject);
    std::vector<std::vector<int32_t>> counted(n);
    int32_t column = 0;
    for (size_t s = 0; s < n; ++s) counted[s].push_back(column);  // "总人数"
    ++column;
    for (size_t j = 0; j < list.categories.size(); ++j, ++column) {
      const int32_t code = SheetCountedCode(list, j, classOf);
      for (size_t s = 0; s < n; ++s) {
        if (list.categories[j][s] == code) counted[s].push_back(column);
      }
    }
    auto countAtLeast = [&](const std::vector<double>& marks, double mark) {
      for (size_t s = 0; s < n; ++s) {
        if (!std::isnan(marks[s]) && marks[s] >= mark) counted[s].push_back(column);
      }
      ++column;
    };
    const int64_t bands = TotalBandCount(static_cast<int64_t>(n), list.markClassCount);
    for (int64_t g = 1; g <= bands; ++g) countAtLeast(list.total, RankMark(list.total, g * markClasses * 5));
    quotas_ = {list.excellentQuota, list.passQuota};
    for (int32_t quota : quotas_) {
      for (const std::vector<double>* marks : marks_) countAtLeast(*marks, RankMark(*marks, markClasses * quota));
    }
    countColumns_ = static_cast<size_t>(column);
    columns_ = countColumns_ + quotas_.size() * marks_.size();
    for (int32_t quota : quotas_) mostTaken_ = std::max(mostTaken_, static_cast<size_t>(std::max(quota, 0)));
    start_.assign(n + 1, 0);
    for (size_t s = 0; s < n; ++s) {
      start_[s + 1] = start_[s] + static_cast<int32_t>(counted[s].size());
      counts_.insert(counts_.end(), counted[s].begin(), counted[s].end());
    }
    const std::vector<int32_t> order = RankByTotal(list);
    rank_.assign(n, 0);
    members_.assign(static_cast<size_t>(list.classCount), {});
    for (size_t r = 0; r < order.size(); ++r) {
      const size_t s = static_cast<size_t>(order[r]);
      rank_[s] = static_cast<int32_t>(r);
      members_[static_cast<size_t>(classOf[s])].push_back(order[r]);
    }
    shown_.assign(static_cast<size_t>(list.classCount), 1);
    for (size_t c = 0; c < list.comparedClasses.size() && c < shown_.size(); ++c) shown_[c] = list.comparedClasses[c];
    values_.assign(shown_.size() * columns_, 0.0);
    for (size_t c = 0; c < shown_.size(); ++c) ClassValues(static_cast<int32_t>(c), -1, -1, &values_[c * columns_]);
  }

  size_t Columns() const { return columns_; }
  bool Shown(int32_t c) const { return shown_[static_cast<size_t>(c)] != 0; }
  const double* Values(int32_t c) const { return &values_[static_cast<size_t>(c) * columns_]; }
  const std::vector<int32_t>& Members(int32_t c) const { return members_[static_cast<size_t>(c)]; }

  // Class c's figures with student `leaving` gone and `coming` in (-1: none).
  void ClassValues(int32_t c, int32_t leaving, int32_t coming, double* out) const {
    const std::vector<int32_t>& members = members_[static_cast<size_t>(c)];
    if (leaving < 0) {
      std::fill(out, out + countColumns_, 0.0);
      for (int32_t s : members) AddCounts(s, 1.0, out);
    } else {
      std::copy(Values(c), Values(c) + countColumns_, out);
      AddCounts(leaving, -1.0, out);
      AddCounts(coming, 1.0, out);
    }
    // The class's best totals after the swap, in rank order.
    best_.clear();
    bool placed = coming < 0;
    for (size_t i = 0; i < members.size() && best_.size() < mostTaken_; ++i) {
      const int32_t s = members[i];
      if (s == leaving) continue;
      if (!placed && rank_[static_cast<size_t>(coming)] < rank_[static_cast<size_t>(s)]) {
        best_.push_back(coming);
        placed = true;
        if (best_.size() == mostTaken_) break;
      }
      best_.push_back(s);
    }
    if (!placed && best_.size() < mostTaken_) best_.push_back(coming);
    double* average = out + countColumns_;
    for (int32_t quota : quotas_) {
      const size_t taken = std::min(members.size(), static_cast<size_t>(std::max(quota, 0)));
      for (const std::vector<double>* marks : marks_) {
        double sum = 0;
        for (size_t i = 0; i < taken; ++i) {
          const double mark = (*marks)[static_cast<size_t>(best_[i])];
          if (!std::isnan(mark)) sum += mark;
        }
        *average++ = taken > 0 ? sum / static_cast<double>(taken) : 0.0;
      }
    }
  }

  // Whether swapping a (of class `from`) for b can change column `column`
  // of class `from`.
  bool Touches(int32_t from, int32_t a, int32_t b, size_t column) const {
    if (column < countColumns_) return Counted(a, column) != Counted(b, column);
    const int32_t quota = quotas_[(column - countColumns_) / marks_.size()];
    const std::vector<int32_t>& members = members_[static_cast<size_t>(from)];
    if (quota <= 0) return false;
    if (members.size() <= static_cast<size_t>(quota)) return true;
    const int32_t last = rank_[static_cast<size_t>(members[static_cast<size_t>(quota) - 1])];
    return rank_[static_cast<size_t>(a)] <= last || rank_[static_cast<size_t>(b)] < last;
  }

  void Swap(int32_t a, int32_t b, const double* valuesA, const double* valuesB, int32_t classA, int32_t classB) {
    std::copy(valuesA, valuesA + columns_, &values_[static_cast<size_t>(classA) * columns_]);
    std::copy(valuesB, valuesB + columns_, &values_[static_cast<size_t>(classB) * columns_]);
    Move(a, classA, classB);
    Move(b, classB, classA);
  }

  std::vector<double> Largest() const {
    std::vector<double> high(columns_, -std::numeric_limits<double>::infinity()), low(columns_, -high[0]);
    for (size_t c = 0; c < shown_.size(); ++c) {
      if (!shown_[c]) continue;
      for (size_t j = 0; j < columns_; ++j) {
        high[j] = std::max(high[j], values_[c * columns_ + j]);
        low[j] = std::min(low[j], values_[c * columns_ + j]);
      }
    }
    for (size_t j = 0; j < columns_; ++j) high[j] = high[j] >= low[j] ? high[j] - low[j] : 0.0;
    return high;
  }

 private:
  bool Counted(int32_t s, size_t column) const {
    const auto* begin = &counts_[static_cast<size_t>(start_[static_cast<size_t>(s)])];
    const auto* end = begin + (start_[static_cast<size_t>(s) + 1] - start_[static_cast<size_t>(s)]);
    return std::find(begin, end, static_cast<int32_t>(column)) != end;
  }
  void AddCounts(int32_t s, double sign, double* out) const {
    for (int32_t i = start_[static_cast<size_t>(s)]; i < start_[static_cast<size_t>(s) + 1]; ++i) {
      out[counts_[static_cast<size_t>(i)]] += sign;
    }
  }
  void Move(int32_t s, int32_t from, int32_t to) {
    std::vector<int32_t>& out = members_[static_cast<size_t>(from)];
    out.erase(std::find(out.begin(), out.end(), s));
    std::vector<int32_t>& in = members_[static_cast<size_t>(to)];
    in.insert(std::upper_bound(in.begin(), in.end(), s,
                               [&](int32_t x, int32_t y) { return rank_[static_cast<size_t>(x)] < rank_[static_cast<size_t>(y)]; }),
              s);
  }

  std::vector<const std::vector<double>*> marks_;
  std::vector<int32_t> quotas_;
  size_t countColumns_ = 0, columns_ = 0, mostTaken_ = 0;
  std::vector<int32_t> start_, counts_, rank_;
  std::vector<std::vector<int32_t>> members_;
  std::vector<uint8_t> shown_;
  std::vector<double> values_;
  mutable std::vector<int32_t> best_;
};

// A swap of the repair: students a and b, the excess after it and its
// cost to the whole-class figures.
struct RepairSwap {
  int32_t a = -1, b = -1;
  double excess = 0, cost = 0;
};

// What a repair round works on.
struct RepairWork {
  const StudentList& list;
  SearchState& state;
  const std::vector<uint8_t>& still;
  const std::vector<double>& allowed;
  std::vector<int32_t>& classOf;
  SheetTally tally;
  std::vector<int32_t> shown, order, position;  // shown classes; students best total first, and their places
  std::vector<double> newA, newB, high, low;
  std::vector<int32_t> highCount, lowCount;
};

// Swaps a and b in the tally, the state and the classes (again: back).
void ApplySwap(RepairWork& work, int32_t a, int32_t b) {
  const int32_t from = work.classOf[static_cast<size_t>(a)], to = work.classOf[static_cast<size_t>(b)];
  work.tally.ClassValues(from, a, b, work.newA.data());
  work.tally.ClassValues(to, b, a, work.newB.data());
  work.tally.Swap(a, b, work.newA.data(), work.newB.data(), from, to);
  work.state.Swap(a, b);
  work.classOf[static_cast<size_t>(a)] = to;
  work.classOf[static_cast<size_t>(b)] = from;
}

// Per column, the highest and lowest figure of the shown classes other than
// `from` and `to` (-1: none), and how many classes have it.
void OtherExtremes(const SheetTally& tally, const std::vector<int32_t>& shown, int32_t from, int32_t to,
                   std::vector<double>& high, std::vector<double>& low, std::vector<int32_t>& highCount,
                   std::vector<int32_t>& lowCount) {
  std::fill(high.begin(), high.end(), -std::numeric_limits<double>::infinity());
  std::fill(low.begin(), low.end(), std::numeric_limits<double>::infinity());
  std::fill(highCount.begin(), highCount.end(), 0);
  std::fill(lowCount.begin(), lowCount.end(), 0);
  for (int32_t c : shown) {
    if (c == from || c == to) continue;
    for (size_t j = 0; j < high.size(); ++j) {
      const double value = tally.Values(c)[j];
      if (value > high[j] + kTolerance) {
        high[j] = value;
        highCount[j] = 0;
      }
      if (value >= high[j] - kTolerance) ++highCount[j];
      if (value < low[j] - kTolerance) {
        low[j] = value;
        lowCount[j] = 0;
      }
      if (value <= low[j] + kTolerance) ++lowCount[j];
    }
  }
}

// The excess with the two classes' figures replaced (from, to: -1 for
// none), counted until it reaches `bound`, plus kTieWeight for every class
// at either end of a column over the rule: with several classes at the top
// one swap cannot lower the column, but it can take one of them off it.
double ExcessWith(const RepairWork& work, int32_t from, int32_t to, double bound) {
  const double none = std::numeric_limits<double>::infinity();
  const bool shownA = from >= 0 && work.tally.Shown(from), shownB = to >= 0 && work.tally.Shown(to);
  double excess = 0;
  for (size_t j = 0; j < work.high.size() && excess < bound; ++j) {
    const double a = shownA ? work.newA[j] : -none, b = shownB ? work.newB[j] : -none;
    const double a2 = shownA ? work.newA[j] : none, b2 = shownB ? work.newB[j] : none;
    const double most = std::max({work.high[j], a, b});
    const double least = std::min({work.low[j], a2, b2});
    const double over = most >= least ? most - least - work.allowed[j] : 0.0;
    if (over <= 0) continue;
    const int32_t ties = (work.high[j] >= most - kTolerance ? work.highCount[j] : 0) + (a >= most - kTolerance) +
                         (b >= most - kTolerance) + (work.low[j] <= least + kTolerance ? work.lowCount[j] : 0) +
                         (a2 <= least + kTolerance) + (b2 <= least + kTolerance);
    excess += over + kTieWeight * ties;
  }
  return excess;
}

// Whether swapping x and y keeps the excess at most `bound` and costs the
// whole-class figures less than `best` (and less than nothing); if so it
// becomes `best`.
bool TryFollowUp(RepairWork& work, int32_t x, int32_t y, double bound, RepairSwap& best) {
  const int32_t from = work.classOf[static_cast<size_t>(x)], to = work.classOf[static_cast<size_t>(y)];
  if (from == to || work.still[static_cast<size_t>(x)] || work.still[static_cast<size_t>(y)]) return false;
  const double cost = work.state.CostDelta(x, y);
  if (cost >= -kTolerance || (best.a >= 0 && cost >= best.cost)) return false;
  if (work.state.PairDelta(x, y) > 0 || work.state.StrictExcessDelta(x, y) > kTolerance) return false;
  work.tally.ClassValues(from, x, y, work.newA.data());
  work.tally.ClassValues(to, y, x, work.newB.data());
  OtherExtremes(work.tally, work.shown, from, to, work.high, work.low, work.highCount, work.lowCount);
  const double after = ExcessWith(work, from, to, bound + kTolerance);
  if (after > bound) return false;
  best = {x, y, after, cost};
  return true;
}

// The cheapest swap of a student of class c or d with a near neighbour by
// total (TryFollowUp).
RepairSwap FollowUp(RepairWork& work, int32_t c, int32_t d, double bound) {
  RepairSwap best;
  for (int32_t side : {c, d}) {
    for (int32_t x : work.tally.Members(side)) {
      const size_t p = static_cast<size_t>(work.position[static_cast<size_t>(x)]);
      const size_t first = p >= kSettleWindow ? p - kSettleWindow : 0;
      for (size_t r = first; r < work.order.size() && r <= p + kSettleWindow; ++r) {
        TryFollowUp(work, x, work.order[r], bound, best);
      }
    }
  }
  return best;
}

// Swaps that lower the excess of the worst column's extreme classes, each
// chosen with the cheapest follow-up swap that keeps the gain (FollowUp)
// among the kRepairChoices cheapest, until no column is over or no swap
// lowers the excess. Returns the swaps made.
int32_t RepairRound(RepairWork& work) {
  SheetTally& tally = work.tally;
  const size_t columns = tally.Columns();
  std::vector<double> largest = tally.Largest();
  double excess = ExcessOf(largest, work.allowed);
  // The measure the swaps lower: the excess with the classes at the ends.
  auto score = [&] {
    OtherExtremes(tally, work.shown, -1, -1, work.high, work.low, work.highCount, work.lowCount);
    return ExcessWith(work, -1, -1, std::numeric_limits<double>::infinity());
  };
  int32_t swaps = 0;
  while (excess > 0 && swaps < kMostSwaps) {
    size_t worst = 0;
    for (size_t j = 1; j < columns; ++j) {
      if (largest[j] - work.allowed[j] > largest[worst] - work.allowed[worst]) worst = j;
    }
    std::vector<int32_t> byValue = work.shown;
    std::stable_sort(byValue.begin(), byValue.end(),
                     [&](int32_t x, int32_t y) { return tally.Values(x)[worst] < tally.Values(y)[worst]; });
    const double bound = score() - kTolerance;
    std::vector<RepairSwap> candidates;
    for (const bool top : {true, false}) {
      const int32_t from = top ? byValue.back() : byValue.front();
      for (size_t p = 0; p < kPartnerClasses && p + 1 < byValue.size(); ++p) {
        const int32_t to = top ? byValue[p] : byValue[byValue.size() - 1 - p];
        OtherExtremes(tally, byValue, from, to, work.high, work.low, work.highCount, work.lowCount);
        for (int32_t a : tally.Members(from)) {
          if (work.still[static_cast<size_t>(a)]) continue;
          for (int32_t b : tally.Members(to)) {
            if (work.still[static_cast<size_t>(b)] || !tally.Touches(from, a, b, worst)) continue;
            if (work.state.PairDelta(a, b) > 0 || work.state.StrictExcessDelta(a, b) > kTolerance) continue;
            tally.ClassValues(from, a, b, work.newA.data());
            tally.ClassValues(to, b, a, work.newB.data());
            const double after = ExcessWith(work, from, to, bound);
            if (after < bound) candidates.push_back({a, b, after, work.state.CostDelta(a, b)});
          }
        }
      }
    }
    if (candidates.empty()) break;
    const size_t choices = std::min(candidates.size(), kRepairChoices);
    std::partial_sort(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(choices), candidates.end(),
                      [](const RepairSwap& x, const RepairSwap& y) { return x.cost < y.cost; });
    size_t chosen = 0;
    RepairSwap chosenFollowUp;
    double chosenCost = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < choices; ++i) {
      const RepairSwap& swap = candidates[i];
      ApplySwap(work, swap.a, swap.b);
      const RepairSwap next = FollowUp(work, work.classOf[static_cast<size_t>(swap.a)],
                                       work.classOf[static_cast<size_t>(swap.b)], swap.excess);
      ApplySwap(work, swap.a, swap.b);
      const double cost = swap.cost + (next.a >= 0 ? next.cost : 0.0);
      if (cost < chosenCost) {
        chosen = i;
        chosenFollowUp = next;
        chosenCost = cost;
      }
    }
    ApplySwap(work, candidates[chosen].a, candidates[chosen].b);
    if (chosenFollowUp.a >= 0) ApplySwap(work, chosenFollowUp.a, chosenFollowUp.b);
    largest = tally.Largest();
    excess = ExcessOf(largest, work.allowed);
    ++swaps;
  }
  return swaps;
}

// After the repair: swaps of near neighbours by total that lower the
// whole-class cost and keep every column within the rule, a few passes.
void Settle(RepairWork& work) {
  for (int32_t pass = 0; pass < kSettlePasses; ++pass) {
    int32_t swaps = 0;
    for (size_t i = 0; i < work.order.size(); ++i) {
      for (size_t r = i + 1; r < work.order.size() && r <= i + kSettleWindow; ++r) {
        RepairSwap swap;
        if (!TryFollowUp(work, work.order[i], work.order[r], 0.0, swap)) continue;
        ApplySwap(work, swap.a, swap.b);
        ++swaps;
      }
    }
    if (swaps == 0) break;
  }
}

RepairWork MakeWork(const StudentList& list, SearchState& state, const std::vector<uint8_t>& still,
                    const std::vector<double>& allowed, std::vector<int32_t>& classOf) {
  RepairWork work{list, state, still, allowed, classOf, SheetTally(list, classOf), {}, RankByTotal(list), {}, {}, {}, {}, {}, {}, {}};
  for (int32_t c = 0; c < list.classCount; ++c) {
    if (work.tally.Shown(c)) work.shown.push_back(c);
  }
  work.position.assign(work.order.size(), 0);
  for (size_t r = 0; r < work.order.size(); ++r) work.position[static_cast<size_t>(work.order[r])] = static_cast<int32_t>(r);
  const size_t columns = work.tally.Columns();
  work.newA.assign(columns, 0.0);
  work.newB.assign(columns, 0.0);
  work.high.assign(columns, 0.0);
  work.low.assign(columns, 0.0);
  work.highCount.assign(columns, 0);
  work.lowCount.assign(columns, 0);
  return work;
}

}  // namespace

double SheetExcess(const StudentList& list, const std::vector<int32_t>& classOf) {
  std::vector<double> largest;
  for (const SheetColumn& column : SheetDifferences(list, classOf)) largest.push_back(column.largest);
  return ExcessOf(largest, AllowedLargest(list));
}

double RepairSheetColumns(const StudentList& list, const BalanceProblem& problem, std::vector<int32_t>& classOf) {
  double excess = SheetExcess(list, classOf);
  if (excess <= 0 || list.classCount < 2) return excess;
  // Students that stay: the fixed, and the members of together groups
  // (their group moves whole or not at all).
  std::vector<uint8_t> still(classOf.size(), 0);
  for (size_t s = 0; s < still.size() && s < problem.fixed.size(); ++s) still[s] = problem.fixed[s];
  for (const std::vector<int32_t>& group : problem.togetherGroups) {
    for (int32_t s : group) still[static_cast<size_t>(s)] = 1;
  }
  const std::vector<double> allowed = AllowedLargest(list);
  // Swaps are costed by the whole-class figures alone: the sheet's columns
  // are measured by the sheet's own figures here.
  const BalanceProblem whole = HasCappedFeatures(problem) ? WholeClassProblem(problem) : BalanceProblem();
  SearchState state(HasCappedFeatures(problem) ? whole : problem, classOf);
  for (int32_t round = 0; round < kMostRounds && excess > 0; ++round) {
    // Each round recounts the tally, the counted value of a category included.
    RepairWork work = MakeWork(list, state, still, allowed, classOf);
    const int32_t made = RepairRound(work);
    if (made == 0) break;
    excess = SheetExcess(list, classOf);
  }
  if (excess > 0) return excess;
  RepairWork work = MakeWork(list, state, still, allowed, classOf);
  Settle(work);
  return SheetExcess(list, classOf);
}

}  // namespace fenban::division
