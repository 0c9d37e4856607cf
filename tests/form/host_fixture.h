// An embedded host for the form, maintenance and bridge tests: the host
// workbook "fenban.xlsx" in /host with its settings sheet "DTB", data
// workbooks that open from /host/数据/, recording platform services, one form
// and the module state.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "form/form.h"
#include "form/module_state.h"
#include "host/errors.h"
#include "host/model_application.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"
#include "support/recording_services.h"

namespace fenban::testing {

inline const std::string kHostFolder = "/host";
inline const std::string kDataFolder = "/host/数据";

// Cells of a sheet given row by row from (1, 1); an empty Value leaves the cell empty.
using Rows = std::vector<std::vector<host::Value>>;

inline void FillRows(host::Worksheet& sheet, const Rows& rows, int32_t firstRow = 1, int32_t firstColumn = 1) {
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      if (rows[r][c].IsEmpty()) continue;
      sheet.SetCellValue(firstRow + static_cast<int32_t>(r), firstColumn + static_cast<int32_t>(c), rows[r][c]);
    }
  }
}

// A data workbook that the loader can open: its sheets by name, in order,
// with their cells, and the sheet that is active after opening (1-based).
struct DataBookFile {
  std::vector<std::pair<std::string, Rows>> sheets;
  int32_t activeSheet = 1;
};

class HostFixture {
 public:
  HostFixture() : app(services, [this](const std::string& path) { return Load(path); }) {
    auto book = std::make_unique<host::ModelWorkbook>("fenban.xlsx", kHostFolder);
    hostBook = &app.AddWorkbook(std::move(book));
    dtb = &hostBook->AppendSheet("DTB");
    services.folders[kDataFolder] = {};
  }

  // Registers a data workbook file under /host/数据/ and lists it in the folder.
  void AddDataFile(const std::string& name, DataBookFile file) {
    files[kDataFolder + "/" + name] = std::move(file);
    services.folders[kDataFolder].push_back(name);
  }

  // Puts the given names into ltbBiao and chooses `index`.
  void Choose(const std::vector<std::string>& names, int32_t index) {
    form.ltbBiao.Clear();
    for (const std::string& name : names) form.ltbBiao.AddItem(name);
    form.ltbBiao.SetListIndex(index);
  }

  // An open data workbook built directly, as if already opened.
  host::ModelWorkbook& AddOpenBook(const std::string& name, const DataBookFile& file) {
    host::ModelWorkbook& book = app.AddWorkbook(Build(name, file));
    return book;
  }

  host::ModelWorkbook* Book(const std::string& name) {
    return static_cast<host::ModelWorkbook*>(app.FindWorkbook(name));
  }

  RecordingServices services;
  std::map<std::string, DataBookFile> files;
  std::vector<std::string> openedPaths;
  host::ModelApplication app;
  host::ModelWorkbook* hostBook = nullptr;
  host::ModelWorksheet* dtb = nullptr;
  form::FormModel form;
  form::ModuleState state;

 private:
  static std::unique_ptr<host::ModelWorkbook> Build(const std::string& name, const DataBookFile& file) {
    auto book = std::make_unique<host::ModelWorkbook>(name, kDataFolder);
    for (const auto& [sheetName, rows] : file.sheets) FillRows(book->AppendSheet(sheetName), rows);
    book->SetActiveSheetIndex(file.activeSheet);
    return book;
  }

  std::unique_ptr<host::ModelWorkbook> Load(const std::string& path) {
    openedPaths.push_back(path);
    auto it = files.find(path);
    if (it == files.end()) host::Raise(1004, "无法打开文件: " + path);
    const std::string name = path.substr(path.rfind('/') + 1);
    return Build(name, it->second);
  }
};

}  // namespace fenban::testing
