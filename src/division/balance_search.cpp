// The balance search: keep-together groups are gathered first, then a
// simulated annealing of pairwise swaps between classes runs on the
// remaining students, with every swap's change of cost computed from the
// class deviations alone, and rounds of double swaps finish it; breaches of
// the apart groups come first in every comparison, the balance cost second.
#include "division/balance_search.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "division/balance_state.h"
#include "division/helper_thread.h"
#include "division/pair_swaps.h"

namespace fenban::division {
namespace {

// Pairs of members in one class, for every group of the list.
int64_t SameClassPairs(const std::vector<std::vector<int32_t>>& groups, const std::vector<int32_t>& classOf) {
  int64_t pairs = 0;
  std::vector<int32_t> classes;
  for (const std::vector<int32_t>& group : groups) {
    classes.clear();
    for (int32_t student : group) classes.push_back(classOf[static_cast<size_t>(student)]);
    std::sort(classes.begin(), classes.end());
    for (size_t a = 0, b = 0; a < classes.size(); a = b) {
      while (b < classes.size() && classes[b] == classes[a]) ++b;
      const int64_t m = static_cast<int64_t>(b - a);
      pairs += m * (m - 1) / 2;
    }
  }
  return pairs;
}

// The class that holds most members of a group (the lowest index on a tie),
// and how many members it holds.
std::pair<int32_t, int32_t> MajorityClass(const std::vector<int32_t>& group, const std::vector<int32_t>& classOf) {
  std::vector<int32_t> classes;
  for (int32_t student : group) classes.push_back(classOf[static_cast<size_t>(student)]);
  std::sort(classes.begin(), classes.end());
  std::pair<int32_t, int32_t> best{-1, 0};
  for (size_t a = 0, b = 0; a < classes.size(); a = b) {
    while (b < classes.size() && classes[b] == classes[a]) ++b;
    if (static_cast<int32_t>(b - a) > best.second) best = {classes[a], static_cast<int32_t>(b - a)};
  }
  return best;
}

// Gathers every together group into one class by swapping its outside
// members with free students of that class (closest score first), then
// fixes the group there. A group no class has room for (the fixed students
// fill them) is left as it is.
void GatherTogetherGroups(const BalanceProblem& problem, std::vector<int32_t>& classOf,
                          std::vector<uint8_t>& movable) {
  const size_t k = static_cast<size_t>(problem.classCount);
  std::vector<size_t> order(problem.togetherGroups.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
    return problem.togetherGroups[x].size() > problem.togetherGroups[y].size();
  });
  std::vector<uint8_t> inGroup(classOf.size(), 0);
  // Students by class as dealt; a student moved since is skipped in the old list.
  std::vector<std::vector<int32_t>> members(k);
  for (size_t s = 0; s < classOf.size(); ++s) members[static_cast<size_t>(classOf[s])].push_back(static_cast<int32_t>(s));
  for (size_t g : order) {
    const std::vector<int32_t>& group = problem.togetherGroups[g];
    if (group.size() < 2) continue;
    for (int32_t student : group) inGroup[static_cast<size_t>(student)] = 1;

    // Candidate classes: a member's preset class, else by members held.
    std::vector<int32_t> held(k, 0);
    int32_t presetClass = -1;
    for (int32_t student : group) {
      ++held[static_cast<size_t>(classOf[static_cast<size_t>(student)])];
      if (problem.fixed[static_cast<size_t>(student)]) presetClass = classOf[static_cast<size_t>(student)];
    }
    std::vector<int32_t> candidates;
    if (presetClass >= 0) {
      candidates.push_back(presetClass);
    } else {
      for (size_t c = 0; c < k; ++c) candidates.push_back(static_cast<int32_t>(c));
      std::stable_sort(candidates.begin(), candidates.end(),
                       [&](int32_t x, int32_t y) { return held[static_cast<size_t>(x)] > held[static_cast<size_t>(y)]; });
    }
    int32_t target = -1;
    std::vector<int32_t> partners;
    for (int32_t c : candidates) {
      partners.clear();
      for (int32_t s : members[static_cast<size_t>(c)]) {
        const size_t u = static_cast<size_t>(s);
        if (classOf[u] == c && movable[u] && !inGroup[u]) partners.push_back(s);
      }
      const int32_t outside = static_cast<int32_t>(group.size()) - held[static_cast<size_t>(c)];
      if (static_cast<int32_t>(partners.size()) >= outside) {
        target = c;
        break;
      }
    }
    if (target < 0) {
      for (int32_t student : group) inGroup[static_cast<size_t>(student)] = 0;
      continue;
    }
    for (int32_t student : group) {
      const size_t s = static_cast<size_t>(student);
      if (classOf[s] != target) {
        // The free student of the target class closest in score takes the member's place.
        auto best = partners.end();
        for (auto it = partners.begin(); it != partners.end(); ++it) {
          if (best == partners.end() || std::fabs(problem.score[static_cast<size_t>(*it)] - problem.score[s]) <
                                            std::fabs(problem.score[static_cast<size_t>(*best)] - problem.score[s])) {
            best = it;
          }
        }
        classOf[static_cast<size_t>(*best)] = classOf[s];
        classOf[s] = target;
        partners.erase(best);
      }
      movable[s] = 0;
    }
  }
}

constexpr int32_t kRepairCandidates = 256;
// The annealing's starting temperature, as a share of the mean worsening move.
constexpr double kStartTemperature = 0.03;
// Changes of the strict excess smaller than this are none (rounding).
constexpr double kStrictEpsilon = 1e-6;
// Near-score partners each student tries in the greedy finish, on either side.
constexpr int32_t kPolishWindow = 12;

// Moves every member of an apart group that shares its class with another
// member to a class without one, trading with the free student there whose
// swap costs least. Returns when no such move is left.
void RepairApartGroups(SearchState& state, const std::vector<int32_t>& freeStudents,
                       const std::vector<uint8_t>& movable) {
  bool changed = true;
  for (int32_t round = 0; changed && round < 4; ++round) {
    changed = false;
    for (int32_t g = 0; g < state.GroupCount(); ++g) {
      for (int32_t student : state.Group(g)) {
        if (!movable[static_cast<size_t>(student)] || state.MembersIn(g, state.ClassOf(student)) < 2) continue;
        int32_t bestPartner = -1;
        Standing best;
        // The first kRepairCandidates partners that remove a breach, from a
        // place in the list that depends on the student, are compared (by
        // breaches, then strict excess, then cost).
        const size_t m = freeStudents.size();
        const size_t start = static_cast<size_t>(student) * 2654435761u % std::max<size_t>(m, 1);
        int32_t found = 0;
        for (size_t t = 0; t < m && found < kRepairCandidates; ++t) {
          const int32_t partner = freeStudents[(start + t) % m];
          if (state.ClassOf(partner) == state.ClassOf(student)) continue;
          const int64_t pairs = state.PairDelta(student, partner);
          if (pairs >= 0) continue;
          ++found;
          const Standing change{pairs, state.StrictExcessDelta(student, partner), state.CostDelta(student, partner)};
          if (bestPartner < 0 || change.BetterThan(best)) {
            bestPartner = partner;
            best = change;
          }
        }
        if (bestPartner >= 0) {
          state.Swap(student, bestPartner);
          changed = true;
        }
      }
    }
  }
}

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
// One near-score swap tried by the greedy finish, in those work units (with
// 100,000 students its students' rows are seldom in the cache).
constexpr int64_t kPolishTryCost = 700;

// Simulated annealing of swaps between free students: a partner is drawn
// half of the time among the students nearest in score (fine adjustments)
// and half of the time from the whole list (large ones). A swap that adds
// apart breaches is never taken; one that removes some always is.
void Anneal(SearchState& state, const BalanceProblem& problem, const std::vector<int32_t>& byScore,
            SplitMix& random, int64_t budget) {
  const int32_t m = static_cast<int32_t>(byScore.size());
  if (m < 2 || budget <= 0) return;
  const int32_t window = std::max<int32_t>(8, 2 * problem.classCount);

  auto drawPair = [&](int32_t& i, int32_t& l) {
    const int32_t pos = random.Below(m);
    i = byScore[static_cast<size_t>(pos)];
    if (random.Next() & 1) {
      int32_t offset = 1 + random.Below(window);
      if (random.Next() & 1) offset = -offset;
      const int32_t other = std::clamp(pos + offset, 0, m - 1);
      l = byScore[static_cast<size_t>(other)];
    } else {
      l = byScore[static_cast<size_t>(random.Below(m))];
    }
    return state.ClassOf(i) != state.ClassOf(l);
  };

  // Starting temperature: a small part of the typical worsening move. The
  // deal is already close, and a hot start only undoes it: on generated
  // lists of 300 to 2,000 students starting at 3 % of it gave clearly
  // better figures than starting at half of it, in the same moves.
  double sum = 0;
  int32_t counted = 0;
  for (int32_t t = 0; t < 2000; ++t) {
    int32_t i = 0, l = 0;
    if (!drawPair(i, l)) continue;
    const double delta = state.CostDelta(i, l);
    if (delta > 0) {
      sum += delta;
      ++counted;
    }
  }
  if (counted == 0) return;
  const double startTemperature = kStartTemperature * sum / counted;
  const double endTemperature = startTemperature * 1e-7;
  const double cooling = std::pow(endTemperature / startTemperature, 1.0 / static_cast<double>(budget));

  Standing best = state.Now();
  std::vector<int32_t> bestClassOf = state.ClassOf();
  const int64_t checkEvery = std::max<int64_t>(m, 20'000);
  double temperature = startTemperature;
  for (int64_t move = 0; move < budget; ++move) {
    temperature *= cooling;
    int32_t i = 0, l = 0;
    if (!drawPair(i, l)) continue;
    const int64_t pairs = state.PairDelta(i, l);
    if (pairs > 0) continue;
    const double strict = state.StrictExcessDelta(i, l);
    if (pairs == 0 && strict > kStrictEpsilon) continue;
    const double delta = state.CostDelta(i, l);
    if (pairs < 0 || strict < -kStrictEpsilon || delta <= 0 || random.Unit() < std::exp(-delta / temperature)) {
      state.Swap(i, l);
    }
    if ((move + 1) % checkEvery == 0) {
      const Standing now = state.Now();
      if (now.BetterThan(best)) {
        best = now;
        bestClassOf = state.ClassOf();
        if (problem.onProgress) problem.onProgress(bestClassOf);
      }
    }
  }
  if (best.BetterThan(state.Now())) {
    SearchState restored(problem, bestClassOf);
    state = restored;
  }
}

// Greedy finish: tries the partners of every free student near it in the
// given order and takes each swap that lowers the cost, until a pass finds
// none or maxPasses passes are made.
struct PolishRun {
  int64_t taken = 0;
  int32_t passes = 0;
};
PolishRun Polish(SearchState& state, const std::vector<int32_t>& order, int32_t maxPasses = 3) {
  PolishRun run;
  const int32_t m = static_cast<int32_t>(order.size());
  const int32_t window = kPolishWindow;
  for (; run.passes < maxPasses; ++run.passes) {
    bool improved = false;
    for (int32_t p = 0; p < m; ++p) {
      const int32_t i = order[static_cast<size_t>(p)];
      for (int32_t q = std::max(0, p - window); q <= std::min(m - 1, p + window); ++q) {
        const int32_t l = order[static_cast<size_t>(q)];
        if (state.ClassOf(i) == state.ClassOf(l)) continue;
        const int64_t pairs = state.PairDelta(i, l);
        if (pairs > 0) continue;
        const double strict = state.StrictExcessDelta(i, l);
        if (pairs == 0 && strict > kStrictEpsilon) continue;
        if (pairs < 0 || strict < -kStrictEpsilon || state.CostDelta(i, l) < -1e-12) {
          state.Swap(i, l);
          improved = true;
          ++run.taken;
        }
      }
    }
    if (!improved) {
      ++run.passes;
      break;
    }
  }
  return run;
}

// The free students grouped by their values of every count feature, best
// total first within a group. Two students of one group swap without moving
// any count, so once the counts are even these neighbours are the swaps that
// still adjust the means; neighbours by total alone mostly differ in some
// count, and in classes of 200 the search had left such swaps untaken.
std::vector<int32_t> ByCounts(const BalanceProblem& problem, const std::vector<int32_t>& byScore) {
  const size_t f = static_cast<size_t>(problem.featureCount);
  std::vector<size_t> counts;
  for (size_t j = 0; j < problem.shapes.size() && j < f; ++j) {
    if (problem.shapes[j].count) counts.push_back(j);
  }
  std::vector<int32_t> order = byScore;
  std::stable_sort(order.begin(), order.end(), [&](int32_t x, int32_t y) {
    const double* a = &problem.features[static_cast<size_t>(x) * f];
    const double* b = &problem.features[static_cast<size_t>(y) * f];
    for (size_t j : counts) {
      if (a[j] != b[j]) return a[j] < b[j];
    }
    return false;
  });
  return order;
}

// The last greedy finish: the neighbours by counts and by total in turn,
// until the one by counts finds nothing more or `passes` passes are made.
void Finish(SearchState& state, const std::vector<int32_t>& byScore, const std::vector<int32_t>& byCounts,
            int32_t passes) {
  while (passes > 0) {
    const PolishRun counts = Polish(state, byCounts, std::min(3, passes));
    passes -= counts.passes;
    if (counts.taken == 0 || passes <= 0) break;
    passes -= Polish(state, byScore, std::min(3, passes)).passes;
  }
}

// The students a run may move, in the orders its finishes use.
struct SearchPlan {
  std::vector<int32_t> classOf;  // the deal with every together group gathered
  std::vector<uint8_t> movable;
  std::vector<int32_t> freeStudents;
  std::vector<int32_t> byScore;   // best total first
  std::vector<int32_t> byCounts;  // see ByCounts
};

// One run of the search from the plan's deal, with its own random stream:
// the annealing, rounds of double swaps and the finishes.
std::vector<int32_t> RunSearch(const BalanceProblem& problem, const SearchPlan& plan, uint64_t seed,
                               HelperThread* helper) {
  const std::vector<int32_t>& classOf = plan.classOf;
  const std::vector<uint8_t>& movable = plan.movable;
  const std::vector<int32_t>& freeStudents = plan.freeStudents;
  const std::vector<int32_t>& byScore = plan.byScore;
  const std::vector<int32_t>& byCounts = plan.byCounts;
  SearchState state(problem, classOf);
  RepairApartGroups(state, freeStudents, movable);
  SplitMix random(seed);
  const int64_t budget = problem.moveBudget > 0 ? problem.moveBudget : DefaultBudget(static_cast<int32_t>(freeStudents.size()));
  Anneal(state, problem, byScore, random, budget);
  RepairApartGroups(state, freeStudents, movable);
  Polish(state, byScore);
  int64_t pairBudget = problem.pairBudget > 0 ? problem.pairBudget : DefaultPairBudget(static_cast<int32_t>(freeStudents.size()));
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
    if (PairSwaps(state, problem, freeStudents, random, pairBudget, helper) > 0) {
      if (problem.onProgress) problem.onProgress(state.ClassOf());
      polished = polishCost <= before - pairBudget;
      if (polished) Polish(state, byScore);
    } else if (!sampled) {
      break;
    }
  }
  if (!polished) Polish(state, byScore);
  int64_t finishPasses = std::min<int64_t>(kFinishPasses, kFinishWork / std::max<int64_t>(passCost, 1));
  if (finishPasses < kFinishLeast) finishPasses = 0;
  Finish(state, byScore, byCounts, static_cast<int32_t>(finishPasses));

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
  size_t best = 0;
  Standing bestStanding;
  for (size_t r = 0; r < results.size(); ++r) {
    const SearchState state(problem, results[r]);
    const Standing standing{ConstraintBreaches(problem, results[r]), state.StrictExcess(), state.Cost()};
    if (r == 0 || standing.BetterThan(bestStanding)) {
      best = r;
      bestStanding = standing;
    }
  }
  return std::move(results[best]);
}

}  // namespace

double BalanceCost(const BalanceProblem& problem, const std::vector<int32_t>& classOf) {
  return SearchState(problem, classOf).Cost();
}

int64_t ConstraintBreaches(const BalanceProblem& problem, const std::vector<int32_t>& classOf) {
  int64_t breaches = SameClassPairs(problem.apartGroups, classOf) + SameClassPairs(problem.sameNameGroups, classOf);
  for (const std::vector<int32_t>& group : problem.togetherGroups) {
    if (group.empty()) continue;
    breaches += static_cast<int64_t>(group.size()) - MajorityClass(group, classOf).second;
  }
  return breaches;
}

std::vector<ConstraintProblem> FindImpossibleConstraints(const BalanceProblem& problem) {
  std::vector<ConstraintProblem> problems;
  const std::vector<int32_t> sizes = ClassSizes(problem, problem.classOf);
  const int32_t largest = sizes.empty() ? 0 : *std::max_element(sizes.begin(), sizes.end());
  int32_t usedClasses = 0;
  for (int32_t size : sizes) usedClasses += size > 0 ? 1 : 0;

  auto presetClassesOf = [&](const std::vector<int32_t>& group) {
    std::vector<std::pair<int32_t, int32_t>> presets;  // (class, student)
    for (int32_t student : group) {
      if (problem.fixed[static_cast<size_t>(student)]) presets.emplace_back(problem.classOf[static_cast<size_t>(student)], student);
    }
    std::sort(presets.begin(), presets.end());
    return presets;
  };

  std::vector<int32_t> togetherOf(problem.classOf.size(), -1);
  for (size_t g = 0; g < problem.togetherGroups.size(); ++g) {
    const std::vector<int32_t>& group = problem.togetherGroups[g];
    for (int32_t student : group) togetherOf[static_cast<size_t>(student)] = static_cast<int32_t>(g);
    if (static_cast<int32_t>(group.size()) > largest) {
      problems.push_back({ConstraintProblem::Kind::TogetherTooLarge, static_cast<int32_t>(g), group});
      continue;
    }
    const auto presets = presetClassesOf(group);
    if (!presets.empty() && presets.front().first != presets.back().first) {
      std::vector<int32_t> students;
      for (const auto& preset : presets) students.push_back(preset.second);
      problems.push_back({ConstraintProblem::Kind::TogetherPresets, static_cast<int32_t>(g), students});
    }
  }
  for (size_t g = 0; g < problem.apartGroups.size(); ++g) {
    const std::vector<int32_t>& group = problem.apartGroups[g];
    if (static_cast<int32_t>(group.size()) > usedClasses) {
      problems.push_back({ConstraintProblem::Kind::ApartTooLarge, static_cast<int32_t>(g), group});
      continue;
    }
    const auto presets = presetClassesOf(group);
    for (size_t p = 1; p < presets.size(); ++p) {
      if (presets[p].first == presets[p - 1].first) {
        problems.push_back({ConstraintProblem::Kind::ApartPresets, static_cast<int32_t>(g),
                            {presets[p - 1].second, presets[p].second}});
        break;
      }
    }
    std::vector<std::pair<int32_t, int32_t>> together;  // (together group, student)
    for (int32_t student : group) {
      if (togetherOf[static_cast<size_t>(student)] >= 0) together.emplace_back(togetherOf[static_cast<size_t>(student)], student);
    }
    std::sort(together.begin(), together.end());
    for (size_t p = 1; p < together.size(); ++p) {
      if (together[p].first == together[p - 1].first) {
        problems.push_back({ConstraintProblem::Kind::ApartAndTogether, static_cast<int32_t>(g),
                            {together[p - 1].second, together[p].second}});
        break;
      }
    }
  }
  return problems;
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
  const int32_t restarts = static_cast<int32_t>(
      std::clamp<size_t>(kRestartStudents / std::max<size_t>(plan.freeStudents.size(), 1), 1, kMostRestarts));
  const SearchState state(problem, BestOfRuns(problem, plan, restarts));

  const Standing before{result.pairsBefore, dealt.StrictExcess(), result.costBefore};
  const Standing after{ConstraintBreaches(problem, state.ClassOf()), state.StrictExcess(), state.Cost()};
  if (!before.BetterThan(after)) {
    result.classOf = state.ClassOf();
    result.costAfter = after.cost;
    result.pairsAfter = after.breaches;
  }
  for (size_t g = 0; g < problem.apartGroups.size(); ++g) {
    const std::vector<int32_t>& group = problem.apartGroups[g];
    std::vector<std::pair<int32_t, int32_t>> classes;
    for (int32_t student : group) classes.emplace_back(result.classOf[static_cast<size_t>(student)], student);
    std::sort(classes.begin(), classes.end());
    for (size_t p = 1; p < classes.size(); ++p) {
      if (classes[p].first == classes[p - 1].first) {
        result.unmet.push_back({ConstraintProblem::Kind::ApartUnmet, static_cast<int32_t>(g),
                                {classes[p - 1].second, classes[p].second}});
        break;
      }
    }
  }
  for (size_t g = 0; g < problem.togetherGroups.size(); ++g) {
    const std::vector<int32_t>& group = problem.togetherGroups[g];
    if (!group.empty() && MajorityClass(group, result.classOf).second < static_cast<int32_t>(group.size())) {
      result.unmet.push_back({ConstraintProblem::Kind::TogetherUnmet, static_cast<int32_t>(g), group});
    }
  }
  return result;
}

}  // namespace fenban::division
