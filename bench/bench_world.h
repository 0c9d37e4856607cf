// In-memory host and data workbooks for the benchmarks: the host workbook
// with its settings, working and entry template sheets, a data workbook with
// a generated "数据表", the form and the module state.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "division/division.h"
#include "form/form.h"
#include "form/module_state.h"
#include "host/model_application.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"
#include "host/services.h"

namespace fenban::bench {

// Services that answer at once: no terminal, a fixed date and seed.
class QuietServices final : public host::PlatformServices {
 public:
  int32_t MsgBox(const std::string& prompt, int32_t style, const std::string& title) override;
  void Beep(int32_t, int32_t) override {}
  std::string ShortDate() override { return "2026-12-07"; }
  uint64_t RandomSeed() override { return 1; }
  std::vector<std::string> ListDirectory(const std::string&) override { return {}; }
  void OpenDocument(const std::string&) override {}
  int32_t messageCount = 0;
  std::string lastMessage;
};

struct StudentOptions {
  int32_t students = 1000;
  int32_t classCount = 10;
  int32_t presetPercent = 0;  // share of students with a preset class 1..classCount
  int32_t blankPercent = 0;   // share of subject marks left blank (the total counts them as 0)
  uint64_t seed = 20261207;
};

// Column layout of the generated data sheet.
inline constexpr int32_t kSubjectCount = 9;
std::vector<std::string> StudentHeaders();  // 考号 姓名 性别 住校 应届, nine subjects, 总分, 预设班

class BenchWorld {
 public:
  static constexpr const char* kDataBookName = "示例.xlsx";

  explicit BenchWorld(const StudentOptions& options);

  QuietServices services;
  host::ModelApplication app{services};
  host::ModelWorkbook* hostBook = nullptr;
  host::ModelWorkbook* dataBook = nullptr;
  form::FormModel form;
  form::ModuleState state;
  StudentOptions options;

  host::ModelWorksheet& HostSheet(const std::string& name);
  host::ModelWorksheet& DataSheet(const std::string& name);

  // Ticks the three balance boxes.
  void Tick(bool sex, bool boarding, bool current);
  // The work table on "FBB" as the division command prepares it: "新班级",
  // "序号", then the data sheet's values.
  division::WorkTable PrepareWork();
  // Removes every sheet of the data workbook but "数据表".
  void RemoveDivisionSheets();
};

}  // namespace fenban::bench
