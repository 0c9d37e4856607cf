// Google Benchmark of the refinement's search: building the features and
// solving, on generated lists dealt by the real class assignment (5 %
// presets, keep-apart and keep-together groups, same names), next to the
// plain exchange method. Arguments: students, classes.
#include <benchmark/benchmark.h>

#include <memory>

#include "division/balance_search.h"
#include "refine_world.h"

namespace fenban::bench {
namespace {

// The dealt list of a size, kept while the next benchmark uses the same one.
const division::WorkStudents& DealtList(int32_t students, int32_t classes) {
  static std::unique_ptr<division::WorkStudents> dealt;
  static int32_t dealtStudents = 0, dealtClasses = 0;
  if (!dealt || dealtStudents != students || dealtClasses != classes) {
    StudentOptions options;
    options.students = students;
    options.classCount = classes;
    options.presetPercent = 5;
    BenchWorld world(options);
    AddGroupColumns(world, 7);
    dealt = std::make_unique<division::WorkStudents>(DealWorld(world));
    dealtStudents = students;
    dealtClasses = classes;
  }
  return *dealt;
}

void BM_Refine(benchmark::State& state) {
  const division::WorkStudents& dealt = DealtList(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
  for (auto _ : state) {
    const division::BalanceResult result = division::SolveBalance(division::BuildBalanceProblem(dealt.list, 1));
    benchmark::DoNotOptimize(result.costAfter);
  }
}
BENCHMARK(BM_Refine)->Args({300, 6})->Args({2000, 10})->Args({10000, 50})->Args({100000, 100})
    ->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_PlainExchange(benchmark::State& state) {
  const division::WorkStudents& dealt = DealtList(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
  for (auto _ : state) benchmark::DoNotOptimize(PlainExchange(dealt.list, 1).data());
}
BENCHMARK(BM_PlainExchange)->Args({2000, 10})->Args({100000, 100})->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace fenban::bench

BENCHMARK_MAIN();
