#include "bench_world.h"

#include <array>
#include <cmath>
#include <random>
#include <stdexcept>

#include "sheets/lookups.h"

namespace fenban::bench {

namespace {

constexpr std::array kSubjectNames = {"语文", "数学", "英语", "物理", "化学", "生物", "政治", "历史", "地理"};
constexpr std::array kSubjectMaximum = {150, 150, 150, 100, 100, 100, 100, 100, 100};
// Names of a surname and two given characters: 38,400 of them, so a class
// of 2,000 has a few dozen same-name pairs, as real lists have.
constexpr std::array kSurnames = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙",
                                  "马", "朱", "胡", "郭", "何", "林", "高", "罗", "郑", "梁", "谢", "宋"};
constexpr std::array kGivenChars = {"伟", "芳", "娜", "敏", "静", "强", "磊", "军", "洋", "勇", "艳", "杰", "娟", "涛",
                                    "明", "超", "秀", "霞", "平", "刚", "鹏", "华", "飞", "鑫", "波", "斌", "宇",
                                    "浩", "凯", "健", "婷", "雪", "慧", "琳", "颖", "欣", "怡", "悦", "佳", "倩"};

// Uniform numbers from the raw engine output, so the same seed gives the
// same students with every standard library.
class FixedRandom {
 public:
  explicit FixedRandom(uint64_t seed) : engine_(seed) {}
  double Uniform() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
  size_t Index(size_t count) {
    const auto index = static_cast<size_t>(Uniform() * static_cast<double>(count));
    return index < count ? index : count - 1;
  }

 private:
  std::mt19937_64 engine_;
};

}  // namespace

int32_t QuietServices::MsgBox(const std::string& prompt, int32_t, const std::string&) {
  ++messageCount;
  lastMessage = prompt;
  return 1;
}

std::vector<std::string> StudentHeaders() {
  std::vector<std::string> headers = {"考号", "姓名", "性别", "住校", "应届"};
  for (const char* subject : kSubjectNames) headers.emplace_back(subject);
  headers.emplace_back("总分");
  headers.emplace_back("预设班");
  return headers;
}

BenchWorld::BenchWorld(const StudentOptions& studentOptions) : options(studentOptions) {
  hostBook = &app.AddWorkbook(std::make_unique<host::ModelWorkbook>("fenban.xlsx", "/tmp/fenban-bench"));
  for (const char* name : {"DTB", "FBB", "JZB", "SYB", "登记表"}) hostBook->AppendSheet(name);
  host::ModelWorksheet& entry = HostSheet("登记表");
  entry.SetCellValue(1, 1, "科目");
  for (int32_t i = 0; i < kSubjectCount; ++i) entry.SetCellValue(i + 2, 1, kSubjectNames[static_cast<size_t>(i)]);
  entry.SetCellValue(2, 3, "否");  // no rounding of the totals

  dataBook = &app.AddWorkbook(std::make_unique<host::ModelWorkbook>(kDataBookName, "/tmp/fenban-bench/数据"));
  host::ModelWorksheet& data = dataBook->AppendSheet("数据表");
  dataBook->SetActiveSheetIndex(1);

  const std::vector<std::string> headers = StudentHeaders();
  for (size_t c = 0; c < headers.size(); ++c) data.SetCellValue(1, static_cast<int32_t>(c + 1), headers[c]);
  FixedRandom random(options.seed);
  const host::Value male("男"), female("女"), yes("是"), no("否");
  const int32_t totalColumn = 6 + kSubjectCount;
  for (int32_t r = 2; r <= options.students + 1; ++r) {
    data.SetCellValue(r, 1, "2026" + std::to_string(1000000 + r - 1).substr(1));
    std::string name = kSurnames[random.Index(kSurnames.size())];
    name += kGivenChars[random.Index(kGivenChars.size())];
    name += kGivenChars[random.Index(kGivenChars.size())];
    data.SetCellValue(r, 2, name);
    // Equal category texts share one copy, as the reader stores them.
    data.SetCellValue(r, 3, random.Uniform() < 0.51 ? male : female);
    data.SetCellValue(r, 4, random.Uniform() < 0.42 ? yes : no);
    data.SetCellValue(r, 5, random.Uniform() < 0.88 ? yes : no);
    const double ability = random.Uniform();
    double total = 0;
    for (int32_t s = 0; s < kSubjectCount; ++s) {
      const double maximum = kSubjectMaximum[static_cast<size_t>(s)];
      const double share = 0.35 + 0.4 * ability + 0.25 * random.Uniform();
      double score = std::round(maximum * share);
      if (score > maximum) score = maximum;
      if (options.blankPercent > 0 && random.Uniform() * 100 < options.blankPercent) continue;
      total += score;
      data.SetCellValue(r, 6 + s, score);
    }
    data.SetCellValue(r, totalColumn, total);
    if (options.presetPercent > 0 && random.Uniform() * 100 < options.presetPercent) {
      data.SetCellValue(r, totalColumn + 1, static_cast<int>(1 + random.Index(static_cast<size_t>(options.classCount))));
    }
  }

  form.ltbBiao.AddItem(kDataBookName);
  form.ltbBiao.SetListIndex(0);
  state.DataBookName = kDataBookName;
  state.NextSheetNo = 1;
  form.txtFenBan.value = options.classCount;
  form.txtYouXiu.value = 20;
  form.txtJiGe.value = 30;
  form.txtNMing.value = 3;
}

host::ModelWorksheet& BenchWorld::HostSheet(const std::string& name) {
  host::Worksheet* sheet = hostBook->FindSheet(name);
  if (sheet == nullptr) throw std::runtime_error("no host sheet " + name);
  return static_cast<host::ModelWorksheet&>(*sheet);
}

host::ModelWorksheet& BenchWorld::DataSheet(const std::string& name) {
  host::Worksheet* sheet = dataBook->FindSheet(name);
  if (sheet == nullptr) throw std::runtime_error("no data sheet " + name);
  return static_cast<host::ModelWorksheet&>(*sheet);
}

void BenchWorld::Tick(bool sex, bool boarding, bool current) {
  form.chbXingBie.value = host::Value::Boolean(sex);
  form.chbZuXiao.value = host::Value::Boolean(boarding);
  form.chbYingJie.value = host::Value::Boolean(current);
}

division::WorkTable BenchWorld::PrepareWork() {
  host::ModelWorksheet& work = HostSheet("FBB");
  const host::ModelWorksheet& data = DataSheet("数据表");
  work.Clear(host::Rect{1, 1, host::kMaxRows, host::kMaxColumns});
  work.SetCellValue(1, 1, "新班级");
  work.SetCellValue(1, 2, "序号");
  const std::vector<host::RowData>& rows = data.RowsData();
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].cells.size(); ++c) {
      const host::Value& value = rows[r].cells[c].value;
      if (!value.IsEmpty()) work.SetCellValue(static_cast<int32_t>(r + 1), static_cast<int32_t>(c + 3), value);
    }
  }
  division::WorkTable table;
  table.sexColumn = sheets::FindHeaderColumn(work, "性别");
  table.boardingColumn = sheets::FindHeaderColumn(work, "住校");
  table.currentColumn = sheets::FindHeaderColumn(work, "应届");
  table.totalColumn = sheets::FindHeaderColumn(work, "总分");
  const host::Rect region = work.CurrentRegion(1, 1);
  table.spareColumn = region.Columns() + 1;
  table.rowCount = region.Rows();
  return table;
}

void BenchWorld::RemoveDivisionSheets() {
  for (int32_t index = dataBook->SheetCount(); index >= 1; --index) {
    host::ModelWorksheet& sheet = dataBook->ModelSheetAt(index);
    if (sheet.Name() != "数据表") dataBook->RemoveSheet(sheet);
  }
  dataBook->SetActiveSheetIndex(1);
  state.NextSheetNo = 1;
}

}  // namespace fenban::bench
