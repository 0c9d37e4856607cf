#include "division/balance_constraints.h"

#include <algorithm>
#include <cmath>
#include <numeric>

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

// Partners compared for each member an apart repair moves.
constexpr int32_t kRepairCandidates = 256;

}  // namespace

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

std::vector<ConstraintProblem> UnmetGroups(const BalanceProblem& problem, const std::vector<int32_t>& classOf) {
  std::vector<ConstraintProblem> unmet;
  for (size_t g = 0; g < problem.apartGroups.size(); ++g) {
    const std::vector<int32_t>& group = problem.apartGroups[g];
    std::vector<std::pair<int32_t, int32_t>> classes;
    for (int32_t student : group) classes.emplace_back(classOf[static_cast<size_t>(student)], student);
    std::sort(classes.begin(), classes.end());
    for (size_t p = 1; p < classes.size(); ++p) {
      if (classes[p].first == classes[p - 1].first) {
        unmet.push_back({ConstraintProblem::Kind::ApartUnmet, static_cast<int32_t>(g),
                                {classes[p - 1].second, classes[p].second}});
        break;
      }
    }
  }
  for (size_t g = 0; g < problem.togetherGroups.size(); ++g) {
    const std::vector<int32_t>& group = problem.togetherGroups[g];
    if (!group.empty() && MajorityClass(group, classOf).second < static_cast<int32_t>(group.size())) {
      unmet.push_back({ConstraintProblem::Kind::TogetherUnmet, static_cast<int32_t>(g), group});
    }
  }
  return unmet;
}

}  // namespace fenban::division
