// The test application: an IDispatch object model over the embedded model,
// answering the members the engine calls on a real spreadsheet application
// by name, and behaving as the real program is documented to behave where
// it differs from the embedded model (real_program_rules.h): String values
// and replaced cells are entered as if typed unless the cell is formatted
// "@", Range.Value returns Date and Currency Variants, Range.Sort orders
// Chinese text by pinyin, UsedRange keeps every cell ever used or formatted
// and Address gives whole columns and rows as "$A:$P" and "$1:$3".
// PageSetup calls made while Application.PrintCommunication is on are
// counted as slow. The cells themselves are the embedded model's.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <map>

#include "automation/com_ptr.h"
#include "host/model_application.h"
#include "host/rect.h"
#include "test_dispatch_object.h"

namespace fenban::automation::testing {

class TestWorld {
 public:
  explicit TestWorld(host::ModelApplication& model);
  ~TestWorld();
  TestWorld(const TestWorld&) = delete;
  TestWorld& operator=(const TestWorld&) = delete;

  // The Application object, to pass as EA (a new reference).
  IDispatch* Application();
  CallCounts& Counts() { return counts_; }
  host::ModelApplication& Model() { return *model_; }

  // The one object of a workbook or a sheet, as the application keeps them
  // (new references).
  IDispatch* WorkbookObject(host::Workbook& book);
  IDispatch* SheetObject(host::Worksheet& sheet);
  // A deleted sheet's object is not handed out again.
  void ForgetSheet(host::Worksheet& sheet);

  // The sheet's used range: every cell that ever held a value or a format,
  // as the real program keeps it (it does not shrink when cells are cleared).
  host::Rect UsedArea(host::Worksheet& sheet);
  // Application.PrintCommunication; a host without the member (an older
  // program) is made by SetHasPrintCommunication(false).
  bool PrintCommunication() const { return printCommunication_; }
  void SetPrintCommunication(bool on) { printCommunication_ = on; }
  bool HasPrintCommunication() const { return hasPrintCommunication_; }
  void SetHasPrintCommunication(bool has) { hasPrintCommunication_ = has; }
  // Application.Hwnd, the main window's handle (0 until a window is given).
  HWND Window() const { return window_; }
  void SetWindow(HWND window) { window_ = window; }
  // Application.ThisWorkbook names the workbook whose macro code is running;
  // called from outside a macro (an add-in's own code) it has none and raises.
  bool MacroRunning() const { return macroRunning_; }
  void SetMacroRunning(bool running) { macroRunning_ = running; }
  // Application.CommandBars: none (a host that raises) until one is given.
  IDispatch* CommandBars() const { return commandBars_.Get(); }
  void SetCommandBars(IDispatch* bars) { commandBars_ = ComPtr<IDispatch>::Share(bars); }
  // Application.SheetsInNewWorkbook: 1 from Excel 2013, 3 before.
  int32_t SheetsInNewWorkbook() const { return sheetsInNewWorkbook_; }
  void SetSheetsInNewWorkbook(int32_t count) { sheetsInNewWorkbook_ = count; }
  int32_t& AddedWorkbooks() { return addedWorkbooks_; }
  // Range.Find's SearchOrder, kept from one call to the next as the program keeps it.
  int32_t& SavedSearchOrder() { return savedSearchOrder_; }

 private:
  host::ModelApplication* model_;
  CallCounts counts_;
  ComPtr<IDispatch> application_;
  std::map<const void*, ComPtr<IDispatch>> objects_;
  std::map<const void*, host::Rect> everUsed_;
  bool printCommunication_ = true;
  bool hasPrintCommunication_ = true;
  int32_t savedSearchOrder_ = 1;  // xlByRows
  HWND window_ = nullptr;
  bool macroRunning_ = true;
  int32_t sheetsInNewWorkbook_ = 1;
  int32_t addedWorkbooks_ = 0;
  ComPtr<IDispatch> commandBars_;
};

}  // namespace fenban::automation::testing
