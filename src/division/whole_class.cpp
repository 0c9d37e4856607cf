#include "division/whole_class.h"

#include <algorithm>

namespace fenban::division {

bool HasCappedFeatures(const BalanceProblem& problem) {
  return std::any_of(problem.shapes.begin(), problem.shapes.end(),
                     [](const FeatureShape& shape) { return shape.capped; });
}

BalanceProblem WholeClassProblem(const BalanceProblem& problem) {
  const size_t f = static_cast<size_t>(problem.featureCount);
  std::vector<size_t> kept;
  for (size_t j = 0; j < f; ++j) {
    if (j >= problem.shapes.size() || !problem.shapes[j].capped) kept.push_back(j);
  }
  BalanceProblem whole = problem;
  whole.featureCount = static_cast<int32_t>(kept.size());
  whole.shapes.clear();
  if (!problem.shapes.empty()) {
    for (size_t j : kept) whole.shapes.push_back(j < problem.shapes.size() ? problem.shapes[j] : FeatureShape{});
  }
  const size_t n = problem.classOf.size();
  whole.features.assign(n * kept.size(), 0.0);
  for (size_t s = 0; s < n; ++s) {
    for (size_t j = 0; j < kept.size(); ++j) whole.features[s * kept.size() + j] = problem.features[s * f + kept[j]];
  }
  return whole;
}

}  // namespace fenban::division
