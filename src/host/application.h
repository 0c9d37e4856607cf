// The narrow interface of the host application and its Workbooks collection.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "host/page_setup.h"
#include "host/rect.h"
#include "host/services.h"
#include "host/workbook.h"

namespace fenban::host {

class Application {
 public:
  virtual ~Application() = default;

  virtual int32_t WorkbookCount() const = 0;
  virtual Workbook& WorkbookAt(int32_t index) = 0;  // 1-based; outside raises error 9
  virtual Workbook* FindWorkbook(const std::string& name) = 0;
  // Opens the workbook file at path and activates it; failures raise run-time errors.
  virtual Workbook& OpenWorkbook(const std::string& path) = 0;
  virtual Workbook& ThisWorkbook() = 0;
  virtual Workbook& ActiveWorkbook() = 0;
  Worksheet& ActiveSheet() { return ActiveWorkbook().ActiveSheet(); }
  virtual Window& ActiveWindow() = 0;

  virtual bool DisplayAlerts() const = 0;
  virtual void SetDisplayAlerts(bool on) = 0;
  virtual bool ScreenUpdating() const = 0;
  virtual void SetScreenUpdating(bool on) = 0;

  // Sends every change still held back to the application. An application
  // that applies each change at once has nothing to do; one that batches
  // writes (a real spreadsheet reached by automation) sends them here.
  // MyFun calls it when a command ends, whether it ended well or not.
  virtual void CompleteWrites() {}

  virtual PlatformServices& Services() = 0;
  int32_t MsgBox(const std::string& prompt, int32_t style, const std::string& title) {
    return Services().MsgBox(prompt, style, title);
  }
  void Beep(int32_t frequency, int32_t milliseconds) { Services().Beep(frequency, milliseconds); }
  // Tells the services' progress sink, when there is one, that `stage` begins.
  void ReportStage(WorkStage stage) {
    if (ProgressSink* sink = Services().Progress()) sink->Stage(stage);
  }

  // Random numbers for the division's tie order: Randomize re-seeds from the
  // services' seed; Rnd gives the next uniform number in [0, 1).
  virtual uint64_t Randomize() = 0;
  virtual double Rnd() = 0;

  // The clipboard of Range::Copy() without a destination, read by PasteSpecial.
  virtual void SetClipboard(Worksheet* sheet, const Rect& area) = 0;
  virtual Worksheet* ClipboardSheet() const = 0;
  virtual Rect ClipboardArea() const = 0;
};

// The Workbooks collection, as a cheap value.
class Workbooks {
 public:
  explicit Workbooks(Application& app) : app_(&app) {}
  int32_t Count() const { return app_->WorkbookCount(); }
  Workbook& operator()(int32_t index) const { return app_->WorkbookAt(index); }
  // Exact name; a missing workbook raises error 9.
  Workbook& operator()(const std::string& name) const;
  Workbook& Open(const std::string& path) const { return app_->OpenWorkbook(path); }

 private:
  Application* app_;
};

}  // namespace fenban::host
