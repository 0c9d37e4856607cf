#include "division/balance_large.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

#include "division/balance_caps.h"
#include "division/balance_state.h"

namespace fenban::division {
namespace {

// More bands than this are more than the general search holds as features
// (it holds every second, third, ... band beyond it).
constexpr int32_t kMostFeatureBands = 40;
// Candidate swaps of the annealing: kMovesPerStudent per free student, at
// most kMostMoves. One in kBestShare moves a student among the year's best of
// some average (they alone make the averages over the best, and are few).
// On the generated example of 100,000 students in 100 classes (dealt by sex,
// boarding and current year) 3 million bring the total within 0.01 and the
// subjects within 0.04 (4 million: no closer, a third longer).
constexpr int64_t kMovesPerStudent = 1000;
constexpr int64_t kMostMoves = 3'000'000;
constexpr int64_t kBestShare = 4;
// One in kCrossShare partners comes from the next band (see DrawPartner).
// The deal's bands hold the classes' totals apart, and only swaps across
// bands move them: with one in four the example's total ended 0.22 apart,
// with one in two 0.01.
constexpr uint64_t kCrossShare = 2;
// The annealing's starting temperature as a share of the mean worsening
// swap, and its end as a share of the start.
constexpr double kStartShare = 0.03;
constexpr double kEndShare = 1e-7;
// Near neighbours (by total, within the group) a swap partner is drawn from
// half of the time, and those each student tries in a greedy pass.
constexpr int32_t kNearWindow = 24;
constexpr int32_t kFinishWindow = 6;
constexpr int32_t kFinishPasses = 2;
// Groups below the edge of the year's best whose members trade across it
// (see EvenBestCounts): on the generated example of 100,000 students the
// part of a band below the edge held 34 students.
constexpr int32_t kEvenGroups = 3;
// Rounds of the apart repair.
constexpr int32_t kRepairRounds = 4;

// The low bits of a swap key: among the year's best of each average.
constexpr int32_t kMostQuotas = 8;
constexpr int64_t kBestBits = (int64_t{1} << kMostQuotas) - 1;

// Students of one profile: alike in every strict count that a swap within a
// group can change (the categories), so that a swap between them never moves
// one. A group's members of one profile, best total first, are members[begin,
// end).
struct ProfileRange {
  int32_t profile, begin, end;
  bool operator<(int32_t other) const { return profile < other; }
};

// The swap groups with their members by profile, best total first within one.
struct SwapPlan {
  std::vector<int32_t> groupOf;               // per student, -1: never moves
  std::vector<int32_t> profileOf;             // per student
  std::vector<std::vector<int32_t>> members;  // per group
  std::vector<std::vector<ProfileRange>> ranges;  // per group, by profile
  std::vector<int32_t> position;              // per student: its place in its group
  std::vector<int32_t> freeStudents;          // in group order
  std::vector<int32_t> bestStudents;          // those among the year's best of some average
  // Per group: the group of the totals next below its own (the next band, or
  // the other side of the year's best in one band), -1 at the end; and the
  // groups next below and above of the same membership of the year's best
  // (-1 where the next is not), the partners of swaps across groups.
  std::vector<int32_t> next, below, above;

  const ProfileRange* Range(int32_t group, int32_t profile) const {
    const std::vector<ProfileRange>& list = ranges[static_cast<size_t>(group)];
    const auto found = std::lower_bound(list.begin(), list.end(), profile);
    return found != list.end() && found->profile == profile ? &*found : nullptr;
  }
  const ProfileRange& RangeOf(int32_t student) const {
    return *Range(groupOf[static_cast<size_t>(student)], profileOf[static_cast<size_t>(student)]);
  }
};

// Per student: its profile, numbered in order of first appearance.
std::vector<int32_t> Profiles(const BalanceProblem& within) {
  const size_t f = static_cast<size_t>(within.featureCount);
  std::vector<size_t> strict;
  for (size_t j = 0; j < f && j < within.shapes.size(); ++j) {
    if (within.shapes[j].strict) strict.push_back(j);
  }
  std::map<std::vector<double>, int32_t> numbers;
  std::vector<int32_t> profileOf(within.classOf.size());
  std::vector<double> values(strict.size());
  for (size_t s = 0; s < profileOf.size(); ++s) {
    for (size_t t = 0; t < strict.size(); ++t) values[t] = within.features[s * f + strict[t]];
    profileOf[s] = numbers.emplace(values, static_cast<int32_t>(numbers.size())).first->second;
  }
  return profileOf;
}

SwapPlan MakePlan(const BalanceProblem& problem, const std::vector<int64_t>& keys, std::vector<int32_t> groupOf,
                  std::vector<int32_t> profileOf) {
  SwapPlan plan;
  plan.groupOf = std::move(groupOf);
  plan.profileOf = std::move(profileOf);
  int32_t groups = 0;
  for (int32_t g : plan.groupOf) groups = std::max(groups, g + 1);
  plan.members.resize(static_cast<size_t>(groups));
  plan.ranges.resize(static_cast<size_t>(groups));
  for (size_t s = 0; s < plan.groupOf.size(); ++s) {
    if (plan.groupOf[s] >= 0) plan.members[static_cast<size_t>(plan.groupOf[s])].push_back(static_cast<int32_t>(s));
  }
  plan.position.assign(plan.groupOf.size(), -1);
  std::vector<double> bestScore(plan.members.size(), 0.0);
  for (size_t g = 0; g < plan.members.size(); ++g) {
    std::vector<int32_t>& members = plan.members[g];
    std::stable_sort(members.begin(), members.end(), [&](int32_t x, int32_t y) {
      const int32_t px = plan.profileOf[static_cast<size_t>(x)], py = plan.profileOf[static_cast<size_t>(y)];
      return px != py ? px < py : problem.score[static_cast<size_t>(x)] > problem.score[static_cast<size_t>(y)];
    });
    bestScore[g] = problem.score[static_cast<size_t>(members[0])];
    for (size_t p = 0; p < members.size(); ++p) {
      const int32_t s = members[p];
      plan.position[static_cast<size_t>(s)] = static_cast<int32_t>(p);
      plan.freeStudents.push_back(s);
      if (keys[static_cast<size_t>(s)] & kBestBits) plan.bestStudents.push_back(s);
      bestScore[g] = std::max(bestScore[g], problem.score[static_cast<size_t>(s)]);
      const int32_t profile = plan.profileOf[static_cast<size_t>(s)];
      if (plan.ranges[g].empty() || plan.ranges[g].back().profile != profile) {
        plan.ranges[g].push_back(ProfileRange{profile, static_cast<int32_t>(p), static_cast<int32_t>(p)});
      }
      ++plan.ranges[g].back().end;
    }
  }
  // The groups by their best total: each one's neighbours hold the totals next to its own.
  std::vector<int32_t> byTotal(plan.members.size());
  for (size_t g = 0; g < byTotal.size(); ++g) byTotal[g] = static_cast<int32_t>(g);
  std::stable_sort(byTotal.begin(), byTotal.end(), [&](int32_t x, int32_t y) {
    return bestScore[static_cast<size_t>(x)] > bestScore[static_cast<size_t>(y)];
  });
  plan.next.assign(byTotal.size(), -1);
  plan.below.assign(byTotal.size(), -1);
  plan.above.assign(byTotal.size(), -1);
  for (size_t r = 1; r < byTotal.size(); ++r) {
    const size_t upper = static_cast<size_t>(byTotal[r - 1]), lower = static_cast<size_t>(byTotal[r]);
    plan.next[upper] = byTotal[r];
    const int64_t bits = keys[static_cast<size_t>(plan.members[upper][0])] & kBestBits;
    if (bits != (keys[static_cast<size_t>(plan.members[lower][0])] & kBestBits)) continue;
    plan.below[upper] = byTotal[r];
    plan.above[lower] = byTotal[r - 1];
  }
  return plan;
}

// A partner for i: one in kCrossShare draws one of the nearest by total of
// i's profile in the group next below or above of the same membership of the
// year's best (a swap that moves a band count of two classes by one, within
// its cap; the band features it changes are not priced), else from i's group: half of the time one of the
// nearest by total of its profile, else any member.
int32_t DrawPartner(const SwapPlan& plan, int32_t i, SplitMix& random) {
  const int32_t group = plan.groupOf[static_cast<size_t>(i)];
  const uint64_t draw = random.Next();
  if (draw % kCrossShare == 0) {
    const bool down = (draw >> 32) & 1;
    const int32_t next = down ? plan.below[static_cast<size_t>(group)] : plan.above[static_cast<size_t>(group)];
    const ProfileRange* range = next >= 0 ? plan.Range(next, plan.profileOf[static_cast<size_t>(i)]) : nullptr;
    if (range != nullptr) {
      const int32_t offset = random.Below(std::min(kNearWindow, range->end - range->begin));
      return plan.members[static_cast<size_t>(next)][static_cast<size_t>(down ? range->begin + offset : range->end - 1 - offset)];
    }
  }
  const std::vector<int32_t>& members = plan.members[static_cast<size_t>(group)];
  if ((draw >> 33) & 1) {
    const ProfileRange& range = plan.RangeOf(i);
    int32_t offset = 1 + random.Below(kNearWindow);
    if ((draw >> 34) & 1) offset = -offset;
    return members[static_cast<size_t>(std::clamp(plan.position[static_cast<size_t>(i)] + offset, range.begin, range.end - 1))];
  }
  return members[static_cast<size_t>(random.Below(static_cast<int32_t>(members.size())))];
}

// The assignment with the class figures of the features that vary within
// groups, and with the capped columns.
struct LargeState {
  SearchState search;
  CapState caps;
  int32_t ClassOf(int32_t student) const { return search.ClassOf(student); }
  void Swap(int32_t i, int32_t l) {
    caps.Swap(i, l);
    search.Swap(i, l);
  }
};

// A swap's change of the standing, with whether it lets a capped column's
// excess grow; Before orders the candidates of a repair or a greedy pass.
struct Move {
  Standing change;
  bool grows = false;
};
Move Evaluate(const SearchState& search, const CapState& caps, int32_t i, int32_t l) {
  return Move{Standing{search.PairDelta(i, l), search.StrictExcessDelta(i, l), search.CostDelta(i, l)},
              caps.Delta(i, l).grows};
}
bool Before(const Move& x, const Move& y) {
  if (x.change.breaches != y.change.breaches) return x.change.breaches < y.change.breaches;
  if (x.grows != y.grows) return !x.grows;
  return x.change.BetterThan(y.change);
}

// Every member of an apart (or same-name) group that shares its class with
// another member trades places with the member of its swap group whose swap
// removes a breach and costs least (a capped column's growth counted before
// the cost).
void RepairApart(LargeState& state, const SwapPlan& plan) {
  const SearchState& groups = state.search;
  bool changed = true;
  for (int32_t round = 0; changed && round < kRepairRounds; ++round) {
    changed = false;
    for (int32_t g = 0; g < groups.GroupCount(); ++g) {
      for (int32_t student : groups.Group(g)) {
        const int32_t group = plan.groupOf[static_cast<size_t>(student)];
        if (group < 0 || groups.MembersIn(g, state.ClassOf(student)) < 2) continue;
        int32_t best = -1;
        Move bestMove;
        for (int32_t partner : plan.members[static_cast<size_t>(group)]) {
          if (state.ClassOf(partner) == state.ClassOf(student) || groups.PairDelta(student, partner) >= 0) continue;
          const Move move = Evaluate(state.search, state.caps, student, partner);
          if (best < 0 || Before(move, bestMove)) {
            best = partner;
            bestMove = move;
          }
        }
        if (best >= 0) {
          state.Swap(student, best);
          changed = true;
        }
      }
    }
  }
}

// Evens out the counts of the year's best (strict, and never changed by the
// swaps of the search): between each group and the next below it on the
// other side of the year's best, each student of a class outside a strict
// band trades with the member of the groups below the edge whose swap lowers
// the strict excess, lets no capped column grow and costs least, until none
// is left. Priced on every feature.
void EvenBestCounts(const BalanceProblem& problem, LargeState& state, const SwapPlan& plan) {
  SearchState whole(problem, state.search.ClassOf());
  CapState& caps = state.caps;
  for (size_t g = 0; g < plan.members.size(); ++g) {
    const int32_t next = plan.next[g];
    if (next < 0 || plan.below[g] == next) continue;
    for (bool changed = true; changed;) {
      changed = false;
      for (int32_t i : plan.members[g]) {
        if (!whole.StrictBreach(static_cast<size_t>(whole.ClassOf(i)))) continue;
        int32_t best = -1;
        Move bestMove;
        // The next group and those below it on its side, kEvenGroups in all.
        for (int32_t h = next, step = 0; h >= 0 && step < kEvenGroups; h = plan.below[static_cast<size_t>(h)], ++step) {
          for (int32_t l : plan.members[static_cast<size_t>(h)]) {
            if (whole.ClassOf(l) == whole.ClassOf(i) || whole.StrictExcessDelta(i, l) > -kStrictEpsilon) continue;
            const Move move = Evaluate(whole, caps, i, l);
            if (move.grows || move.change.breaches > 0 || move.change.strict > -kStrictEpsilon) continue;
            if (best < 0 || Before(move, bestMove)) {
              best = l;
              bestMove = move;
            }
          }
        }
        if (best >= 0) {
          state.Swap(i, best);
          whole.Swap(i, best);
          changed = true;
        }
      }
    }
  }
}

// The starting temperature: a share of the mean worsening swap.
double StartTemperature(const LargeState& state, const SwapPlan& plan, SplitMix& random) {
  const int32_t m = static_cast<int32_t>(plan.freeStudents.size());
  double sum = 0;
  int32_t counted = 0;
  for (int32_t t = 0; t < 2000; ++t) {
    const int32_t i = plan.freeStudents[static_cast<size_t>(random.Below(m))];
    const int32_t l = DrawPartner(plan, i, random);
    if (state.ClassOf(i) == state.ClassOf(l)) continue;
    const double delta = state.search.CostDelta(i, l);
    if (delta > 0) {
      sum += delta;
      ++counted;
    }
  }
  return counted > 0 ? kStartShare * sum / counted : 0.0;
}

// Simulated annealing of swaps within groups. A swap that adds breaches,
// strict excess or a capped column's excess is never taken; one that removes
// breaches or strict excess always is. It cools to kEndShare of its start,
// so it ends where the greedy finish would.
void AnnealWithinGroups(LargeState& state, const BalanceProblem& problem, const SwapPlan& plan, SplitMix& random,
                        int64_t budget) {
  const int32_t m = static_cast<int32_t>(plan.freeStudents.size());
  if (m < 2 || budget <= 0) return;
  const double start = StartTemperature(state, plan, random);
  if (start <= 0) return;
  const double cooling = std::pow(kEndShare, 1.0 / static_cast<double>(budget));
  const std::vector<int32_t>& best = plan.bestStudents;
  const int64_t progressEvery = std::max<int64_t>(m, 20'000);
  double temperature = start;
  for (int64_t move = 0; move < budget; ++move) {
    temperature *= cooling;
    const int32_t i = best.size() > 0 && move % kBestShare == 0
                          ? best[static_cast<size_t>(random.Below(static_cast<int32_t>(best.size())))]
                          : plan.freeStudents[static_cast<size_t>(random.Below(m))];
    const int32_t l = DrawPartner(plan, i, random);
    if (state.ClassOf(i) != state.ClassOf(l)) {
      const SearchState& pricing = state.search;
      const int64_t pairs = pricing.PairDelta(i, l);
      const double strict = pairs > 0 ? 0.0 : pricing.StrictExcessDelta(i, l);
      if (pairs < 0 || (pairs == 0 && strict <= kStrictEpsilon)) {
        const double delta = pricing.CostDelta(i, l);
        const bool wanted = pairs < 0 || strict < -kStrictEpsilon || delta <= 0 ||
                            random.Unit() < std::exp(-delta / temperature);
        if (wanted && !state.caps.Delta(i, l).grows) state.Swap(i, l);
      }
    }
    if (problem.onProgress && (move + 1) % progressEvery == 0) problem.onProgress(state.search.ClassOf());
  }
}

// Greedy passes: every free student tries the members of its group nearest
// it by total and takes the best swap that improves the standing without a
// capped column's excess growing, until a pass takes none.
void FinishWithinGroups(LargeState& state, const SwapPlan& plan) {
  const Move none{};
  for (int32_t pass = 0; pass < kFinishPasses; ++pass) {
    int64_t taken = 0;
    for (int32_t i : plan.freeStudents) {
      const std::vector<int32_t>& members = plan.members[static_cast<size_t>(plan.groupOf[static_cast<size_t>(i)])];
      const int32_t p = plan.position[static_cast<size_t>(i)];
      const ProfileRange& range = plan.RangeOf(i);
      int32_t best = -1;
      Move bestMove;
      auto consider = [&](int32_t l) {
        if (state.ClassOf(i) == state.ClassOf(l)) return;
        const Move move = Evaluate(state.search, state.caps, i, l);
        if (move.grows || !Before(move, none)) return;
        if (best < 0 || Before(move, bestMove)) {
          best = l;
          bestMove = move;
        }
      };
      for (int32_t q = std::max(range.begin, p - kFinishWindow); q < std::min(range.end, p + kFinishWindow + 1); ++q) {
        consider(members[static_cast<size_t>(q)]);
      }
      // Near the end of its profile's range: the nearest of that profile in the next group too.
      const int32_t group = plan.groupOf[static_cast<size_t>(i)];
      const int32_t profile = plan.profileOf[static_cast<size_t>(i)];
      const int32_t below = plan.below[static_cast<size_t>(group)], above = plan.above[static_cast<size_t>(group)];
      const ProfileRange* next = below >= 0 && p + kFinishWindow >= range.end ? plan.Range(below, profile) : nullptr;
      for (int32_t q = 0; next != nullptr && q < std::min(kFinishWindow, next->end - next->begin); ++q) {
        consider(plan.members[static_cast<size_t>(below)][static_cast<size_t>(next->begin + q)]);
      }
      next = above >= 0 && p - kFinishWindow < range.begin ? plan.Range(above, profile) : nullptr;
      for (int32_t q = 0; next != nullptr && q < std::min(kFinishWindow, next->end - next->begin); ++q) {
        consider(plan.members[static_cast<size_t>(above)][static_cast<size_t>(next->end - 1 - q)]);
      }
      if (best >= 0) {
        state.Swap(i, best);
        ++taken;
      }
    }
    if (taken == 0) break;
  }
}

// Gathers every together group (the largest first) into the class that
// holds most of it (a member's preset class if it has one) and has free
// students enough to trade with; each member outside trades places with the
// free student of that class alike in swap key where there is one, else the
// closest in total, so that the gathering leaves the bands as they were. The
// gathered members never move again.
void GatherWithinGroups(const BalanceProblem& problem, const std::vector<int64_t>& keys, std::vector<int32_t>& classOf,
                        std::vector<uint8_t>& movable) {
  const size_t k = static_cast<size_t>(problem.classCount);
  std::vector<uint8_t> together(classOf.size(), 0);
  std::vector<const std::vector<int32_t>*> groups;
  for (const std::vector<int32_t>& group : problem.togetherGroups) {
    for (int32_t student : group) together[static_cast<size_t>(student)] = 1;
    if (group.size() >= 2) groups.push_back(&group);
  }
  std::stable_sort(groups.begin(), groups.end(), [](const auto* x, const auto* y) { return x->size() > y->size(); });
  std::vector<std::vector<int32_t>> partnersIn(k);  // per class: free students outside every together group
  for (size_t s = 0; s < classOf.size(); ++s) {
    if (movable[s] && !together[s]) partnersIn[static_cast<size_t>(classOf[s])].push_back(static_cast<int32_t>(s));
  }
  for (const std::vector<int32_t>* group : groups) {
    std::vector<int32_t> held(k, 0);
    int32_t preset = -1;
    for (int32_t student : *group) {
      ++held[static_cast<size_t>(classOf[static_cast<size_t>(student)])];
      if (!movable[static_cast<size_t>(student)]) preset = classOf[static_cast<size_t>(student)];
    }
    // The class with room that finds every outside member a partner of its
    // own key, else the one that finds most; then the one holding most.
    int32_t target = -1;
    std::pair<int64_t, int32_t> bestFit{-1, 0};
    std::vector<int64_t> wanted;
    for (size_t c = 0; c < k; ++c) {
      const bool room = partnersIn[c].size() + static_cast<size_t>(held[c]) >= group->size();
      if (!room || (preset >= 0 && preset != static_cast<int32_t>(c))) continue;
      wanted.clear();
      for (int32_t student : *group) {
        if (classOf[static_cast<size_t>(student)] != static_cast<int32_t>(c)) wanted.push_back(keys[static_cast<size_t>(student)]);
      }
      std::sort(wanted.begin(), wanted.end());
      int64_t fits = 0;
      for (int32_t partner : partnersIn[c]) {
        const auto match = std::lower_bound(wanted.begin(), wanted.end(), keys[static_cast<size_t>(partner)]);
        if (match != wanted.end() && *match == keys[static_cast<size_t>(partner)]) {
          *match = -1 - *match;  // taken (keys are never negative)
          ++fits;
          std::sort(wanted.begin(), wanted.end());
        }
      }
      const std::pair<int64_t, int32_t> fit{fits - static_cast<int64_t>(wanted.size()), held[c]};
      if (target < 0 || fit > bestFit) {
        target = static_cast<int32_t>(c);
        bestFit = fit;
      }
    }
    if (target < 0) continue;
    std::vector<int32_t>& partners = partnersIn[static_cast<size_t>(target)];
    for (int32_t student : *group) {
      const size_t s = static_cast<size_t>(student);
      if (classOf[s] != target) {
        auto distance = [&](int32_t partner) {
          const size_t p = static_cast<size_t>(partner);
          return std::pair{keys[p] != keys[s], std::fabs(problem.score[p] - problem.score[s])};
        };
        auto best = std::min_element(partners.begin(), partners.end(),
                                     [&](int32_t x, int32_t y) { return distance(x) < distance(y); });
        classOf[static_cast<size_t>(*best)] = classOf[s];
        classOf[s] = target;
        partners.erase(best);
      }
      movable[s] = 0;
    }
  }
}

}  // namespace

bool UsesLargeSearch(const BalanceProblem& problem) {
  if (problem.capped.ladderSteps == 0 || problem.classCount < 2) return false;
  return problem.capped.ladderSteps > kMostFeatureBands;
}

std::vector<int64_t> SwapKeys(const BalanceProblem& problem) {
  const CappedColumns& columns = problem.capped;
  // The quotas of the averages, each a bit of the key.
  std::vector<int32_t> quotas;
  for (int32_t quota : columns.quota) {
    if (quota > 0 && std::find(quotas.begin(), quotas.end(), quota) == quotas.end()) quotas.push_back(quota);
  }
  std::vector<int64_t> keys(problem.classOf.size(), 0);
  for (size_t s = 0; s < keys.size(); ++s) {
    int64_t bits = 0;
    for (int32_t e = columns.start[s]; e < columns.start[s + 1]; ++e) {
      const int32_t quota = columns.quota[static_cast<size_t>(columns.column[static_cast<size_t>(e)])];
      if (quota > 0) bits |= int64_t{1} << (std::find(quotas.begin(), quotas.end(), quota) - quotas.begin());
    }
    const int64_t step = columns.ladderSteps > 0 ? columns.ladderFrom[s] : 0;
    keys[s] = (step << kMostQuotas) | bits;
  }
  return keys;
}

std::vector<int32_t> SwapGroups(const std::vector<int64_t>& keys, const std::vector<uint8_t>& movable) {
  std::unordered_map<int64_t, int32_t> groups;
  std::vector<int32_t> groupOf(keys.size(), -1);
  for (size_t s = 0; s < keys.size(); ++s) {
    if (movable[s]) groupOf[s] = groups.emplace(keys[s], static_cast<int32_t>(groups.size())).first->second;
  }
  return groupOf;
}

BalanceProblem WithinGroupProblem(const BalanceProblem& problem, const std::vector<int32_t>& groupOf) {
  const size_t n = problem.classOf.size();
  const size_t f = static_cast<size_t>(problem.featureCount);
  // Per group: its first member; a feature is kept when some member differs from it.
  std::vector<int32_t> first;
  std::vector<uint8_t> varies(f, 0);
  for (size_t s = 0; s < n; ++s) {
    const int32_t g = groupOf[s];
    if (g < 0) continue;
    if (static_cast<size_t>(g) >= first.size()) first.resize(static_cast<size_t>(g) + 1, -1);
    int32_t& leader = first[static_cast<size_t>(g)];
    if (leader < 0) {
      leader = static_cast<int32_t>(s);
      continue;
    }
    const double* x = &problem.features[s * f];
    const double* y = &problem.features[static_cast<size_t>(leader) * f];
    for (size_t j = 0; j < f; ++j) varies[j] |= x[j] != y[j] ? 1 : 0;
  }
  std::vector<size_t> kept;
  for (size_t j = 0; j < f; ++j) {
    if (varies[j]) kept.push_back(j);
  }
  // Everything but the features and the caps, copied.
  BalanceProblem within = problem;
  within.capped = CappedColumns{};
  within.onProgress = nullptr;
  within.featureCount = static_cast<int32_t>(kept.size());
  within.features.assign(n * kept.size(), 0.0);
  for (size_t s = 0; s < n; ++s) {
    for (size_t j = 0; j < kept.size(); ++j) within.features[s * kept.size() + j] = problem.features[s * f + kept[j]];
  }
  within.shapes.clear();
  for (size_t j : kept) within.shapes.push_back(j < problem.shapes.size() ? problem.shapes[j] : FeatureShape{});
  return within;
}

std::vector<int32_t> LargeSearch(const BalanceProblem& problem) {
  std::vector<int32_t> classOf = problem.classOf;
  std::vector<uint8_t> movable(classOf.size());
  for (size_t s = 0; s < movable.size(); ++s) movable[s] = problem.fixed[s] ? 0 : 1;
  const std::vector<int64_t> keys = SwapKeys(problem);
  GatherWithinGroups(problem, keys, classOf, movable);
  const std::vector<int32_t> groupOf = SwapGroups(keys, movable);
  const BalanceProblem within = WithinGroupProblem(problem, groupOf);
  const SwapPlan plan = MakePlan(problem, keys, groupOf, Profiles(within));
  LargeState state{SearchState(within, classOf), CapState(problem, classOf)};
  SplitMix random(problem.seed);
  EvenBestCounts(problem, state, plan);
  RepairApart(state, plan);
  const int64_t budget = problem.moveBudget > 0 ? problem.moveBudget
                                                : std::min(kMostMoves, kMovesPerStudent * static_cast<int64_t>(plan.freeStudents.size()));
  AnnealWithinGroups(state, problem, plan, random, budget);
  RepairApart(state, plan);
  FinishWithinGroups(state, plan);
  return state.search.ClassOf();
}

}  // namespace fenban::division
