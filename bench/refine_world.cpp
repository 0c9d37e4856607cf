#include "refine_world.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

#include "division/work_table.h"

namespace fenban::bench {
namespace {

constexpr int32_t kExcellentQuota = 20;
constexpr int32_t kPassQuota = 30;
constexpr int32_t kTopN = 3;

std::vector<double> Standardised(const std::vector<double>& values) {
  double sum = 0, square = 0;
  int64_t count = 0;
  for (double v : values) {
    if (std::isnan(v)) continue;
    sum += v;
    square += v * v;
    ++count;
  }
  const double mean = count > 0 ? sum / static_cast<double>(count) : 0;
  const double sd = count > 0 ? std::sqrt(std::max(0.0, square / static_cast<double>(count) - mean * mean)) : 0;
  std::vector<double> result(values.size(), 0.0);
  for (size_t i = 0; i < values.size(); ++i) {
    if (!std::isnan(values[i]) && sd > 0) result[i] = (values[i] - mean) / sd;
  }
  return result;
}

}  // namespace

void AddGroupColumns(BenchWorld& world, uint64_t seed) {
  host::ModelWorksheet& data = world.DataSheet("数据表");
  const int32_t students = world.options.students;
  const int32_t presetColumn = static_cast<int32_t>(StudentHeaders().size());
  const int32_t apartColumn = presetColumn + 1, togetherColumn = presetColumn + 2;
  data.SetCellValue(1, apartColumn, "分开");
  data.SetCellValue(1, togetherColumn, "同班");
  std::mt19937_64 engine(seed);
  std::vector<int32_t> order(static_cast<size_t>(students));
  std::iota(order.begin(), order.end(), 2);
  for (size_t i = order.size(); i > 1; --i) std::swap(order[i - 1], order[engine() % i]);
  size_t next = 0;
  const size_t share = order.size() / 50;
  for (int32_t group = 1; next + 4 <= share; ++group) {
    const size_t size = 2 + engine() % 3;
    for (size_t m = 0; m < size; ++m, ++next) {
      data.SetCellValue(order[next], apartColumn, "A" + std::to_string(group));
      data.SetCellValue(order[next], presetColumn, host::Value());
    }
  }
  for (int32_t group = 1; next + 3 <= 2 * share; ++group) {
    const size_t size = 2 + engine() % 2;
    for (size_t m = 0; m < size; ++m, ++next) {
      data.SetCellValue(order[next], togetherColumn, "T" + std::to_string(group));
      if (m > 0) data.SetCellValue(order[next], presetColumn, host::Value());
    }
  }
}

division::WorkStudents DealWorld(BenchWorld& world) {
  world.Tick(true, true, true);
  const division::WorkTable table = world.PrepareWork();
  host::ModelWorksheet& work = world.HostSheet("FBB");
  const int32_t k = world.options.classCount;
  division::BalanceFlags flags{true, true, true};
  division::AssignClasses(world.app, work, table, k, k * kTopN, flags);
  division::RefineQuotas quotas{k, kExcellentQuota, kPassQuota};
  return division::ReadWorkStudents(world.app, work, table, quotas);
}

std::vector<int32_t> PlainExchange(const division::StudentList& list, uint64_t seed, int32_t passes) {
  const size_t n = list.classOf.size();
  std::vector<std::vector<double>> columns{Standardised(list.total)};
  for (const auto& subject : list.subjects) columns.push_back(Standardised(subject));
  for (const auto& codes : list.categories) {
    const int32_t values = codes.empty() ? 0 : *std::max_element(codes.begin(), codes.end()) + 1;
    for (int32_t value = 0; value < values; ++value) {
      std::vector<double> member(n);
      for (size_t s = 0; s < n; ++s) member[s] = codes[s] == value ? 1.0 : 0.0;
      columns.push_back(Standardised(member));
    }
  }
  const size_t f = columns.size(), k = static_cast<size_t>(list.classCount);
  std::vector<double> x(n * f);
  for (size_t j = 0; j < f; ++j) {
    for (size_t s = 0; s < n; ++s) x[s * f + j] = columns[j][s];
  }
  std::vector<int32_t> classOf = list.classOf;
  std::vector<double> dev(k * f, 0.0), weight(k, 0.0);
  std::vector<int32_t> sizes(k, 0);
  for (size_t s = 0; s < n; ++s) {
    const size_t c = static_cast<size_t>(classOf[s]);
    ++sizes[c];
    for (size_t j = 0; j < f; ++j) dev[c * f + j] += x[s * f + j];  // standardised: the mean is 0
  }
  for (size_t c = 0; c < k; ++c) weight[c] = sizes[c] > 0 ? 1.0 / sizes[c] : 0.0;
  auto delta = [&](size_t i, size_t l) {
    const size_t a = static_cast<size_t>(classOf[i]), b = static_cast<size_t>(classOf[l]);
    double linear = 0, square = 0;
    for (size_t j = 0; j < f; ++j) {
      const double d = x[l * f + j] - x[i * f + j];
      linear += d * (weight[a] * dev[a * f + j] - weight[b] * dev[b * f + j]);
      square += d * d;
    }
    return 2 * linear + (weight[a] + weight[b]) * square;
  };
  std::mt19937_64 engine(seed);
  const bool everyPartner = n <= 20'000;
  for (int32_t pass = 0; pass < passes; ++pass) {
    bool swapped = false;
    for (size_t i = 0; i < n; ++i) {
      if (list.fixed[i]) continue;
      double best = 0;
      size_t bestPartner = n;
      for (size_t t = 0; t < (everyPartner ? n : 200); ++t) {
        const size_t l = everyPartner ? t : static_cast<size_t>(engine() % n);
        if (list.fixed[l] || classOf[l] == classOf[i]) continue;
        const double d = delta(i, l);
        if (d < best) {
          best = d;
          bestPartner = l;
        }
      }
      if (bestPartner == n) continue;
      const size_t a = static_cast<size_t>(classOf[i]), b = static_cast<size_t>(classOf[bestPartner]);
      for (size_t j = 0; j < f; ++j) {
        const double d = x[bestPartner * f + j] - x[i * f + j];
        dev[a * f + j] += d;
        dev[b * f + j] -= d;
      }
      std::swap(classOf[i], classOf[bestPartner]);
      swapped = true;
    }
    if (!swapped) break;
  }
  return classOf;
}

}  // namespace fenban::bench
