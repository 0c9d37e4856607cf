// "登记表": the subject column cleaned, the fixed markers and the yes/no
// choice for rounding the total score, with its drop-down list and help text.
#include <string>

#include "form/form_routines.h"
#include "host/errors.h"
#include "host/range.h"
#include "maintenance/maintenance.h"

namespace fenban::maintenance {

void BuildEntryTemplate(host::Application& app, form::Form& /*form*/) {
  host::Worksheet& sheet = host::SheetsOf(app.ThisWorkbook())("登记表");
  sheet.SetVisible(host::kSheetVisible);
  sheet.Activate();

  const host::Range subjects = sheet.Columns(1);
  subjects.Replace(" ", "", host::kLookAtPart);
  subjects.Replace("\u3000", "", host::kLookAtPart);
  subjects.Replace("\u00A0", "", host::kLookAtPart);
  subjects.Replace("【结束】", "", host::kLookAtWhole);

  sheet.Cells(1, 1).SetValue("【学科名登记列】");
  sheet.Cells(21, 1).SetValue("【结束】");
  sheet.Cells(1, 3).SetValue("【总分化为整数】");

  const host::Range choice = sheet.Cells(2, 3);
  const host::Validation validation = choice.GetValidation();
  validation.Delete();
  validation.Add(host::kValidateList, host::kValidAlertStop, host::kValidBetween, "是,否");
  validation.SetIgnoreBlank(false);
  validation.SetInputTitle("说明：");
  validation.SetInputMessage(
      "\n若把总分化为整数，选择是；否则，选择否。"
      "\n\n让程序把总分转化为整数，更利于均衡分班。");
}

}  // namespace fenban::maintenance
