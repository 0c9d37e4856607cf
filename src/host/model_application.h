// The embedded model's application: open workbooks, the host workbook, the
// active window, alerts, the clipboard and the random generator.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/application.h"
#include "host/model_workbook.h"

namespace fenban::host {

// Opens a workbook file; supplied by the front end (the file layer).
// Failures raise RuntimeError with a clear description.
using WorkbookLoader = std::function<std::unique_ptr<ModelWorkbook>(const std::string& path)>;

class ModelApplication final : public Application {
 public:
  explicit ModelApplication(PlatformServices& services, WorkbookLoader loader = nullptr);
  ~ModelApplication() override;

  // Adds an open workbook (the first added is ThisWorkbook) and activates it.
  ModelWorkbook& AddWorkbook(std::unique_ptr<ModelWorkbook> book);
  ModelWorkbook& ModelWorkbookAt(int32_t index);  // 1-based
  // Takes an open workbook out of the application, as closing it would, and
  // hands it over whole, for a front end that keeps it after the run. The
  // workbook after it becomes active when it was; error 9 when it is not open.
  std::unique_ptr<ModelWorkbook> TakeWorkbook(const ModelWorkbook& book);
  void SetActiveWorkbook(Workbook& book);
  // The active workbook as the model's type; error 91 when none is open.
  ModelWorkbook& ActiveModelWorkbook();

  // Application
  int32_t WorkbookCount() const override { return static_cast<int32_t>(books_.size()); }
  Workbook& WorkbookAt(int32_t index) override;
  Workbook* FindWorkbook(const std::string& name) override;
  Workbook& OpenWorkbook(const std::string& path) override;
  Workbook& ThisWorkbook() override;
  Workbook& ActiveWorkbook() override;
  Window& ActiveWindow() override;
  bool DisplayAlerts() const override { return displayAlerts_; }
  void SetDisplayAlerts(bool on) override { displayAlerts_ = on; }
  bool ScreenUpdating() const override { return screenUpdating_; }
  void SetScreenUpdating(bool on) override { screenUpdating_ = on; }
  PlatformServices& Services() override { return *services_; }
  uint64_t Randomize() override;
  double Rnd() override;
  void SetClipboard(Worksheet* sheet, const Rect& area) override;
  Worksheet* ClipboardSheet() const override { return clipSheet_; }
  Rect ClipboardArea() const override { return clipArea_; }
  // Called by a sheet that is being deleted, so no dangling clipboard stays.
  void ForgetSheet(const Worksheet* sheet);

 private:
  class ModelWindow;
  PlatformServices* services_;
  WorkbookLoader loader_;
  std::vector<std::unique_ptr<ModelWorkbook>> books_;
  int32_t active_ = 0;  // 1-based, 0 = none
  bool displayAlerts_ = true, screenUpdating_ = true;
  std::mt19937_64 random_;
  Worksheet* clipSheet_ = nullptr;
  Rect clipArea_;
  std::unique_ptr<ModelWindow> window_;
};

}  // namespace fenban::host
