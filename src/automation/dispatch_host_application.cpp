#include "automation/dispatch_host_application.h"

#include <utility>

#include "automation/com_text.h"
#include "automation/dispatch_host.h"
#include "automation/dispatch_host_workbook.h"
#include "automation/dispatch_host_worksheet.h"
#include "host/errors.h"

namespace fenban::automation {

namespace {

constexpr const char* kApplication = "Application";
constexpr const char* kWorkbooks = "Workbooks";
constexpr const char* kWindow = "Window";

int32_t ToLong(const Variant& v) { return ToValue(v.Raw()).ToLong(); }
double ToDouble(const Variant& v) { return ToValue(v.Raw()).ToDouble(); }
bool ToBool(const Variant& v) {
  const host::Value value = ToValue(v.Raw());
  return value.IsBoolean() ? value.Bool() : value.ToDouble() != 0;
}

}  // namespace

bool SameObject(IDispatch* a, IDispatch* b) {
  if (a == b) return true;
  if (a == nullptr || b == nullptr) return false;
  IUnknown* ua = nullptr;
  IUnknown* ub = nullptr;
  const bool same = SUCCEEDED(a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ua))) &&
                    SUCCEEDED(b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ub))) && ua == ub;
  if (ua) ua->Release();
  if (ub) ub->Release();
  return same;
}

// ActiveWindow: every member goes to the window active at the time.
class DispatchApplication::ActiveWindowObject final : public host::Window {
 public:
  explicit ActiveWindowObject(DispatchApplication& app) : app_(app) {}
  void SetScrollRow(int32_t row) override { Set(L"ScrollRow", Variant::Long(row)); }
  void SetScrollColumn(int32_t column) override { Set(L"ScrollColumn", Variant::Long(column)); }
  void SetTabRatio(double ratio) override { Set(L"TabRatio", Variant::Double(ratio)); }
  void SetSplitRow(int32_t rows) override { Set(L"SplitRow", Variant::Long(rows)); }
  void SetSplitColumn(int32_t columns) override { Set(L"SplitColumn", Variant::Long(columns)); }
  void SetFreezePanes(bool freeze) override { Set(L"FreezePanes", Variant::Bool(freeze)); }
  void SetZoom(int32_t percent) override { Set(L"Zoom", Variant::Long(percent)); }
  int32_t ScrollRow() const override { return ToLong(Read(L"ScrollRow")); }
  int32_t ScrollColumn() const override { return ToLong(Read(L"ScrollColumn")); }
  double TabRatio() const override { return ToDouble(Read(L"TabRatio")); }
  int32_t SplitRow() const override { return ToLong(Read(L"SplitRow")); }
  int32_t SplitColumn() const override { return ToLong(Read(L"SplitColumn")); }
  bool FreezePanes() const override { return ToBool(Read(L"FreezePanes")); }
  int32_t Zoom() const override { return ToLong(Read(L"Zoom")); }

 private:
  Dispatch Window() const { return app_.Object(app_.ea_, kApplication, L"ActiveWindow"); }
  void Set(const wchar_t* name, Variant value) { app_.Put(Window(), kWindow, name, std::move(value)); }
  Variant Read(const wchar_t* name) const { return app_.Get(Window(), kWindow, name); }
  DispatchApplication& app_;
};

DispatchApplication::DispatchApplication(IDispatch* ea, host::PlatformServices& services)
    : ea_(Dispatch::Share(ea)), services_(&services), window_(std::make_unique<ActiveWindowObject>(*this)) {
  if (!ea_) host::Raise(91, "对象变量未设置 (EA)");
}

DispatchApplication::~DispatchApplication() = default;

Variant DispatchApplication::Get(const Dispatch& object, const char* kind, const wchar_t* name,
                                 std::vector<Variant> args) const {
  return caller_.Get(object.Get(), kind, name, std::move(args));
}

Dispatch DispatchApplication::Object(const Dispatch& object, const char* kind, const wchar_t* name,
                                     std::vector<Variant> args) const {
  return caller_.GetObject(object.Get(), kind, name, std::move(args));
}

void DispatchApplication::Put(const Dispatch& object, const char* kind, const wchar_t* name, Variant value) const {
  caller_.Put(object.Get(), kind, name, std::move(value));
}

Variant DispatchApplication::Call(const Dispatch& object, const char* kind, const wchar_t* name,
                                  std::vector<Variant> args, std::vector<NamedArg> named) const {
  return caller_.Call(object.Get(), kind, name, std::move(args), std::move(named));
}

int32_t DispatchApplication::WorkbookCount() const {
  return ToLong(Get(Object(ea_, kApplication, L"Workbooks"), kWorkbooks, L"Count"));
}

host::Workbook& DispatchApplication::WorkbookAt(int32_t index) {
  return WorkbookFor(Object(Object(ea_, kApplication, L"Workbooks"), kWorkbooks, L"Item", {Variant::Long(index)}));
}

host::Workbook* DispatchApplication::FindWorkbook(const std::string& name) {
  Dispatch book;
  try {
    book = Object(Object(ea_, kApplication, L"Workbooks"), kWorkbooks, L"Item", {Variant::Text(name)});
  } catch (const host::RuntimeError&) {
    return nullptr;
  }
  // The application matches names without regard to letter case; ours are exact.
  DispatchWorkbook& found = WorkbookFor(book);
  return found.Name() == name ? &found : nullptr;
}

host::Workbook& DispatchApplication::OpenWorkbook(const std::string& path) {
  FlushWrites();
  Variant opened = Call(Object(ea_, kApplication, L"Workbooks"), kWorkbooks, L"Open", {Variant::Text(path)});
  Dispatch book = Dispatch::Adopt(TakeDispatch(opened.Raw()));
  if (!book) book = Object(ea_, kApplication, L"ActiveWorkbook");
  return WorkbookFor(book);
}

host::Workbook& DispatchApplication::ThisWorkbook() { return WorkbookFor(Object(ea_, kApplication, L"ThisWorkbook")); }

host::Workbook& DispatchApplication::ActiveWorkbook() {
  return WorkbookFor(Object(ea_, kApplication, L"ActiveWorkbook"));
}

host::Window& DispatchApplication::ActiveWindow() { return *window_; }

bool DispatchApplication::DisplayAlerts() const { return ToBool(Get(ea_, kApplication, L"DisplayAlerts")); }

void DispatchApplication::SetDisplayAlerts(bool on) { Put(ea_, kApplication, L"DisplayAlerts", Variant::Bool(on)); }

bool DispatchApplication::ScreenUpdating() const { return ToBool(Get(ea_, kApplication, L"ScreenUpdating")); }

void DispatchApplication::SetScreenUpdating(bool on) {
  Put(ea_, kApplication, L"ScreenUpdating", Variant::Bool(on));
}

void DispatchApplication::CompleteWrites() {
  EndPageSetup();
  FlushWrites();
}

void DispatchApplication::StartPageSetup() {
  if (printerTalkOff_ || noPrinterSwitch_) return;
  try {
    Put(ea_, kApplication, L"PrintCommunication", Variant::Bool(false));
    printerTalkOff_ = true;
  } catch (const host::RuntimeError&) {
    noPrinterSwitch_ = true;
  }
}

void DispatchApplication::EndPageSetup() {
  if (!printerTalkOff_) return;
  printerTalkOff_ = false;
  Put(ea_, kApplication, L"PrintCommunication", Variant::Bool(true));
}

uint64_t DispatchApplication::Randomize() {
  const uint64_t seed = services_->RandomSeed();
  random_.seed(seed);
  return seed;
}

double DispatchApplication::Rnd() { return static_cast<double>(random_() >> 11) * (1.0 / 9007199254740992.0); }

void DispatchApplication::SetClipboard(host::Worksheet* sheet, const host::Rect& area) {
  if (sheet == nullptr) {
    clipSheet_ = nullptr;
    clipArea_ = host::Rect{};
    return;
  }
  auto* ours = dynamic_cast<DispatchWorksheet*>(sheet);
  if (ours == nullptr) host::Raise(host::kErrHost, "复制的区域不在本程序打开的工作表上");
  host::CheckRect(area);
  FlushWrites();
  // Range.Copy without a destination puts the area on the application's clipboard.
  const Dispatch range = Object(ours->Object(), "Worksheet", L"Range", {Variant::Text(A1Address(area))});
  Call(range, "Range", L"Copy");
  clipSheet_ = sheet;
  clipArea_ = area;
}

DispatchWorkbook& DispatchApplication::WorkbookFor(const Dispatch& book) {
  if (!book) host::Raise(91, "对象变量未设置 (Workbook)");
  for (const auto& known : books_) {
    if (SameObject(known->Object().Get(), book.Get())) return *known;
  }
  books_.push_back(std::make_unique<DispatchWorkbook>(*this, book));
  return *books_.back();
}

std::vector<DispatchWorksheet*> DispatchApplication::Sheets() const {
  std::vector<DispatchWorksheet*> sheets;
  for (const auto& book : books_) {
    for (const auto& sheet : book->KnownSheets()) sheets.push_back(sheet.get());
  }
  return sheets;
}

void DispatchApplication::FlushWrites() {
  bool wrote = false;
  for (DispatchWorksheet* sheet : Sheets()) wrote = sheet->FlushWrites() || wrote;
  if (!wrote) return;
  // Formulas may read the cells just written.
  for (DispatchWorksheet* sheet : Sheets()) {
    if (sheet->HoldsFormulas()) sheet->Forget();
  }
}

void DispatchApplication::CellsChanged(DispatchWorksheet* sheet) {
  for (DispatchWorksheet* known : Sheets()) {
    if (known == sheet || known->HoldsFormulas()) known->Forget();
  }
}

std::unique_ptr<host::Application> MakeDispatchApplication(IDispatch* EA, host::PlatformServices& services) {
  return std::make_unique<DispatchApplication>(EA, services);
}

}  // namespace fenban::automation
