#include "automation/dispatch_host_workbook.h"

#include <algorithm>
#include <utility>

#include "automation/dispatch_host_application.h"
#include "automation/dispatch_host_worksheet.h"
#include "host/errors.h"

namespace fenban::automation {

namespace {

constexpr const char* kWorkbook = "Workbook";
constexpr const char* kSheets = "Sheets";

}  // namespace

DispatchWorkbook::DispatchWorkbook(DispatchApplication& app, Dispatch book) : app_(&app), book_(std::move(book)) {
  name_ = ToText(app_->Get(book_, kWorkbook, L"Name").Raw());
  path_ = ToText(app_->Get(book_, kWorkbook, L"Path").Raw());
  worksheets_ = app_->Object(book_, kWorkbook, L"Worksheets");
}

DispatchWorkbook::~DispatchWorkbook() = default;

host::Application& DispatchWorkbook::Parent() { return *app_; }

void DispatchWorkbook::Activate() { app_->Call(book_, kWorkbook, L"Activate"); }

int32_t DispatchWorkbook::SheetCount() const {
  return ToValue(app_->Get(worksheets_, kSheets, L"Count").Raw()).ToLong();
}

host::Worksheet& DispatchWorkbook::SheetAt(int32_t index) {
  return SheetFor(app_->Object(worksheets_, kSheets, L"Item", {Variant::Long(index)}));
}

host::Worksheet* DispatchWorkbook::FindSheet(const std::string& name) {
  for (const auto& known : sheets_) {
    if (known->Name() == name) return known.get();
  }
  Dispatch sheet;
  try {
    sheet = app_->Object(worksheets_, kSheets, L"Item", {Variant::Text(name)});
  } catch (const host::RuntimeError&) {
    return nullptr;
  }
  // The application matches sheet names without regard to letter case; ours are exact.
  DispatchWorksheet& found = SheetFor(sheet);
  return found.Name() == name ? &found : nullptr;
}

host::Worksheet& DispatchWorkbook::AddSheet(host::Worksheet* after) {
  std::vector<NamedArg> named;
  if (after != nullptr) {
    auto* ours = dynamic_cast<DispatchWorksheet*>(after);
    if (ours == nullptr) host::Raise(host::kErrHost, "工作表不属于本程序打开的工作簿");
    named.push_back(NamedArg{L"After", Variant::Dispatch(ours->Object().Get())});
  }
  Variant added = app_->Call(worksheets_, kSheets, L"Add", {}, std::move(named));
  Dispatch sheet = Dispatch::Adopt(TakeDispatch(added.Raw()));
  if (!sheet) sheet = app_->Object(book_, kWorkbook, L"ActiveSheet");
  return SheetFor(sheet);
}

host::Worksheet& DispatchWorkbook::ActiveSheet() { return SheetFor(app_->Object(book_, kWorkbook, L"ActiveSheet")); }

double DispatchWorkbook::TabRatio() const {
  const Dispatch window = app_->Object(book_, kWorkbook, L"Windows", {Variant::Long(1)});
  return ToValue(app_->Get(window, "Window", L"TabRatio").Raw()).ToDouble();
}

void DispatchWorkbook::SetTabRatio(double ratio) {
  const Dispatch window = app_->Object(book_, kWorkbook, L"Windows", {Variant::Long(1)});
  app_->Put(window, "Window", L"TabRatio", Variant::Double(ratio));
}

DispatchWorksheet& DispatchWorkbook::SheetFor(const Dispatch& sheet) {
  if (!sheet) host::Raise(91, "对象变量未设置 (Worksheet)");
  for (const auto& known : sheets_) {
    if (SameObject(known->Object().Get(), sheet.Get())) return *known;
  }
  sheets_.push_back(std::make_unique<DispatchWorksheet>(*this, sheet));
  return *sheets_.back();
}

void DispatchWorkbook::Forget(DispatchWorksheet& sheet) {
  const auto at = std::find_if(sheets_.begin(), sheets_.end(), [&](const auto& p) { return p.get() == &sheet; });
  if (at == sheets_.end()) return;
  deleted_.push_back(std::move(*at));
  sheets_.erase(at);
}

}  // namespace fenban::automation
