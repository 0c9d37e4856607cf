// Application, Workbooks and ActiveWindow over the automation object `EA`.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "automation/dispatch_call.h"
#include "host/application.h"

namespace fenban::automation {

class DispatchWorkbook;
class DispatchWorksheet;

class DispatchApplication final : public host::Application {
 public:
  DispatchApplication(IDispatch* ea, host::PlatformServices& services);
  ~DispatchApplication() override;

  int32_t WorkbookCount() const override;
  host::Workbook& WorkbookAt(int32_t index) override;
  host::Workbook* FindWorkbook(const std::string& name) override;
  host::Workbook& OpenWorkbook(const std::string& path) override;
  host::Workbook& ThisWorkbook() override;
  host::Workbook& ActiveWorkbook() override;
  host::Window& ActiveWindow() override;
  bool DisplayAlerts() const override;
  void SetDisplayAlerts(bool on) override;
  bool ScreenUpdating() const override;
  void SetScreenUpdating(bool on) override;
  void CompleteWrites() override;
  host::PlatformServices& Services() override { return *services_; }
  uint64_t Randomize() override;
  double Rnd() override;
  void SetClipboard(host::Worksheet* sheet, const host::Rect& area) override;
  host::Worksheet* ClipboardSheet() const override { return clipSheet_; }
  host::Rect ClipboardArea() const override { return clipArea_; }

  // Calls for the workbooks, sheets and window of this application. `kind`
  // names the kind of object for the DISPID cache.
  Variant Get(const Dispatch& object, const char* kind, const wchar_t* name, std::vector<Variant> args = {}) const;
  Dispatch Object(const Dispatch& object, const char* kind, const wchar_t* name,
                  std::vector<Variant> args = {}) const;
  void Put(const Dispatch& object, const char* kind, const wchar_t* name, Variant value) const;
  Variant Call(const Dispatch& object, const char* kind, const wchar_t* name, std::vector<Variant> args = {},
               std::vector<NamedArg> named = {}) const;

  // The one object of ours for a workbook of the application.
  DispatchWorkbook& WorkbookFor(const Dispatch& book);
  // Sends the pending cell writes of every sheet.
  void FlushWrites();
  // The application changed cells of `sheet` (nullptr: of an unknown sheet):
  // what we know of it, and of every sheet whose formulas may read it, is stale.
  void CellsChanged(DispatchWorksheet* sheet);
  // Every sheet object we made, of every workbook.
  std::vector<DispatchWorksheet*> Sheets() const;

  // PageSetup properties talk to the printer, unless the application's
  // PrintCommunication is off: it is switched off before the first one of a
  // run of them and back on (which commits them) before anything else that
  // may depend on them. An application without the switch is left alone.
  void StartPageSetup();
  void EndPageSetup();

  // Cell reads and writes the commands made, each of which would have been
  // a Range object and a Value call without the blocks.
  struct CellTraffic {
    long reads = 0;
    long writes = 0;
  };
  CellTraffic& Traffic() { return traffic_; }

 private:
  class ActiveWindowObject;
  Dispatch ea_;
  host::PlatformServices* services_;
  mutable DispIdCache ids_;
  mutable DispatchCaller caller_{ids_};
  Dispatch workbooks_;
  std::vector<std::unique_ptr<DispatchWorkbook>> books_;
  std::unique_ptr<ActiveWindowObject> window_;
  // Rnd as the embedded model draws it, so one seed gives one division everywhere.
  std::mt19937_64 random_;
  host::Worksheet* clipSheet_ = nullptr;
  host::Rect clipArea_;
  CellTraffic traffic_;
  bool printerTalkOff_ = false;
  bool noPrinterSwitch_ = false;
};

// True when both point to the same COM object (IUnknown identity).
bool SameObject(IDispatch* a, IDispatch* b);

}  // namespace fenban::automation
