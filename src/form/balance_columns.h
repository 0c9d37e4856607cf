// The "均衡列" option: extra category columns of the student list whose
// values a division spreads evenly over the classes ("毕业学校、原班级").
// The text box txtJunHeng holds the names as typed; "DTB" K2 keeps them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "form/form.h"
#include "host/application.h"

namespace fenban::form {

// The settings cell of the option: "DTB" row 2, column K. Host workbooks
// made before the option have it empty, which names no column.
inline constexpr int32_t kBalanceColumnsColumn = 11;

// The column names of an entry: separated by commas (, or ，), "、" or
// semicolons (; or ；), spaces around a name dropped, empty names left out,
// each name once in the order first given.
std::vector<std::string> SplitColumnNames(const std::string& text);
// The names as the form and "DTB" show them: "毕业学校、原班级".
std::string JoinColumnNames(const std::vector<std::string>& names);

// "txtJunHengAfterUpdate": the entry is rewritten as JoinColumnNames of its
// names and stored in "DTB" K2. No check against a data sheet here: the
// division names columns it does not find.
void BalanceColumnsAfterUpdate(host::Application& app, Form& form);

// The names the commands use: the text box's, or "DTB" K2's when the form
// has no such box (a form made before the option).
std::vector<std::string> BalanceColumnsOption(host::Application& app, Form& form);

}  // namespace fenban::form
