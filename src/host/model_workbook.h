// The embedded model's workbook: an ordered list of sheets, the active one,
// the format pool, and what the file layer keeps about the file it came from.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/style_pool.h"
#include "host/model_worksheet.h"
#include "host/workbook.h"

namespace fenban::host {

class ModelApplication;

class ModelWorkbook final : public Workbook {
 public:
  // name: file name with extension; path: its folder.
  ModelWorkbook(std::string name, std::string path);

  // Workbook
  Application& Parent() override;
  const std::string& Name() const override { return name_; }
  const std::string& Path() const override { return path_; }
  void Activate() override;
  int32_t SheetCount() const override { return static_cast<int32_t>(sheets_.size()); }
  Worksheet& SheetAt(int32_t index) override;
  Worksheet* FindSheet(const std::string& name) override;
  Worksheet& AddSheet(Worksheet* after) override;
  Worksheet& ActiveSheet() override;
  double TabRatio() const override { return tabRatio_; }
  void SetTabRatio(double ratio) override;

  // A copy of the workbook, sheet by sheet, not yet in an application: a
  // front end keeps a workbook read once and hands out copies to change.
  std::unique_ptr<ModelWorkbook> Clone() const;

  // Model operations.
  // Appends a sheet at the end (file loading, tests); does not activate it.
  ModelWorksheet& AppendSheet(const std::string& name);
  ModelWorksheet& ModelSheetAt(int32_t index);  // 1-based
  // Removes a sheet (Worksheet::Delete). The last visible sheet cannot go (error 1004).
  void RemoveSheet(ModelWorksheet& sheet);
  int32_t IndexOf(const Worksheet& sheet) const;  // 1-based, 0 when not here
  void SetActiveSheetIndex(int32_t index);        // 1-based
  int32_t ActiveSheetIndex() const { return active_; }
  int32_t VisibleSheetCount() const;
  // Activates the visible sheet at index, else the next visible one after
  // it, else the nearest visible one before it.
  void ActivateNearestVisible(int32_t index);
  // Checks a new name for `sheet`: 1..31 characters, none of : \ / ? * [ ],
  // unique without regard to letter case. Raises error 1004.
  void CheckSheetName(const std::string& name, const Worksheet* sheet) const;
  StylePool& Styles() { return styles_; }
  const StylePool& Styles() const { return styles_; }
  void Attach(ModelApplication* app) { app_ = app; }
  void SetName(std::string name) { name_ = std::move(name); }
  void SetPath(std::string path) { path_ = std::move(path); }
  bool& Date1904() { return date1904_; }

  // What the file layer knows about the file the workbook came from.
  struct Origin {
    std::string fullPath;            // the file read ("" for a new workbook)
    bool fromXls = false;            // read from .xls: never written back there
    std::vector<std::string> unkeptParts;  // parts the model does not keep (charts, macros, ...)
  };
  Origin& FileOrigin() { return origin_; }
  const Origin& FileOrigin() const { return origin_; }

 private:
  ModelApplication* app_ = nullptr;
  std::string name_, path_;
  std::vector<std::unique_ptr<ModelWorksheet>> sheets_;
  int32_t active_ = 1;
  double tabRatio_ = 0.6;
  bool date1904_ = false;
  StylePool styles_;
  Origin origin_;
};

}  // namespace fenban::host
