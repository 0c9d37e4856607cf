// "登记表": the subject column cleaned, the fixed markers and the yes/no
// choice for rounding the total score, with its drop-down list and help text.
#include <string>

#include "form/form_routines.h"
#include "host/errors.h"
#include "host/range.h"
#include "maintenance/maintenance.h"
#include "sheets/workbook_layout.h"

namespace fenban::maintenance {

void BuildEntryTemplate(host::Application& app, form::Form& /*form*/) {
  using Entry = sheets::EntryTemplate;
  host::Worksheet& sheet = host::SheetsOf(app.ThisWorkbook())(Entry::kSheetName);
  sheet.SetVisible(host::kSheetVisible);
  sheet.Activate();

  const host::Range subjects = sheet.Columns(Entry::kSubjectColumn);
  subjects.Replace(" ", "", host::kLookAtPart);
  subjects.Replace("\u3000", "", host::kLookAtPart);
  subjects.Replace("\u00A0", "", host::kLookAtPart);
  subjects.Replace("【结束】", "", host::kLookAtWhole);

  sheet.Cells(Entry::kFirstSubjectRow - 1, Entry::kSubjectColumn).SetValue("【学科名登记列】");
  sheet.Cells(Entry::kLastSubjectRow + 1, Entry::kSubjectColumn).SetValue("【结束】");
  sheet.Cells(Entry::kRoundingRow - 1, Entry::kRoundingColumn).SetValue("【总分化为整数】");

  const host::Range choice = sheet.Cells(Entry::kRoundingRow, Entry::kRoundingColumn);
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
