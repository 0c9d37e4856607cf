// Benchmarks of the in-memory work: the class assignment, the statistics
// engine and the whole division command, at 1,000 to 100,000 students.
// Arguments: students, classes, and for the assignment the balance boxes
// (0 none, 1 all three) and the share of students with a preset class (%).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_world.h"
#include "division/data_block.h"
#include "division/division.h"
#include "files/workbook_files.h"
#include "host/constants.h"
#include "statistics/statistics.h"

namespace fenban::bench {
namespace {

constexpr int32_t kExcellentQuota = 20;
constexpr int32_t kPassQuota = 30;
constexpr int32_t kTopN = 3;

// One world at a time: generating 100,000 students is not part of any
// measurement, so a world is kept while the next benchmark uses the same one.
BenchWorld& WorldFor(const StudentOptions& options) {
  static std::unique_ptr<BenchWorld> world;
  if (!world || world->options.students != options.students || world->options.classCount != options.classCount ||
      world->options.presetPercent != options.presetPercent) {
    world.reset();
    world = std::make_unique<BenchWorld>(options);
  }
  return *world;
}

// The world of a number of students in 50 classes, without presets.
BenchWorld& WorldOfSize(int32_t students) {
  StudentOptions options;
  options.students = students;
  options.classCount = 50;
  return WorldFor(options);
}

void ClearSheet(host::ModelWorksheet& sheet) {
  sheet.Clear(host::Rect{1, 1, host::kMaxRows, host::kMaxColumns});
}

void BM_AssignClasses(benchmark::State& state) {
  StudentOptions options;
  options.students = static_cast<int32_t>(state.range(0));
  options.classCount = static_cast<int32_t>(state.range(1));
  const bool balanced = state.range(2) != 0;
  options.presetPercent = static_cast<int32_t>(state.range(3));
  BenchWorld& world = WorldFor(options);
  const division::WorkTable table = world.PrepareWork();
  host::ModelWorksheet& work = world.HostSheet("FBB");
  const std::vector<host::RowData> pristine = work.RowsData();
  division::BalanceFlags flags;
  flags.current = flags.boarding = flags.sex = balanced;
  const int32_t topBlock = options.classCount * kTopN;

  for (auto _ : state) {
    state.PauseTiming();
    work.RowsData() = pristine;
    ClearSheet(world.HostSheet("JZB"));
    ClearSheet(world.HostSheet("SYB"));
    state.ResumeTiming();
    if (!division::AssignClasses(world.app, work, table, options.classCount, topBlock, flags)) {
      state.SkipWithError(world.services.lastMessage.c_str());
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * options.students);
}

void BM_BuildDivisionStatistics(benchmark::State& state) {
  StudentOptions options;
  options.students = static_cast<int32_t>(state.range(0));
  options.classCount = static_cast<int32_t>(state.range(1));
  BenchWorld& world = WorldFor(options);
  const division::WorkTable table = world.PrepareWork();
  host::ModelWorksheet& work = world.HostSheet("FBB");
  division::BalanceFlags flags{true, true, true};
  if (!division::AssignClasses(world.app, work, table, options.classCount, options.classCount * kTopN, flags)) {
    state.SkipWithError(world.services.lastMessage.c_str());
    return;
  }
  const std::vector<host::RowData> divided = work.RowsData();
  ClearSheet(work);

  for (auto _ : state) {
    state.PauseTiming();
    world.RemoveDivisionSheets();
    world.dataBook->AppendSheet("分班表1").RowsData() = divided;
    world.dataBook->AppendSheet("统计表1");
    state.ResumeTiming();
    statistics::BuildDivisionStatistics(world.app, world.state, options.classCount, kExcellentQuota, kPassQuota,
                                        kTopN, "分班表1", "统计表1");
  }
  if (world.services.messageCount != 0) state.SkipWithError(world.services.lastMessage.c_str());
  state.SetItemsProcessed(state.iterations() * options.students);
}

// The whole division command as the form runs it: copy of the data sheet,
// assignment with the three balance boxes, both sheets and the statistics.
void BM_DivideClasses(benchmark::State& state) {
  StudentOptions options;
  options.students = static_cast<int32_t>(state.range(0));
  options.classCount = static_cast<int32_t>(state.range(1));
  options.presetPercent = static_cast<int32_t>(state.range(2));
  BenchWorld& world = WorldFor(options);
  world.Tick(true, true, true);

  for (auto _ : state) {
    state.PauseTiming();
    world.RemoveDivisionSheets();
    ClearSheet(world.HostSheet("FBB"));
    state.ResumeTiming();
    division::DivideClasses(world.app, world.form, world.state);
  }
  if (world.services.messageCount != 0) state.SkipWithError(world.services.lastMessage.c_str());
  state.SetItemsProcessed(state.iterations() * options.students);
}

// One host sort of the work table by one key and by two, as the engine sorts:
// the cost of a sort per row, apart from what the commands do around it.
void BM_SortTable(benchmark::State& state) {
  const int32_t students = static_cast<int32_t>(state.range(0));
  BenchWorld& world = WorldOfSize(students);
  world.PrepareWork();
  host::ModelWorksheet& work = world.HostSheet("FBB");
  const host::Rect region = work.CurrentRegion(1, 1);
  const int32_t totalColumn = 2 + 6 + kSubjectCount;
  const int32_t sexColumn = 2 + 3;
  int32_t subject = 0;
  for (auto _ : state) {
    // Alternate keys so that no sort finds the rows already in order.
    const int32_t column = 2 + 6 + (subject++ % kSubjectCount);
    work.Sort(region, host::SortKey{column, host::kDescending}, host::SortKey{}, host::kHeaderYes);
    work.Sort(region, host::SortKey{sexColumn, host::kAscending}, host::SortKey{totalColumn, host::kDescending},
              host::kHeaderYes);
  }
  state.SetItemsProcessed(state.iterations() * students * 2);
}

// The current region of A1 of the work table.
void BM_CurrentRegion(benchmark::State& state) {
  const int32_t students = static_cast<int32_t>(state.range(0));
  BenchWorld& world = WorldOfSize(students);
  world.PrepareWork();
  host::ModelWorksheet& work = world.HostSheet("FBB");
  for (auto _ : state) {
    // The sheet remembers its last region until its cells change: each
    // round forgets it, so that the rows are walked every time.
    work.ContentChanged();
    benchmark::DoNotOptimize(work.CurrentRegion(1, 1));
  }
  state.SetItemsProcessed(state.iterations() * students);
}

// The checks before a division: nothing beyond the list around A1 of
// "数据表", and every total a number. The region is walked every round, as
// after the spaces are removed from the list.
void BM_DataSheetChecks(benchmark::State& state) {
  const int32_t students = static_cast<int32_t>(state.range(0));
  BenchWorld& world = WorldOfSize(students);
  host::ModelWorksheet& data = world.DataSheet("数据表");
  for (auto _ : state) {
    data.ContentChanged();
    benchmark::DoNotOptimize(division::ValuesOutsideListWarning(data));
    division::CheckTotals(data);
  }
  state.SetItemsProcessed(state.iterations() * students);
}

// The data workbook as a file: 16 columns per student, the layout
// `fenban init --example` writes. Made once per size in the temporary folder.
std::string DataFileFor(int32_t students) {
  BenchWorld& world = WorldOfSize(students);
  const std::string path = "/tmp/fenban_bench_" + std::to_string(students) + ".xlsx";
  files::WriteXlsx(*world.dataBook, path);
  return path;
}

// Reading a data workbook: unzip, parse and fill the model.
void BM_ReadXlsx(benchmark::State& state) {
  const std::string path = DataFileFor(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(files::ReadWorkbook(path));
  std::remove(path.c_str());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Writing a data workbook: format, compress and package one large sheet.
void BM_WriteXlsx(benchmark::State& state) {
  const int32_t students = static_cast<int32_t>(state.range(0));
  BenchWorld& world = WorldOfSize(students);
  const std::string path = "/tmp/fenban_bench_out_" + std::to_string(students) + ".xlsx";
  for (auto _ : state) files::WriteXlsx(*world.dataBook, path);
  std::remove(path.c_str());
  state.SetItemsProcessed(state.iterations() * students);
}

// Sizes: 1,000 students in 10 classes, 10,000 and 100,000 in 50.
void AssignArguments(benchmark::internal::Benchmark* b) {
  for (const auto& [students, classes] : std::vector<std::pair<int64_t, int64_t>>{{1000, 10}, {10000, 50}, {100000, 50}}) {
    b->Args({students, classes, 0, 0});
    b->Args({students, classes, 1, 0});
    b->Args({students, classes, 1, 10});
  }
}

void SizeArguments(benchmark::internal::Benchmark* b) {
  b->Args({1000, 10});
  b->Args({10000, 50});
  b->Args({100000, 50});
}

BENCHMARK(BM_SortTable)->ArgName("students")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurrentRegion)->ArgName("students")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataSheetChecks)->ArgName("students")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadXlsx)->ArgName("students")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteXlsx)->ArgName("students")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssignClasses)
    ->ArgNames({"students", "classes", "balanced", "preset%"})
    ->Apply(AssignArguments)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildDivisionStatistics)
    ->ArgNames({"students", "classes"})
    ->Apply(SizeArguments)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DivideClasses)
    ->ArgNames({"students", "classes", "preset%"})
    ->Args({1000, 10, 0})
    ->Args({10000, 50, 0})
    ->Args({100000, 50, 0})
    ->Args({100000, 50, 10})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace fenban::bench

BENCHMARK_MAIN();
