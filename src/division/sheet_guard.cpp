#include "division/sheet_guard.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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
constexpr int32_t kSettlePasses = 8;
constexpr size_t kSettleWindow = 400;

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
  SheetTally(const StudentList& list, const std::vector<int32_t>& classOf) : list_(&list) {
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

  const StudentList* list_;
  std::vector<const std::vector<double>*> marks_;
  std::vector<int32_t> quotas_;
  size_t countColumns_ = 0, columns_ = 0, mostTaken_ = 0;
  std::vector<int32_t> start_, counts_, rank_;
  std::vector<std::vector<int32_t>> members_;
  std::vector<uint8_t> shown_;
  std::vector<double> values_;
  mutable std::vector<int32_t> best_;
};

// The best swap found for a round of the repair.
struct RepairSwap {
  int32_t a = -1, b = -1;
  double excess = 0, cost = 0;
  std::vector<double> valuesA, valuesB;
};

// Per column, the highest and lowest figure of the shown classes other than
// `from` and `to`.
void OtherExtremes(const SheetTally& tally, const std::vector<int32_t>& shown, int32_t from, int32_t to,
                   std::vector<double>& high, std::vector<double>& low) {
  std::fill(high.begin(), high.end(), -std::numeric_limits<double>::infinity());
  std::fill(low.begin(), low.end(), std::numeric_limits<double>::infinity());
  for (int32_t c : shown) {
    if (c == from || c == to) continue;
    for (size_t j = 0; j < high.size(); ++j) {
      high[j] = std::max(high[j], tally.Values(c)[j]);
      low[j] = std::min(low[j], tally.Values(c)[j]);
    }
  }
}

// The excess with the two classes' figures replaced, counted until it
// reaches `bound`.
double ExcessWith(const std::vector<double>& high, const std::vector<double>& low, const SheetTally& tally,
                  int32_t from, int32_t to, const std::vector<double>& newA, const std::vector<double>& newB,
                  const std::vector<double>& allowed, double bound) {
  const double none = std::numeric_limits<double>::infinity();
  double excess = 0;
  for (size_t j = 0; j < high.size() && excess < bound; ++j) {
    const double a = tally.Shown(from) ? newA[j] : -none, b = tally.Shown(to) ? newB[j] : -none;
    const double a2 = tally.Shown(from) ? newA[j] : none, b2 = tally.Shown(to) ? newB[j] : none;
    const double most = std::max({high[j], a, b});
    const double least = std::min({low[j], a2, b2});
    excess += most >= least ? std::max(0.0, most - least - allowed[j]) : 0.0;
  }
  return excess;
}

// One round: swaps while the excess falls. Returns the swaps made.
int32_t RepairRound(const StudentList& list, SearchState& state, const std::vector<uint8_t>& still,
                    const std::vector<double>& allowed, std::vector<int32_t>& classOf) {
  SheetTally tally(list, classOf);
  const size_t columns = tally.Columns();
  const int32_t k = list.classCount;
  std::vector<double> largest = tally.Largest();
  double excess = ExcessOf(largest, allowed);
  std::vector<double> newA(columns), newB(columns), high(columns), low(columns);
  int32_t swaps = 0;
  while (excess > 0 && swaps < kMostSwaps) {
    // The worst column and its two extreme classes.
    size_t worst = 0;
    for (size_t j = 1; j < columns; ++j) {
      if (largest[j] - allowed[j] > largest[worst] - allowed[worst]) worst = j;
    }
    std::vector<int32_t> byValue;
    for (int32_t c = 0; c < k; ++c) {
      if (tally.Shown(c)) byValue.push_back(c);
    }
    std::stable_sort(byValue.begin(), byValue.end(),
                     [&](int32_t x, int32_t y) { return tally.Values(x)[worst] < tally.Values(y)[worst]; });
    RepairSwap best;
    const double bound = excess - kTolerance;
    for (const bool top : {true, false}) {
      const int32_t from = top ? byValue.back() : byValue.front();
      for (size_t p = 0; p < kPartnerClasses && p + 1 < byValue.size(); ++p) {
        const int32_t to = top ? byValue[p] : byValue[byValue.size() - 1 - p];
        OtherExtremes(tally, byValue, from, to, high, low);
        for (int32_t a : tally.Members(from)) {
          if (still[static_cast<size_t>(a)]) continue;
          for (int32_t b : tally.Members(to)) {
            if (still[static_cast<size_t>(b)] || !tally.Touches(from, a, b, worst)) continue;
            if (state.PairDelta(a, b) > 0 || state.StrictExcessDelta(a, b) > kTolerance) continue;
            tally.ClassValues(from, a, b, newA.data());
            tally.ClassValues(to, b, a, newB.data());
            // Only swaps that lower the excess; of those the cheapest to
            // the whole-class figures, then the one lowering it most.
            const double after = ExcessWith(high, low, tally, from, to, newA, newB, allowed, bound);
            if (after >= bound) continue;
            const double cost = state.CostDelta(a, b);
            if (best.a >= 0 && (cost > best.cost + kTolerance || (cost >= best.cost - kTolerance && after >= best.excess))) {
              continue;
            }
            best.a = a;
            best.b = b;
            best.excess = after;
            best.cost = cost;
            best.valuesA = newA;
            best.valuesB = newB;
          }
        }
      }
    }
    if (best.a < 0) break;
    const int32_t classA = classOf[static_cast<size_t>(best.a)], classB = classOf[static_cast<size_t>(best.b)];
    tally.Swap(best.a, best.b, best.valuesA.data(), best.valuesB.data(), classA, classB);
    state.Swap(best.a, best.b);
    classOf[static_cast<size_t>(best.a)] = classB;
    classOf[static_cast<size_t>(best.b)] = classA;
    largest = tally.Largest();
    excess = ExcessOf(largest, allowed);
    ++swaps;
  }
  return swaps;
}

// After the repair: swaps of near neighbours by total that lower the
// whole-class cost and keep every column within the rule, a few passes.
void Settle(const StudentList& list, SearchState& state, const std::vector<uint8_t>& still,
            const std::vector<double>& allowed, std::vector<int32_t>& classOf) {
  SheetTally tally(list, classOf);
  const size_t columns = tally.Columns();
  std::vector<int32_t> shown;
  for (int32_t c = 0; c < list.classCount; ++c) {
    if (tally.Shown(c)) shown.push_back(c);
  }
  const std::vector<int32_t> order = RankByTotal(list);
  std::vector<double> newA(columns), newB(columns), high(columns), low(columns);
  for (int32_t pass = 0; pass < kSettlePasses; ++pass) {
    int32_t swaps = 0, dbgNeg = 0, dbgOk = 0;
    for (size_t i = 0; i < order.size(); ++i) {
      const int32_t a = order[i];
      if (still[static_cast<size_t>(a)]) continue;
      for (size_t r = i + 1; r < order.size() && r <= i + kSettleWindow; ++r) {
        const int32_t b = order[r];
        const int32_t from = classOf[static_cast<size_t>(a)], to = classOf[static_cast<size_t>(b)];
        if (from == to || still[static_cast<size_t>(b)] || state.CostDelta(a, b) >= -kTolerance) continue;
        ++dbgNeg;
        if (state.PairDelta(a, b) > 0 || state.StrictExcessDelta(a, b) > kTolerance) continue;
        ++dbgOk;
        tally.ClassValues(from, a, b, newA.data());
        tally.ClassValues(to, b, a, newB.data());
        OtherExtremes(tally, shown, from, to, high, low);
        if (ExcessWith(high, low, tally, from, to, newA, newB, allowed, kTolerance) > 0) continue;
        tally.Swap(a, b, newA.data(), newB.data(), from, to);
        state.Swap(a, b);
        classOf[static_cast<size_t>(a)] = to;
        classOf[static_cast<size_t>(b)] = from;
        ++swaps;
      }
    }
    if (std::getenv("GUARD_DEBUG")) std::fprintf(stderr, "settle: pass %d swaps %d cost %.4f neg %d ok %d\n", pass, swaps, state.Cost(), dbgNeg, dbgOk);
    if (swaps == 0) break;
  }
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
    const int32_t made = RepairRound(list, state, still, allowed, classOf);
    if (std::getenv("GUARD_DEBUG")) std::fprintf(stderr, "guard: excess %.3f swaps %d\n", excess, made);
    if (made == 0) break;
    excess = SheetExcess(list, classOf);
  }
  if (excess > 0) return excess;
  Settle(list, state, still, allowed, classOf);
  return SheetExcess(list, classOf);
}

}  // namespace fenban::division
