// The balance search: keep-together groups are gathered first, then a
// simulated annealing of pairwise swaps between classes runs on the
// remaining students, with every swap's change of cost computed from the
// class deviations alone, and rounds of double swaps finish it; breaches of
// the apart groups come first in every comparison, the balance cost second.
#include "division/balance_search.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "division/balance_anneal.h"
#include "division/balance_features.h"
#include "division/balance_constraints.h"
#include "division/balance_large.h"
#include "division/balance_polish.h"
#include "division/balance_state.h"
#include "division/cap_repair.h"
#include "division/helper_thread.h"
#include "division/pair_swaps.h"
#include "division/sheet_guard.h"
#include "division/whole_class.h"

namespace fenban::division {
namespace {

// The budgets: single swaps tried by the annealing, and the work units of
// the double swap rounds (see PairSwaps). On a 2-core machine the whole
// search takes about 0.35 s for 2,000 students, 1.1 s for 10,000 and 5.3 s
// for 100,000 (the double swaps on both cores); half as long again on one.
// With 100,000 students half as much again (15 billion) let the worst
// subject drift from 0.016 to 0.029 while the spread came closer.
int64_t DefaultBudget(int32_t movableCount) {
  const int64_t n = movableCount;
  return 1'000'000 + 50 * n;
}
int64_t DefaultPairBudget(int32_t movableCount) {
  const int64_t n = movableCount;
  return std::min<int64_t>(675'000'000 + 240'000 * n, 10'000'000'000);
}
// The last finish by counts and total: at most kFinishPasses passes, and only
// as many as kFinishWork units pay for (about a second), none when fewer than
// kFinishLeast fit. With 10,000 students in 50 classes each pass took about
// 25 ms: four passes brought the worst subject from 0.122 to 0.112, eight to
// 0.106, twenty-four to 0.105. With 100,000 students two passes lowered the
// total and the spread but let the worst subject drift, 0.017 to 0.022.
constexpr int64_t kFinishPasses = 12;
constexpr int64_t kFinishWork = 4'000'000'000;
constexpr int64_t kFinishLeast = 4;
// Small lists take several runs of the search and keep the best:
// kRestartStudents / free students runs, at most kMostRestarts. Over eight
// generated years the worst subject came from 0.515 to 0.457 with 300
// students in 6 classes (four runs) and from 0.482 to 0.465 with 600 in 12
// (two); two runs at 1,000 and three at 800 gained nothing, and two at 2,000
// (0.525 to 0.512 in 40 classes) less than the same time in double swaps.
constexpr size_t kRestartStudents = 1200;
constexpr size_t kMostRestarts = 4;
// A single run hands half of its double swaps to a helper thread when the
// classes hold this many free students on average; smaller classes compare
// too fast for the handing over to pay.
constexpr size_t kHelpedClassSize = 30;
// The last polish of the whole-class figures under the caps, as a share of
// the double swaps' budget. On eight generated years, the columns free up to
// the deal's, a quarter left the worst subject 0.477 apart at 1,000 students
// in 20 classes, a half 0.460, three quarters 0.457; at 2,000 students in 40
// classes three quarters did worse than a half (0.512 against 0.490), the
// sheet's columns having less of the search.
constexpr double kWholeShare = 0.5;
// How much further apart than the rounds before left them the last polish
// may let the sheet's columns end (never beyond the deal's): a count by one
// student, an average over the best by half a point. Held where they were,
// the worst subject stayed 0.54 apart at 1,000 students in 20 classes; held
// only at the deal's, it came to 0.46, but on lists dealt far apart the
// columns drifted back towards the deal's (excellent counts 2 to 5 apart
// where they had ended within 2, averages over the best 4.7 points where
// they had ended within 1.5). With these: 0.465, the columns within 0.1 to
// 0.4 of where holding them left them. Only where the double swaps compare
// every member of a class (kPairSwapSample): in larger classes the sampled
// double swaps keep finding gains with the columns held where they are, and
// the slack cost the worst subject (0.128 against 0.143 at 10,000 students
// in 50 classes, 0.101 against 0.104 at 2,000 in 10).
constexpr double kWholeCountSlack = 1;
constexpr double kWholeAverageSlack = 0.5;
// Passes of the greedy finish under the caps once they are held.
constexpr int32_t kCapFinishPasses = 6;

// The students a run may move, in the orders its finishes use.
struct SearchPlan {
  std::vector<int32_t> classOf;  // the deal with every together group gathered
  std::vector<uint8_t> movable;
  std::vector<int32_t> freeStudents;
  std::vector<int32_t> byScore;   // best total first
  std::vector<int32_t> byCounts;  // see ByCounts
  // With capped features: the problem of the last polish (WholeClassProblem).
  bool lastPolish = false;
  BalanceProblem wholeClass;
};

// Rounds of double swaps on `pairBudget` work units, each followed by a
// greedy finish when it pays, then the last finishes; with caps, under them.
void DoubleSwapRounds(SearchState& state, const BalanceProblem& problem, const SearchPlan& plan, SplitMix& random,
                      int64_t pairBudget, HelperThread* helper, CapState* caps) {
  const std::vector<int32_t>& freeStudents = plan.freeStudents;
  const std::vector<int32_t>& byScore = plan.byScore;
  // With every member compared, a round that takes nothing ends the search;
  // with samples the next round compares others, until the budget is spent.
  std::vector<size_t> freePerClass(static_cast<size_t>(problem.classCount), 0);
  for (int32_t s : freeStudents) ++freePerClass[static_cast<size_t>(state.ClassOf(s))];
  const bool sampled = *std::max_element(freePerClass.begin(), freePerClass.end()) > kPairSwapSample;
  // A greedy finish after each round that took double swaps, unless it
  // would cost more than the round did (two passes of both neighbour
  // windows): with 100,000 students one finish takes as long as several
  // rounds, and the rounds gain more.
  const int64_t passCost = static_cast<int64_t>(freeStudents.size()) * 2 * kPolishWindow * kPolishTryCost;
  const int64_t polishCost = 2 * passCost;
  bool polished = true;
  while (pairBudget > 0) {
    const int64_t before = pairBudget;
    if (PairSwaps(state, problem, freeStudents, random, pairBudget, helper, caps) > 0) {
      if (problem.onProgress) problem.onProgress(state.ClassOf());
      polished = polishCost <= before - pairBudget;
      if (polished) Polish(state, byScore, 3, caps);
    } else if (!sampled) {
      break;
    }
  }
  if (!polished) Polish(state, byScore, 3, caps);
  int64_t finishPasses = std::min<int64_t>(kFinishPasses, kFinishWork / std::max<int64_t>(passCost, 1));
  if (finishPasses < kFinishLeast) finishPasses = 0;
  Finish(state, byScore, plan.byCounts, static_cast<int32_t>(finishPasses), caps);
}

// One run of the search from the plan's deal, with its own random stream:
// the annealing, rounds of double swaps and the finishes, every phase under
// the caps (the capped figures brought back within them after the apart
// repair), then a last polish of the whole-class figures alone, the sheet's
// columns free up to their caps.
std::vector<int32_t> RunSearch(const BalanceProblem& problem, const SearchPlan& plan, uint64_t seed,
                               HelperThread* helper) {
  const int32_t freeCount = static_cast<int32_t>(plan.freeStudents.size());
  SearchState state(problem, plan.classOf);
  RepairApartGroups(state, plan.freeStudents, plan.movable);
  SplitMix random(seed);
  const int64_t budget = problem.moveBudget > 0 ? problem.moveBudget : DefaultBudget(freeCount);
  const int64_t pairBudget = problem.pairBudget > 0 ? problem.pairBudget : DefaultPairBudget(freeCount);
  // The capped figures are held throughout: no swap lets one grow further
  // beyond its cap, and what the constraints' repairs move is brought back.
  CapState capState(problem, state.ClassOf());
  CapState* caps = capState.Active() ? &capState : nullptr;
  Anneal(state, problem, plan.byScore, random, budget, caps);
  RepairApartGroups(state, plan.freeStudents, plan.movable);
  if (caps != nullptr) {
    capState = CapState(problem, state.ClassOf());
    RepairCaps(state, capState, plan.byScore, random);
  }
  Polish(state, plan.byScore, 3, caps);
  // The last polish takes its share of the double swaps' budget.
  const bool lastPolish = caps != nullptr && plan.lastPolish;
  const double mainShare = lastPolish ? 1 - kWholeShare : 1.0;
  DoubleSwapRounds(state, problem, plan, random, static_cast<int64_t>(mainShare * static_cast<double>(pairBudget)),
                   helper, caps);
  if (lastPolish) {
    // The last polish: the whole-class figures alone, every column of the
    // sheet held near where the rounds before brought it (see
    // kWholeCountSlack). In classes of 50, holding them exactly where they
    // were left no double swap that evened the means further. Without the
    // capped features each comparison costs a third of the work.
    SearchState whole(plan.wholeClass, state.ClassOf());
    const bool compared = plan.freeStudents.size() <= kPairSwapSample * static_cast<size_t>(problem.classCount);
    caps->HoldNear(compared ? kWholeCountSlack : 0.0, compared ? kWholeAverageSlack : 0.0);
    DoubleSwapRounds(whole, plan.wholeClass, plan, random,
                     static_cast<int64_t>(kWholeShare * static_cast<double>(pairBudget)), helper, caps);
    return whole.ClassOf();
  }
  return state.ClassOf();
}

// Runs the search `restarts` times, each from the plan's deal with a random
// stream of its own (the first with the problem's seed), on two threads when
// the machine has them, and returns the best result (the first on a tie),
// so that the division does not depend on the threads. A single run of
// large enough classes (kHelpedClassSize) has its double swaps go two at a
// time instead.
std::vector<int32_t> BestOfRuns(const BalanceProblem& problem, const SearchPlan& plan, int32_t restarts) {
  std::vector<std::vector<int32_t>> results(static_cast<size_t>(restarts));
  auto run = [&](int32_t first, int32_t step) {
    SplitMix seeds(problem.seed);
    for (int32_t r = 0; r < restarts; ++r) {
      const uint64_t seed = r == 0 ? problem.seed : seeds.Next();
      if (r % step == first) results[static_cast<size_t>(r)] = RunSearch(problem, plan, seed, nullptr);
    }
  };
  const int32_t threads = problem.threads > 0 ? problem.threads : std::min(2, HardwareThreads());
  if (restarts > 1 && threads >= 2) {
    HelperThread helper;
    helper.Start([&] { run(1, 2); });
    run(0, 2);
    helper.Wait();
  } else if (threads >= 2 && plan.freeStudents.size() >= kHelpedClassSize * static_cast<size_t>(problem.classCount)) {
    HelperThread helper;
    results[0] = RunSearch(problem, plan, problem.seed, &helper);
  } else {
    run(0, 1);
  }
  if (results.size() == 1) return std::move(results[0]);
  // Breaches, strict excess, then the capped figures' excess, then cost
  // (that of the whole-class figures when the runs ended on them).
  const BalanceProblem& costed = plan.lastPolish ? plan.wholeClass : problem;
  size_t best = 0;
  Standing bestStanding;
  double bestExcess = 0;
  for (size_t r = 0; r < results.size(); ++r) {
    const SearchState state(costed, results[r]);
    const Standing standing{ConstraintBreaches(problem, results[r]), state.StrictExcess(), state.Cost()};
    const double excess = CapState(problem, results[r]).Excess();
    const Standing withoutCost{standing.breaches, standing.strict, 0}, bestWithoutCost{bestStanding.breaches, bestStanding.strict, 0};
    const bool better = withoutCost.BetterThan(bestWithoutCost) ||
                        (!bestWithoutCost.BetterThan(withoutCost) &&
                         (excess < bestExcess - 1e-9 || (excess <= bestExcess + 1e-9 && standing.BetterThan(bestStanding))));
    if (r == 0 || better) {
      best = r;
      bestStanding = standing;
      bestExcess = excess;
    }
  }
  return std::move(results[best]);
}

// The capped figures back within their caps, then the greedy finishes
// again under them, so that the means regain what the repair cost them.
void HoldCaps(SearchState& state, const BalanceProblem& problem, const SearchPlan& plan) {
  if (problem.capped.Count() == 0) return;
  CapState caps(problem, state.ClassOf());
  if (caps.Excess() <= 0) return;
  SplitMix random(problem.seed ^ 0x5DEECE66DULL);
  RepairCaps(state, caps, plan.byScore, random);
  Finish(state, plan.byScore, plan.byCounts, kCapFinishPasses, &caps);
}

// Whether no whole-class figure (LargestDifferences) of `classOf` is
// further apart than the deal's.
bool WholeClassNoWorse(const StudentList& list, const std::vector<int32_t>& classOf) {
  const std::vector<SpreadFigure> dealt = LargestDifferences(list, list.classOf);
  const std::vector<SpreadFigure> now = LargestDifferences(list, classOf);
  for (size_t f = 0; f < now.size(); ++f) {
    if (now[f].largest > dealt[f].largest + 1e-9) return false;
  }
  return true;
}

// The last word: the statistics sheet of the result shows no "最大差" above
// the deal's (a count's by more than one student). Columns over it are
// repaired by swaps measured with the sheet's own figures. When some stay
// over, the earlier states take its place: the deal with its groups met
// (repaired the same way), then the deal itself: the first that meets the
// rule without breaking more groups than the search's result or leaving a
// whole-class figure further apart than the deal (WholeClassNoWorse). When none does, the search's result stands as it was.
void GuardSheet(const BalanceProblem& problem, const SearchPlan& plan, BalanceResult& result) {
  if (problem.sheetList == nullptr || result.classOf == problem.classOf) return;
  const StudentList& list = *problem.sheetList;
  struct Candidate {
    std::vector<int32_t> classOf;
    double excess;
    int64_t breaches;
    double cost;
  };
  std::vector<Candidate> candidates;
  // A state that takes the result's place: the rule met, no more groups
  // broken than the search left, and no whole-class figure further apart
  // than the deal's.
  auto add = [&](std::vector<int32_t> classOf, bool repair) {
    const double excess = repair ? RepairSheetColumns(list, problem, classOf) : SheetExcess(list, classOf);
    const int64_t breaches = ConstraintBreaches(problem, classOf);
    const double cost = BalanceCost(problem, classOf);
    candidates.push_back({std::move(classOf), excess, breaches, cost});
    const Candidate& added = candidates.back();
    return added.excess <= 0 && added.breaches <= result.pairsAfter && WholeClassNoWorse(list, added.classOf);
  };
  constexpr size_t kNone = static_cast<size_t>(-1);
  size_t chosen = 0;
  if (!add(result.classOf, true)) {
    chosen = kNone;
    SearchState grouped(problem, plan.classOf);
    RepairApartGroups(grouped, plan.freeStudents, plan.movable);
    if (add(grouped.ClassOf(), true)) {
      chosen = 1;
    } else if (add(problem.classOf, false)) {
      chosen = 2;
    }
  }
  if (chosen == kNone) {
    // Nothing met it all: the search's result stands, the rule unmet.
    result.sheetAbove = true;
    return;
  }
  if (candidates[chosen].classOf == result.classOf) return;
  result.sheetFallback = chosen > 0;
  result.classOf = std::move(candidates[chosen].classOf);
  result.costAfter = candidates[chosen].cost;
  result.pairsAfter = candidates[chosen].breaches;
}

}  // namespace

double BalanceCost(const BalanceProblem& problem, const std::vector<int32_t>& classOf) {
  return SearchState(problem, classOf).Cost();
}

BalanceResult SolveBalance(const BalanceProblem& problem) {
  BalanceResult result;
  result.classOf = problem.classOf;
  // The deal's standing: what the result must not fall behind.
  const SearchState dealt(problem, problem.classOf);
  result.costBefore = result.costAfter = dealt.Cost();
  result.pairsBefore = result.pairsAfter = ConstraintBreaches(problem, problem.classOf);
  result.problems = FindImpossibleConstraints(problem);
  if (!result.problems.empty() || problem.classCount < 2) return result;

  SearchPlan plan;
  plan.classOf = problem.classOf;
  plan.movable.resize(plan.classOf.size());
  for (size_t s = 0; s < plan.movable.size(); ++s) plan.movable[s] = problem.fixed[s] ? 0 : 1;
  GatherTogetherGroups(problem, plan.classOf, plan.movable);

  for (size_t s = 0; s < plan.movable.size(); ++s) {
    if (plan.movable[s]) plan.freeStudents.push_back(static_cast<int32_t>(s));
  }
  // The free students, best total first: the annealing and the greedy
  // finish draw partners among the nearest in this order.
  plan.byScore = plan.freeStudents;
  std::stable_sort(plan.byScore.begin(), plan.byScore.end(), [&](int32_t x, int32_t y) {
    return problem.score[static_cast<size_t>(x)] > problem.score[static_cast<size_t>(y)];
  });
  plan.byCounts = ByCounts(problem, plan.byScore);
  plan.lastPolish = problem.capped.Count() > 0 && HasCappedFeatures(problem);
  if (plan.lastPolish) plan.wholeClass = WholeClassProblem(problem);
  const int32_t restarts = static_cast<int32_t>(
      std::clamp<size_t>(kRestartStudents / std::max<size_t>(plan.freeStudents.size(), 1), 1, kMostRestarts));
  // Lists of large classes take the search within swap groups, which holds
  // the sheet's bands by itself (balance_large.h).
  const bool large = UsesLargeSearch(problem);
  SearchState state(problem, large ? LargeSearch(problem) : BestOfRuns(problem, plan, restarts));
  if (!large) HoldCaps(state, problem, plan);

  const Standing before{result.pairsBefore, dealt.StrictExcess(), result.costBefore};
  const Standing after{ConstraintBreaches(problem, state.ClassOf()), state.StrictExcess(), state.Cost()};
  if (!before.BetterThan(after)) {
    result.classOf = state.ClassOf();
    result.costAfter = after.cost;
    result.pairsAfter = after.breaches;
  }
  GuardSheet(problem, plan, result);
  result.unmet = UnmetGroups(problem, result.classOf);
  return result;
}

}  // namespace fenban::division
