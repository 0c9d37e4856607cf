#include "division/balance_large.h"

#include <algorithm>
#include <cmath>
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
// With 100,000 students in 100 classes 6 million swaps brought the worst
// subject to 0.018 (10 million: 0.014, the search taking half as long again);
// with 10,000 in 40 classes 3 million left the spread of the total 0.78
// apart, 10 million 0.44.
constexpr int64_t kMovesPerStudent = 1000;
constexpr int64_t kMostMoves = 6'000'000;
constexpr int64_t kBestShare = 4;
// The annealing's starting temperature as a share of the mean worsening
// swap, and its end as a share of the start.
constexpr double kStartShare = 0.03;
constexpr double kEndShare = 1e-7;
// Near neighbours (by total, within the group) a swap partner is drawn from
// half of the time, and those each student tries in a greedy pass.
constexpr int32_t kNearWindow = 24;
constexpr int32_t kFinishWindow = 6;
constexpr int32_t kFinishPasses = 2;
// Rounds of the apart repair.
constexpr int32_t kRepairRounds = 4;

// The low bits of a swap key: among the year's best of each average.
constexpr int32_t kMostQuotas = 8;
constexpr int64_t kBestBits = (int64_t{1} << kMostQuotas) - 1;

// The swap groups with their members, best score first.
struct SwapPlan {
  std::vector<int32_t> groupOf;               // per student, -1: never moves
  std::vector<std::vector<int32_t>> members;  // per group
  std::vector<int32_t> position;              // per student: its place in its group
  std::vector<int32_t> freeStudents;          // in group order
  std::vector<int32_t> bestStudents;          // those among the year's best of some average
};

SwapPlan MakePlan(const BalanceProblem& problem, const std::vector<int64_t>& keys, std::vector<int32_t> groupOf) {
  SwapPlan plan;
  plan.groupOf = std::move(groupOf);
  int32_t groups = 0;
  for (int32_t g : plan.groupOf) groups = std::max(groups, g + 1);
  plan.members.resize(static_cast<size_t>(groups));
  for (size_t s = 0; s < plan.groupOf.size(); ++s) {
    if (plan.groupOf[s] >= 0) plan.members[static_cast<size_t>(plan.groupOf[s])].push_back(static_cast<int32_t>(s));
  }
  plan.position.assign(plan.groupOf.size(), -1);
  for (std::vector<int32_t>& members : plan.members) {
    std::stable_sort(members.begin(), members.end(), [&](int32_t x, int32_t y) {
      return problem.score[static_cast<size_t>(x)] > problem.score[static_cast<size_t>(y)];
    });
    for (size_t p = 0; p < members.size(); ++p) {
      plan.position[static_cast<size_t>(members[p])] = static_cast<int32_t>(p);
      plan.freeStudents.push_back(members[p]);
      if (keys[static_cast<size_t>(members[p])] & kBestBits) plan.bestStudents.push_back(members[p]);
    }
  }
  return plan;
}

// A partner for i from its group: half of the time one of the nearest by
// total, else any member.
int32_t DrawPartner(const SwapPlan& plan, int32_t i, SplitMix& random) {
  const std::vector<int32_t>& members = plan.members[static_cast<size_t>(plan.groupOf[static_cast<size_t>(i)])];
  const int32_t size = static_cast<int32_t>(members.size());
  if (random.Next() & 1) {
    int32_t offset = 1 + random.Below(kNearWindow);
    if (random.Next() & 1) offset = -offset;
    return members[static_cast<size_t>(std::clamp(plan.position[static_cast<size_t>(i)] + offset, 0, size - 1))];
  }
  return members[static_cast<size_t>(random.Below(size))];
}

// A swap's change of the standing, with whether it lets a capped column's
// excess grow; `worse` orders the candidates of a repair or a greedy pass.
struct Move {
  Standing change;
  bool grows = false;
};
Move Evaluate(const SearchState& state, const CapState& caps, int32_t i, int32_t l) {
  return Move{Standing{state.PairDelta(i, l), state.StrictExcessDelta(i, l), state.CostDelta(i, l)},
              caps.Delta(i, l).grows};
}
bool Before(const Move& x, const Move& y) {
  if (x.change.breaches != y.change.breaches) return x.change.breaches < y.change.breaches;
  if (x.grows != y.grows) return !x.grows;
  return x.change.BetterThan(y.change);
}

void Take(SearchState& state, CapState& caps, int32_t i, int32_t l) {
  caps.Swap(i, l);
  state.Swap(i, l);
}

// Every member of an apart (or same-name) group that shares its class with
// another member trades places with the member of its swap group whose swap
// removes a breach and costs least (a capped column's growth counted before
// the cost).
void RepairApart(SearchState& state, CapState& caps, const SwapPlan& plan) {
  bool changed = true;
  for (int32_t round = 0; changed && round < kRepairRounds; ++round) {
    changed = false;
    for (int32_t g = 0; g < state.GroupCount(); ++g) {
      for (int32_t student : state.Group(g)) {
        const int32_t group = plan.groupOf[static_cast<size_t>(student)];
        if (group < 0 || state.MembersIn(g, state.ClassOf(student)) < 2) continue;
        int32_t best = -1;
        Move bestMove;
        for (int32_t partner : plan.members[static_cast<size_t>(group)]) {
          if (state.ClassOf(partner) == state.ClassOf(student) || state.PairDelta(student, partner) >= 0) continue;
          const Move move = Evaluate(state, caps, student, partner);
          if (best < 0 || Before(move, bestMove)) {
            best = partner;
            bestMove = move;
          }
        }
        if (best >= 0) {
          Take(state, caps, student, best);
          changed = true;
        }
      }
    }
  }
}

// The starting temperature: a share of the mean worsening swap.
double StartTemperature(const SearchState& state, const SwapPlan& plan, SplitMix& random) {
  const int32_t m = static_cast<int32_t>(plan.freeStudents.size());
  double sum = 0;
  int32_t counted = 0;
  for (int32_t t = 0; t < 2000; ++t) {
    const int32_t i = plan.freeStudents[static_cast<size_t>(random.Below(m))];
    const int32_t l = DrawPartner(plan, i, random);
    if (state.ClassOf(i) == state.ClassOf(l)) continue;
    const double delta = state.CostDelta(i, l);
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
void AnnealWithinGroups(SearchState& state, CapState& caps, const BalanceProblem& problem, const SwapPlan& plan,
                        SplitMix& random, int64_t budget) {
  const int32_t m = static_cast<int32_t>(plan.freeStudents.size());
  const double start = StartTemperature(state, plan, random);
  if (m < 2 || budget <= 0 || start <= 0) return;
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
      const int64_t pairs = state.PairDelta(i, l);
      const double strict = pairs > 0 ? 0.0 : state.StrictExcessDelta(i, l);
      if (pairs < 0 || (pairs == 0 && strict <= kStrictEpsilon)) {
        const double delta = state.CostDelta(i, l);
        const bool wanted = pairs < 0 || strict < -kStrictEpsilon || delta <= 0 ||
                            random.Unit() < std::exp(-delta / temperature);
        if (wanted && !caps.Delta(i, l).grows) Take(state, caps, i, l);
      }
    }
    if (problem.onProgress && (move + 1) % progressEvery == 0) problem.onProgress(state.ClassOf());
  }
}

// Greedy passes: every free student tries the members of its group nearest
// it by total and takes the best swap that improves the standing without a
// capped column's excess growing, until a pass takes none.
void FinishWithinGroups(SearchState& state, CapState& caps, const SwapPlan& plan) {
  const Move none{};
  for (int32_t pass = 0; pass < kFinishPasses; ++pass) {
    int64_t taken = 0;
    for (int32_t i : plan.freeStudents) {
      const std::vector<int32_t>& members = plan.members[static_cast<size_t>(plan.groupOf[static_cast<size_t>(i)])];
      const int32_t p = plan.position[static_cast<size_t>(i)];
      const int32_t from = std::max(0, p - kFinishWindow);
      const int32_t to = std::min(static_cast<int32_t>(members.size()) - 1, p + kFinishWindow);
      int32_t best = -1;
      Move bestMove;
      for (int32_t q = from; q <= to; ++q) {
        const int32_t l = members[static_cast<size_t>(q)];
        if (state.ClassOf(i) == state.ClassOf(l)) continue;
        const Move move = Evaluate(state, caps, i, l);
        if (move.grows || !Before(move, none)) continue;
        if (best < 0 || Before(move, bestMove)) {
          best = l;
          bestMove = move;
        }
      }
      if (best >= 0) {
        Take(state, caps, i, best);
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
  const SwapPlan plan = MakePlan(problem, keys, SwapGroups(keys, movable));
  const BalanceProblem within = WithinGroupProblem(problem, plan.groupOf);
  SearchState state(within, classOf);
  CapState caps(problem, classOf);
  SplitMix random(problem.seed);
  RepairApart(state, caps, plan);
  const int64_t budget = problem.moveBudget > 0 ? problem.moveBudget
                                                : std::min(kMostMoves, kMovesPerStudent * static_cast<int64_t>(plan.freeStudents.size()));
  AnnealWithinGroups(state, caps, problem, plan, random, budget);
  RepairApart(state, caps, plan);
  FinishWithinGroups(state, caps, plan);
  return state.ClassOf();
}

}  // namespace fenban::division
