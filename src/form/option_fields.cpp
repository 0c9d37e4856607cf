// Option fields: the check boxes are stored as they are, the numeric boxes
// are validated, capped by the data sheet's size and stored in "DTB" row 2.
#include <cmath>
#include <string>
#include <string_view>

#include "form/form_routines.h"
#include "form/option_controls.h"
#include "host/cell_values.h"
#include "host/errors.h"
#include "host/range.h"

namespace fenban::form {

namespace {

// A text box's entry is a number when it holds one or a text that reads as
// one; an empty box is not numeric.
bool IsNumericEntry(const host::Value& entry) { return !entry.IsEmpty() && entry.IsNumeric(); }

// Whole part of the absolute value of a box's entry, as a Long (error 6
// when too large, naming the box).
int32_t WholeAbsolute(Form& form, const std::string& control, const host::Value& entry) {
  try {
    return host::RoundToLong(host::WholePart(std::fabs(entry.ToDouble())));
  } catch (const host::RuntimeError& error) {
    RaiseAtTextBox(error, form, control);
  }
}

// The class count box's value as a Long; an empty box is a type mismatch.
int32_t ClassCountValue(Form& form) { return TextBoxLong(form, "txtFenBan"); }

int32_t IntegerDivide(int32_t dividend, int32_t divisor) {
  if (divisor == 0) host::Raise(host::kErrDivisionByZero);
  return dividend / divisor;
}

}  // namespace

void SaveCheckOption(host::Application& app, Form& form, const std::string& eventName) {
  constexpr std::string_view kSuffix = "AfterUpdate";
  const std::string_view name(eventName);
  if (!name.ends_with(kSuffix)) return;
  const OptionControl* option = FindOptionControl(name.substr(0, name.size() - kSuffix.size()));
  if (option == nullptr || option->kind != OptionKind::Check) return;
  const std::string box(option->control);
  SettingsSheet(app).SetCellValue(kOptionRow, option->settingsColumn, form.ControlValue(box));
}

void ValidateCountOption(host::Application& app, const ModuleState& state, Form& form, const std::string& control,
                         int32_t divisor, int32_t column, int32_t defaultValue, bool zeroToDefault, bool cap) {
  int32_t b = 0;
  const host::Value entry = form.ControlValue(control);
  if (IsNumericEntry(entry)) {
    b = WholeAbsolute(form, control, entry);
    if (!state.DataBookName.empty()) {
      host::Workbook& dataBook = host::Workbooks(app)(state.DataBookName);
      host::Worksheet& dataSheet = host::SheetsOf(dataBook)("数据表");
      const int32_t rows = dataSheet.Cells(1, 1).CurrentRegion().RowsCount();
      const int32_t perDivisor = IntegerDivide(rows, divisor);
      if (cap) {
        if (perDivisor < b) b = perDivisor;
      } else if (perDivisor == 0) {
        // Fewer rows than classes: one class per student. A sheet with only
        // its header row gives 0 (then the default), never a negative count.
        b = rows > 2 ? rows - 2 : 0;
      }
    } else {
      b = host::CellLong(SettingsSheet(app), kOptionRow, column);
    }
  } else {
    b = defaultValue;
  }
  if (b == 0 && zeroToDefault) b = defaultValue;

  form.SetControlValue(control, host::Value(b));
  SettingsSheet(app).SetCellValue(kOptionRow, column, host::Value(b));
}

// Validates a count box by its row of kOptionControls.
void ValidateCount(host::Application& app, const ModuleState& state, Form& form, const OptionControl& option,
                   int32_t divisor) {
  ValidateCountOption(app, state, form, std::string(option.control), divisor, option.settingsColumn,
                      option.defaultValue, option.zeroMeansDefault, option.capPerClass);
}

void TotalColumnAfterUpdate(host::Application& app, Form& form) {
  const std::string header = TotalColumnOption(form);
  form.SetControlValue("txtZongFenLie", host::Value(header));
  SettingsSheet(app).SetCellValue(2, kTotalColumnOptionColumn, header.empty() ? host::Value() : host::Value(header));
}

std::string TotalColumnOption(Form& form) {
  std::string header;
  host::SkipOnError([&] {
    const host::Value value = form.ControlValue("txtZongFenLie");
    if (!value.IsError()) header = value.ToText();
  });
  const auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
  while (!header.empty() && isSpace(header.back())) header.pop_back();
  size_t start = 0;
  while (start < header.size() && isSpace(header[start])) ++start;
  return header.substr(start);
}

void ClassCountAfterUpdate(host::Application& app, Form& form, const ModuleState& state) {
  constexpr const OptionControl& kClasses = OptionControlNamed("txtFenBan");
  int32_t n = kClasses.defaultValue;
  const host::Value entry = form.ControlValue("txtFenBan");
  if (IsNumericEntry(entry)) {
    n = WholeAbsolute(form, "txtFenBan", entry);
    if (n == 0) n = kClasses.defaultValue;
  }
  ValidateCount(app, state, form, kClasses, n);
}

void ExcellentAfterUpdate(host::Application& app, Form& form, const ModuleState& state) {
  ValidateCount(app, state, form, OptionControlNamed("txtYouXiu"), ClassCountValue(form));
}

void PassAfterUpdate(host::Application& app, Form& form, const ModuleState& state) {
  ValidateCount(app, state, form, OptionControlNamed("txtJiGe"), ClassCountValue(form));
}

void TopNAfterUpdate(host::Application& app, Form& form, const ModuleState& state) {
  ValidateCount(app, state, form, OptionControlNamed("txtNMing"), ClassCountValue(form));
}

}  // namespace fenban::form
