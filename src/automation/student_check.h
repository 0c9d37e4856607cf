// The last look before a division or a recount is reported as done: every
// student of the list on "数据表" stands exactly once on the division sheet.
// The application does the copying and sorting; a program that loses or
// doubles a row on the way must not leave a division that looks complete.
#pragma once

#include <cstdint>
#include <string>

#include "form/module_state.h"
#include "host/application.h"
#include "host/services.h"
#include "host/worksheet.h"

namespace fenban::automation {

// The error text when a student of the list is missing from the division
// sheet, or stands on it more than once; empty when each stands there once.
// A student is the row of the list's block around A1 (below its header row)
// with the values of every column but "总分", which the division may have
// rounded; the division sheet's header row is the first of its first three
// rows that names all those columns.
std::string StudentCountMismatch(const host::Worksheet& dataSheet, const host::Worksheet& divisionSheet);

// The platform services of one MyFun call, with the check run where the
// command reports success (its beep): when armed, a mismatch raises the
// error instead, so that the error box says what is wrong and no beep
// tells the teacher the division is done.
class CheckedServices final : public host::PlatformServices {
 public:
  explicit CheckedServices(host::PlatformServices& inner) : inner_(inner) {}
  // The commands whose success is checked: the division and the recount.
  static bool Checks(const std::string& flag) { return flag == "cmdFenBanClick" || flag == "cmdTiaoBanClick"; }
  // The next beep first checks the division sheet of the pair that is
  // active in the list's workbook.
  void Arm(host::Application& app, const form::ModuleState& state) {
    app_ = &app;
    state_ = &state;
  }

  int32_t MsgBox(const std::string& prompt, int32_t style, const std::string& title) override {
    return inner_.MsgBox(prompt, style, title);
  }
  void Beep(int32_t frequency, int32_t milliseconds) override;
  std::string ShortDate() override { return inner_.ShortDate(); }
  uint64_t RandomSeed() override { return inner_.RandomSeed(); }
  std::vector<std::string> ListDirectory(const std::string& folder) override { return inner_.ListDirectory(folder); }
  void OpenDocument(const std::string& path) override { inner_.OpenDocument(path); }

 private:
  host::PlatformServices& inner_;
  host::Application* app_ = nullptr;
  const form::ModuleState* state_ = nullptr;
};

}  // namespace fenban::automation
