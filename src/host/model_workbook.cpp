#include "host/model_workbook.h"

#include <algorithm>
#include <string>

#include "host/errors.h"
#include "host/model_application.h"

namespace fenban::host {

namespace {

std::string AsciiLower(const std::string& text) {
  std::string lower = text;
  for (char& ch : lower) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return lower;
}

}  // namespace

ModelWorkbook::ModelWorkbook(std::string name, std::string path) : name_(std::move(name)), path_(std::move(path)) {}

Application& ModelWorkbook::Parent() {
  if (app_ == nullptr) Raise(91);
  return *app_;
}

void ModelWorkbook::Activate() {
  if (app_ != nullptr) app_->SetActiveWorkbook(*this);
}

Worksheet& ModelWorkbook::SheetAt(int32_t index) { return ModelSheetAt(index); }

ModelWorksheet& ModelWorkbook::ModelSheetAt(int32_t index) {
  if (index < 1 || index > SheetCount()) Raise(kErrSubscript);
  return *sheets_[static_cast<size_t>(index - 1)];
}

Worksheet* ModelWorkbook::FindSheet(const std::string& name) {
  for (auto& sheet : sheets_) {
    if (sheet->Name() == name) return sheet.get();
  }
  return nullptr;
}

void ModelWorkbook::CheckSheetName(const std::string& name, const Worksheet* sheet) const {
  const size_t length = CharCount(name);
  if (length < 1 || length > 31) Raise(kErrHost, "工作表名称的长度必须在 1 到 31 个字符之间");
  if (name.find_first_of(":\\/?*[]") != std::string::npos) {
    Raise(kErrHost, "工作表名称不能包含 : \\ / ? * [ ] 这些字符");
  }
  if (name.front() == '\'' || name.back() == '\'') Raise(kErrHost, "工作表名称不能以单引号开头或结尾");
  const std::string lower = AsciiLower(name);
  for (const auto& other : sheets_) {
    if (other.get() != sheet && AsciiLower(other->Name()) == lower) {
      Raise(kErrHost, "工作表名称“" + name + "”已被使用");
    }
  }
}

Worksheet& ModelWorkbook::AddSheet(Worksheet* after) {
  size_t position = 0;
  if (after != nullptr) {
    const int32_t index = IndexOf(*after);
    if (index == 0) Raise(kErrHost, "指定的工作表不在此工作簿中");
    position = static_cast<size_t>(index);
  } else if (!sheets_.empty()) {
    position = static_cast<size_t>(std::clamp(active_, 1, SheetCount()) - 1);
  }
  std::string name;
  for (int32_t n = 1;; ++n) {
    name = "Sheet" + std::to_string(n);
    const std::string lower = AsciiLower(name);
    const bool used = std::any_of(sheets_.begin(), sheets_.end(),
                                  [&lower](const auto& sheet) { return AsciiLower(sheet->Name()) == lower; });
    if (!used) break;
  }
  auto sheet = std::make_unique<ModelWorksheet>(*this, name);
  ModelWorksheet& added = *sheet;
  sheets_.insert(sheets_.begin() + static_cast<std::ptrdiff_t>(position), std::move(sheet));
  active_ = static_cast<int32_t>(position) + 1;
  // The new sheet is the application's active sheet, so its workbook becomes active too.
  Activate();
  return added;
}

Worksheet& ModelWorkbook::ActiveSheet() {
  if (sheets_.empty()) Raise(91);
  return ModelSheetAt(std::clamp(active_, 1, SheetCount()));
}

void ModelWorkbook::SetTabRatio(double ratio) {
  if (!(ratio >= 0 && ratio <= 1)) Raise(kErrHost, "工作表标签比例必须在 0 到 1 之间");
  tabRatio_ = ratio;
}

std::unique_ptr<ModelWorkbook> ModelWorkbook::Clone() const {
  auto copy = std::make_unique<ModelWorkbook>(name_, path_);
  for (const std::unique_ptr<ModelWorksheet>& sheet : sheets_) copy->sheets_.push_back(sheet->CloneFor(*copy));
  copy->active_ = active_;
  copy->tabRatio_ = tabRatio_;
  copy->date1904_ = date1904_;
  copy->styles_ = styles_;
  copy->origin_ = origin_;
  return copy;
}

ModelWorksheet& ModelWorkbook::AppendSheet(const std::string& name) {
  CheckSheetName(name, nullptr);
  sheets_.push_back(std::make_unique<ModelWorksheet>(*this, name));
  if (sheets_.size() == 1) active_ = 1;
  return *sheets_.back();
}

int32_t ModelWorkbook::VisibleSheetCount() const {
  return static_cast<int32_t>(std::count_if(sheets_.begin(), sheets_.end(),
                                            [](const auto& sheet) { return sheet->Visible() == kSheetVisible; }));
}

void ModelWorkbook::ActivateNearestVisible(int32_t index) {
  const int32_t count = SheetCount();
  for (int32_t i = std::max(index, 1); i <= count; ++i) {
    if (sheets_[static_cast<size_t>(i - 1)]->Visible() == kSheetVisible) {
      active_ = i;
      return;
    }
  }
  for (int32_t i = std::min(index, count); i >= 1; --i) {
    if (sheets_[static_cast<size_t>(i - 1)]->Visible() == kSheetVisible) {
      active_ = i;
      return;
    }
  }
  active_ = std::clamp(index, 1, std::max(count, 1));
}

void ModelWorkbook::RemoveSheet(ModelWorksheet& sheet) {
  const int32_t index = IndexOf(sheet);
  if (index == 0) Raise(kErrHost, "工作表不在此工作簿中");
  if (sheet.Visible() == kSheetVisible && VisibleSheetCount() <= 1) {
    Raise(kErrHost, "工作簿中至少要有一张可见的工作表");
  }
  if (app_ != nullptr) app_->ForgetSheet(&sheet);
  const bool wasActive = index == active_;
  sheets_.erase(sheets_.begin() + (index - 1));
  if (index < active_) {
    --active_;
  } else if (wasActive) {
    ActivateNearestVisible(index);
  }
}

int32_t ModelWorkbook::IndexOf(const Worksheet& sheet) const {
  for (size_t i = 0; i < sheets_.size(); ++i) {
    if (sheets_[i].get() == &sheet) return static_cast<int32_t>(i) + 1;
  }
  return 0;
}

void ModelWorkbook::SetActiveSheetIndex(int32_t index) {
  if (index < 1 || index > SheetCount()) Raise(kErrSubscript);
  active_ = index;
}

}  // namespace fenban::host
