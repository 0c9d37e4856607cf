// A workbook of the application reached by automation, and its Worksheets.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "automation/dispatch_call.h"
#include "host/workbook.h"

namespace fenban::automation {

class DispatchApplication;
class DispatchWorksheet;

class DispatchWorkbook final : public host::Workbook {
 public:
  DispatchWorkbook(DispatchApplication& app, Dispatch book);
  ~DispatchWorkbook() override;

  host::Application& Parent() override;
  const std::string& Name() const override { return name_; }
  const std::string& Path() const override { return path_; }
  void Activate() override;
  int32_t SheetCount() const override;
  host::Worksheet& SheetAt(int32_t index) override;
  host::Worksheet* FindSheet(const std::string& name) override;
  host::Worksheet& AddSheet(host::Worksheet* after) override;
  host::Worksheet& ActiveSheet() override;
  double TabRatio() const override;
  void SetTabRatio(double ratio) override;

  const Dispatch& Object() const { return book_; }
  DispatchApplication& App() { return *app_; }
  // The one object of ours for a sheet of this workbook.
  DispatchWorksheet& SheetFor(const Dispatch& sheet);
  // Takes a deleted sheet out of the lookups; the object lives on, unused.
  void Forget(DispatchWorksheet& sheet);
  const std::vector<std::unique_ptr<DispatchWorksheet>>& KnownSheets() const { return sheets_; }

 private:
  DispatchApplication* app_;
  Dispatch book_;
  Dispatch worksheets_;
  std::string name_, path_;
  std::vector<std::unique_ptr<DispatchWorksheet>> sheets_;
  std::vector<std::unique_ptr<DispatchWorksheet>> deleted_;
};

}  // namespace fenban::automation
