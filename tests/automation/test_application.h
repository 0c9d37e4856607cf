// The test application: an IDispatch object model over the embedded model,
// answering the members the engine calls on a real spreadsheet application
// by name. Every effect is the embedded model's own (host::Range and the
// model's sheets do the work); these objects only translate the calls and
// count them.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <map>

#include "automation/com_ptr.h"
#include "host/model_application.h"
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

 private:
  host::ModelApplication* model_;
  CallCounts counts_;
  ComPtr<IDispatch> application_;
  std::map<const void*, ComPtr<IDispatch>> objects_;
};

}  // namespace fenban::automation::testing
