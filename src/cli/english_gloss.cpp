#include "cli/english_gloss.h"

#include <array>
#include <utility>

namespace fenban::cli {

namespace {

// A text that identifies a message, and its English.
constexpr std::array<std::pair<const char*, const char*>, 19> kGlosses = {{
    {"的“新班级”不是",
     "students whose class is none of the division's classes; correct their 新班级 and run stats again"},
    {"的班数不同：",
     "the class count differs from the division's; the statistics use the division's own classes"},
    {"里没有学生，不能统计", "the division sheet holds no students"},
    {"算不出的公式",
     "total formulas saved without results that fenban cannot compute: open and save the file once in a "
     "spreadsheet program, or enter the totals as numbers"},
    {"但读不到：", "the 总分 header stands beyond an empty header cell; give every column its own header"},
    {"表头不在第 1 行",
     "the headers are not in row 1 (title rows above them, or merged header cells): confirm the header row with "
     "--header-row N to remove the title rows and unmerge the header cells first (the file is kept as a version)"},
    {"与找到的第", "the header row given is not the one found; nothing was changed"},
    {"列，不能分班！",
     "no total column: the headers of row 1 are listed; name the total's header with --total-column, or add up "
     "the subjects with --total-from-subjects"},
    {"不用再算", "the list has a 总分 column already: leave out --total-from-subjects"},
    {"不能用各科成绩算总分", "none of the subjects of 登记表 is a header of row 1"},
    {"是隐藏的工作表", "the sheet 数据表 is hidden: unhide it in the spreadsheet program, save, then choose the list again"},
    {"分班表放不下", "too many students for one sheet: at most 1,048,574"},
    {"少于班级数", "fewer students than classes: lower the class count or complete the list"},
    {"数据表里没有学生", "the list holds no students"},
    {"列，没有分班。", "a column --balance names is not in the header row of 数据表, whose headers are listed; nothing was divided"},
    {"列，统计表里没有它的人数表", "a column --balance names is not on the division sheet: the statistics have no table for it"},
    {"个不同的值，多于", "a --balance column of more than 60 values (an ID or name column) is neither balanced nor counted"},
    {"只在勾选“优化均衡”时才会均衡",
     "the --balance columns are spread only with --refine; this division only counts them below the statistics"},
    {"只在勾选“优化均衡”时", "分开/同班 are kept only with --refine; this division did not use them"},
}};

}  // namespace

std::string EnglishGloss(const std::string& text) {
  for (const auto& [key, english] : kGlosses) {
    if (text.find(key) != std::string::npos) return english;
  }
  return "";
}

}  // namespace fenban::cli
