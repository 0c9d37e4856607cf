#include "division/balance_state.h"

namespace fenban::division {
namespace {

std::vector<double> FeatureMeans(const BalanceProblem& problem) {
  const size_t f = static_cast<size_t>(problem.featureCount);
  std::vector<double> means(f, 0.0);
  const size_t n = problem.classOf.size();
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = 0; j < f; ++j) means[j] += problem.features[i * f + j];
  }
  if (n > 0) {
    for (double& mean : means) mean /= static_cast<double>(n);
  }
  return means;
}

}  // namespace

std::vector<int32_t> ClassSizes(const BalanceProblem& problem, const std::vector<int32_t>& classOf) {
  std::vector<int32_t> sizes(static_cast<size_t>(problem.classCount), 0);
  for (int32_t c : classOf) ++sizes[static_cast<size_t>(c)];
  return sizes;
}

SearchState::SearchState(const BalanceProblem& problem, std::vector<int32_t> classOf)
    : problem_(&problem), classOf_(std::move(classOf)), f_(static_cast<size_t>(problem.featureCount)) {
  const size_t k = static_cast<size_t>(problem.classCount);
  const std::vector<int32_t> sizes = ClassSizes(problem, classOf_);
  const std::vector<double> means = FeatureMeans(problem);
  dev_.assign(k * f_, 0.0);
  for (size_t i = 0; i < classOf_.size(); ++i) {
    double* row = &dev_[static_cast<size_t>(classOf_[i]) * f_];
    const double* x = &problem.features[i * f_];
    for (size_t j = 0; j < f_; ++j) row[j] += x[j] - means[j];
  }
  // Per class and feature: the factor from a class's summed deviation to
  // its deviation v, and the free band of v.
  const double n = static_cast<double>(classOf_.size());
  int32_t usedClasses = 0;
  for (int32_t size : sizes) usedClasses += size > 0 ? 1 : 0;
  scale_.assign(k * f_, 1.0);
  low_.assign(k * f_, 0.0);
  high_.assign(k * f_, 0.0);
  weight_.assign(f_, 1.0);
  excessWeight_.assign(f_, 0.0);
  for (size_t j = 0; j < f_; ++j) {
    const FeatureShape shape = j < problem.shapes.size() ? problem.shapes[j] : FeatureShape{};
    weight_[j] = shape.weight;
    if (shape.strict) strict_.push_back(j);
    excessWeight_[j] = shape.excessWeight;
    // The year's count per class, for count features.
    const double perClass = usedClasses > 0 ? means[j] * n / usedClasses : 0.0;
    for (size_t c = 0; c < k; ++c) {
      const size_t cell = c * f_ + j;
      if (sizes[c] == 0) {
        scale_[cell] = 0.0;
        low_[cell] = -1e300;
        high_[cell] = 1e300;
      } else if (shape.count) {
        // v = count − size·mean; counts between the whole numbers around
        // the year's count per class are free.
        const double expected = means[j] * sizes[c];
        const double low = std::floor(perClass + 1e-9), high = std::ceil(perClass - 1e-9);
        low_[cell] = low - expected - 1e-9;
        high_[cell] = high - expected + 1e-9;
      } else {
        scale_[cell] = 1.0 / (shape.quota > 0 ? std::min(shape.quota, sizes[c]) : sizes[c]);
        low_[cell] = -shape.allowance;
        high_[cell] = shape.allowance;
      }
    }
  }
  penalty_.assign(k * f_, 0.0);
  for (size_t c = 0; c < k; ++c) UpdatePenalties(c * f_);
  BuildGroups();
}

double SearchState::Cost() const {
  double cost = 0;
  for (double penalty : penalty_) cost += penalty;
  return cost;
}

double SearchState::StrictExcess() const {
  double excess = 0;
  for (size_t cell = 0; cell < dev_.size(); cell += f_) {
    for (size_t j : strict_) excess += Excess(dev_[cell + j], cell + j);
  }
  return excess;
}

void SearchState::BuildGroups() {
  for (const auto* list : {&problem_->apartGroups, &problem_->sameNameGroups}) {
    for (const std::vector<int32_t>& group : *list) {
      if (group.size() >= 2) groups_.push_back(&group);
    }
  }
  const size_t n = classOf_.size();
  std::vector<int32_t> perStudent(n + 1, 0);
  for (const std::vector<int32_t>* group : groups_) {
    for (int32_t student : *group) ++perStudent[static_cast<size_t>(student) + 1];
  }
  groupStart_.assign(n + 1, 0);
  for (size_t i = 0; i < n; ++i) groupStart_[i + 1] = groupStart_[i] + perStudent[i + 1];
  groupList_.assign(static_cast<size_t>(groupStart_[n]) + 1, 0);  // one spare so &groupList_[0] is valid
  std::vector<int32_t> fill(groupStart_.begin(), groupStart_.end() - 1);
  const size_t k = static_cast<size_t>(problem_->classCount);
  count_.assign(groups_.size() * k, 0);
  for (size_t g = 0; g < groups_.size(); ++g) {
    for (int32_t student : *groups_[g]) {
      groupList_[static_cast<size_t>(fill[static_cast<size_t>(student)]++)] = static_cast<int32_t>(g);
      int32_t& members = count_[g * k + static_cast<size_t>(ClassOf(student))];
      pairs_ += members;
      ++members;
    }
  }
}

}  // namespace fenban::division
