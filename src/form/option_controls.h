// The form's eight option controls in one table: where each keeps its
// value, what a new host folder starts with, how its entry is checked, and
// what each front end calls it. The form's start-up, its after-update
// events, the settings sheet's defaults, the terminal's options, the stored
// values in the terminal's help and the page's controls all read it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace fenban::form {

enum class OptionKind {
  Count,  // a text box holding a whole number
  Check,  // a check box
};

struct OptionControl {
  std::string_view control;  // the form's control, e.g. "txtFenBan"
  OptionKind kind;
  int32_t settingsColumn;    // its value lives in "DTB" row 2, this column
  std::string_view header;   // "DTB" row 1 above it
  std::string_view label;    // its name for a teacher: the page's, the terminal's list
  std::string_view brief;    // its short name in the terminal's line of the options a division ran with
  std::string_view english;  // the same in English, for the terminal
  std::string_view option;   // the terminal's option: --classes; a check box also has --no-by-sex
  std::string_view help;     // the terminal's help for the option, Chinese then English
  std::string_view helpEnglish;
  std::string_view offHelp;  // the help of a check box's --no- option
  std::string_view meaning;  // one line in the terminal's option list
  int32_t defaultValue;      // a new host folder's value; check boxes: 0, not ticked
  // How the form checks a count: an entry of 0 becomes the default, and the
  // count is at most the data sheet's rows per class.
  bool zeroMeansDefault;
  bool capPerClass;
};

inline constexpr int32_t kOptionRow = 2;  // "DTB" row of the values

inline constexpr std::array<OptionControl, 8> kOptionControls = {{
    {"txtFenBan", OptionKind::Count, 3, "班级数", "班级数", "班级数", "classes", "classes", "班级数", "number of classes", "",
     "分成几个班 number of classes", 10, true, false},
    {"txtYouXiu", OptionKind::Count, 4, "优秀人数", "优秀人数", "优秀", "excellent", "excellent", "每班前 N 名算优秀，用于统计",
     "top N per class count as excellent in the statistics", "", "每班前几名算优秀 top N per class count as excellent",
     20, true, true},
    {"txtJiGe", OptionKind::Count, 5, "及格人数", "及格人数", "及格", "pass", "pass", "每班前 N 名算及格，用于统计",
     "top N per class count as passing in the statistics", "", "每班前几名算及格 top N per class count as passing", 30,
     true, true},
    {"txtNMing", OptionKind::Count, 6, "前N名", "前N名", "前N名", "top", "top", "均衡时全年级前 班级数×N 名只按成绩分配，0 关闭",
     "when balancing, the best classes×N students are dealt by rank alone; 0 switches it off", "",
     "均衡时前 班级数×N 名只按成绩分 the best classes×N are dealt by rank alone", 3, false, true},
    {"chbXingBie", OptionKind::Check, 7, "按性别", "按性别均衡", "按性别", "by sex", "by-sex", "按性别均衡",
     "balance the classes by sex", "不按性别均衡 (do not balance by sex)", "各班男女人数相近 even sexes", 0, false,
     false},
    {"chbZuXiao", OptionKind::Check, 8, "按住校", "按住校均衡", "按住校", "by boarding", "by-boarding", "按住校均衡",
     "balance the classes by boarding", "不按住校均衡 (do not balance by boarding)", "各班住校人数相近 even boarders", 0,
     false, false},
    {"chbYingJie", OptionKind::Check, 9, "按应届", "按应届均衡", "按应届", "by current", "by-current", "按应届均衡",
     "balance the classes by current-year graduates", "不按应届均衡 (do not balance by current-year graduates)",
     "各班应届人数相近 even current-year graduates", 0, false, false},
    {"chbYouHua", OptionKind::Check, 10, "优化均衡", "优化均衡", "优化", "refine", "refine",
     "分班后再调换学生，使各班总分、各科平均分、性别住校应届人数、优秀及格人数和总分标准差都接近，"
     "并满足“分开”“同班”列和同名分开",
     "after the deal, trade students between classes so that the classes become alike, keeping the 分开/同班 columns "
     "and same names apart",
     "不做优化 (no refinement: the serpentine deal as it is)",
     "分班后在班级间交换学生，使各班更接近 trade students until the classes are alike", 0, false, false},
}};

// The row of kOptionControls for a control name, or nullptr.
constexpr const OptionControl* FindOptionControl(std::string_view control) {
  for (const OptionControl& option : kOptionControls) {
    if (option.control == control) return &option;
  }
  return nullptr;
}

// The row for a control the code names itself; a name not in the table
// does not compile.
consteval const OptionControl& OptionControlNamed(std::string_view control) {
  const OptionControl* option = FindOptionControl(control);
  if (option == nullptr) throw "not an option control";
  return *option;
}

}  // namespace fenban::form
