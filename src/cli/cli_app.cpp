#include "cli/cli_app.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "app/app_error.h"
#include "division/list_layout.h"
#include "app/command_options.h"
#include "cli/commands.h"
#include "app/example_generator.h"
#include "cli/help_format.h"
#include "app/host_folder.h"
#include "app/stored_options.h"
#include "app/value_text.h"
#include "form/option_controls.h"
#include "cli/terminal_services.h"
#include "host/errors.h"

namespace fenban::cli {

namespace {

constexpr const char* kDescription =
    "fenban 把一个年级的学生分成均衡的班级，并统计各班的差异。\n"
    "fenban divides a school year's students into balanced classes and compares the classes.\n"
    "工作簿放在一个文件夹里 (the host folder): fenban.xlsx, 数据/ (学生名单 student lists), help.doc.";

constexpr const char* kFooter =
    "\n步骤 workflow:\n"
    "  fenban init 分班2026 --example 400\n"
    "      建立文件夹 create the host folder (and an example list)\n"
    "  fenban -C 分班2026 list\n"
    "      列出名单和选项 show the lists and options\n"
    "  fenban -C 分班2026 divide 示例.xlsx --classes 8 --by-sex\n"
    "      分班 divide\n"
    "  （在表格软件里调整班号 move students by hand in the spreadsheet program）\n"
    "  fenban -C 分班2026 stats 示例.xlsx 分班表1\n"
    "      重新统计 rebuild the statistics\n"
    "  fenban -C 分班2026 clean 示例.xlsx 分班表1\n"
    "      删除其余的分班 delete the other divisions\n"
    "  fenban -C 分班2026 history 示例.xlsx\n"
    "      列出旧版本 list the versions kept before each save\n"
    "  fenban -C 分班2026 restore 示例.xlsx 3\n"
    "      恢复版本 3 bring version 3 back (undo a command)\n"
    "  名单的文件名以 - 开头时写在 -- 后面 a BOOK beginning with - goes after --:\n"
    "      fenban divide -- -名单.xlsx\n"
    "\n退出状态 exit status: 0 成功 success; 1 有提示或错误 a message or error;\n"
    "2 用法错误 wrong usage.\n"
    "每个命令的说明 each command's help: fenban COMMAND --help";

// Count option: kept as typed; the form's own rules validate it.
CLI::Option* AddCount(CLI::App& command, const std::string& name, std::string& target, const std::string& help) {
  return command.add_option(name, target, help)->type_name("N");
}

// "现在 8 (now 8)" for a value the host folder holds, "默认 10 (default 10)" else.
std::pair<std::string, std::string> ValueNote(const app::StoredOptions& stored, const std::string& value) {
  return stored.fromFolder ? std::pair{"现在 " + value, "now " + value} : std::pair{"默认 " + value, "default " + value};
}

std::string YesNoNote(const app::StoredOptions& stored, bool value, const std::string& chinese, const std::string& english) {
  const auto [zh, en] = ValueNote(stored, value ? "是" : "否");
  return fmt::format("{}，{} ({}; {})", chinese, zh, english, stored.fromFolder ? (value ? "now yes" : "now no")
                                                                                 : (value ? "default yes" : "default no"));
}

using form::kOptionControls;
using form::OptionControl;
using form::OptionKind;

// What was typed for each count option, by its place in kOptionControls.
using CountEntries = std::array<std::string, kOptionControls.size()>;

std::string OptionName(const OptionControl& option) { return "--" + std::string(option.option); }
std::string NoOptionName(const OptionControl& option) { return "--no-" + std::string(option.option); }

bool Ticked(const host::Value& value) { return value.IsBoolean() && value.Bool(); }

void AddCountOptions(CLI::App& command, CountEntries& values, const app::StoredOptions& stored) {
  for (size_t i = 0; i < kOptionControls.size(); ++i) {
    const OptionControl& option = kOptionControls[i];
    if (option.kind != OptionKind::Count) continue;
    const auto [zh, en] = ValueNote(stored, app::DescribeValue(stored.values[i]));
    // A help whose parts a semicolon already sets apart goes on with one.
    const char* separator = option.helpEnglish.find(';') != std::string_view::npos ? "; " : ", ";
    AddCount(command, OptionName(option), values[i],
             fmt::format("{}，{} ({}{}{})", option.help, zh, option.helpEnglish, separator, en))
        ->type_name(option.option == "classes" ? "K" : "N");
  }
}

// A check box: --by-X (or --refine) ticks it, --no-by-X clears it.
void AddCheckOptions(CLI::App& command, const app::StoredOptions& stored) {
  for (size_t i = 0; i < kOptionControls.size(); ++i) {
    const OptionControl& option = kOptionControls[i];
    if (option.kind != OptionKind::Check) continue;
    command.add_flag(OptionName(option))
        ->description(YesNoNote(stored, Ticked(stored.values[i]), std::string(option.help),
                                std::string(option.helpEnglish)));
    command.add_flag(NoOptionName(option))->description(std::string(option.offHelp));
  }
}

// The count options given on the command line, by control.
app::CountOptions GivenCounts(const CLI::App& command, const CountEntries& values) {
  app::CountOptions counts;
  for (size_t i = 0; i < kOptionControls.size(); ++i) {
    const OptionControl& option = kOptionControls[i];
    if (option.kind == OptionKind::Count && command.count(OptionName(option)) > 0) {
      counts[std::string(option.control)] = values[i];
    }
  }
  return counts;
}

// The check boxes ticked or cleared on the command line, by control.
app::CheckOptions GivenChecks(const CLI::App& command) {
  app::CheckOptions checks;
  for (const OptionControl& option : kOptionControls) {
    if (option.kind != OptionKind::Check) continue;
    if (command.count(OptionName(option)) > 0) {
      checks[std::string(option.control)] = true;
    } else if (command.count(NoOptionName(option)) > 0) {
      checks[std::string(option.control)] = false;
    }
  }
  return checks;
}

// The "均衡列": column names as typed; the form's rules store them.
void AddBalanceOption(CLI::App& command, std::string& target, const app::StoredOptions& stored) {
  const auto note = ValueNote(stored, stored.balance.empty() ? "无" : stored.balance);
  const auto english = ValueNote(stored, stored.balance.empty() ? "none" : stored.balance);
  command
      .add_option("--balance", target,
                  fmt::format("均衡列：优化时使这些列的每个值在各班的人数相差不超过 1，统计表下方列出各班人数；"
                              "列名用逗号或顿号分开，\"\" 清空，{} (extra category columns whose values the "
                              "refinement spreads evenly, counted below the statistics; \"\" clears; {})",
                              note.first, english.second))
      ->type_name("毕业学校,原班级");
}

// The program's version, as --version prints it.
constexpr const char* kVersion = "fenban 1.0";

// A seed is a whole number from 0 to 2^64 - 1; "-1" must not wrap around.
const CLI::Validator kSeedValidator(
    [](std::string& text) -> std::string {
      uint64_t value = 0;
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return fmt::format("随机种子 {} 无效，应为 0 到 {} 的整数 (the seed must be a whole number from 0 to {})",
                           text, UINT64_MAX, UINT64_MAX);
      }
      return "";
    },
    "S");

// Usage errors of the argument parser in Chinese, with its English text.
std::string UsageMessage(const CLI::App* app, const CLI::Error& error) {
  const std::string name = error.get_name();
  std::string chinese = "用法错误";
  if (name == "RequiredError") {
    chinese = std::string(error.what()).find("subcommand") != std::string::npos ? "需要一个命令" : "缺少必需的参数";
  } else if (name == "ExtrasError" || std::string(error.what()).find("not expected") != std::string::npos) {
    chinese = "有多余或不认识的参数";
  } else if (name == "ConversionError" || name == "ValidationError") {
    chinese = "参数的值无效";
  } else if (name == "ArgumentMismatch") {
    chinese = "参数的个数不对";
  } else if (name == "ExcludesError" || name == "RequiresError") {
    chinese = "这些选项不能这样搭配";
  }
  const std::vector<CLI::App*> chosen = app->get_subcommands();
  const std::string command = chosen.empty() ? "fenban" : "fenban " + chosen.back()->get_name();
  std::string text = error.what();
  // A validator's own message is already in both languages.
  if (text.find("随机种子") != std::string::npos) return fmt::format("{}: {}\n用法 usage: {} --help\n", command, text, command);
  return fmt::format("{}: {} ({})\n用法 usage: {} --help\n", command, chinese, text, command);
}

// Edit distance between two ASCII words.
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The first word of the command line that is not an option or an option's
// value: the command the user meant to give.
std::string GivenCommand(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") return i + 1 < argc ? argv[i + 1] : "";
    if (word == "-C" || word == "--dir") {
      ++i;
      continue;
    }
    if (!word.empty() && word.front() == '-') continue;
    return word;
  }
  return "";
}

// The nearest of `names` to `word`, when one is near: within a third of its
// length in edits, or beginning with the word.
std::optional<std::string> Nearest(const std::vector<std::string>& names, const std::string& word) {
  std::optional<std::string> best;
  size_t bestDistance = 0;
  for (const std::string& name : names) {
    const size_t distance = EditDistance(word, name);
    const bool near = distance <= std::max<size_t>(1, name.size() / 3) || name.rfind(word, 0) == 0;
    if (near && (!best || distance < bestDistance)) {
      best = name;
      bestDistance = distance;
    }
  }
  return best;
}

// The long option names a command accepts, its parent's included.
std::vector<std::string> LongOptionNames(const CLI::App& command) {
  std::vector<std::string> names;
  for (const CLI::App* app = &command; app != nullptr; app = app->get_parent()) {
    for (const CLI::Option* option : app->get_options()) {
      for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    }
  }
  return names;
}

// The first "--word" of the command line that `command` does not know.
std::optional<std::string> UnknownOption(const CLI::App& command, int argc, const char* const* argv) {
  const std::vector<std::string> known = LongOptionNames(command);
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") break;
    if (word.rfind("--", 0) != 0) continue;
    const std::string name = word.substr(0, word.find('='));
    if (std::find(known.begin(), known.end(), name) == known.end()) return name;
  }
  return std::nullopt;
}

// The host folder the command line names with -C or --dir, "." when none.
std::string GivenFolder(int argc, const char* const* argv) {
  std::string folder = ".";
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") break;
    if ((word == "-C" || word == "--dir") && i + 1 < argc) folder = argv[++i];
    else if (word.rfind("--dir=", 0) == 0) folder = word.substr(6);
    else if (word.size() > 2 && word.rfind("-C", 0) == 0) folder = word.substr(2);
  }
  return folder;
}

bool AsksForHelp(int argc, const char* const* argv) {
  if (argc <= 1) return true;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") break;
    if (word == "-h" || word == "--help") return true;
  }
  return false;
}

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::vector<std::string> SplitSubjects(const std::string& list) {
  std::string normalised;
  for (size_t i = 0; i < list.size();) {
    if (list.compare(i, 3, "，") == 0 || list.compare(i, 3, "、") == 0) {
      normalised += ',';
      i += 3;
    } else {
      normalised += list[i++];
    }
  }
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= normalised.size()) {
    size_t end = normalised.find(',', start);
    if (end == std::string::npos) end = normalised.size();
    std::string name = Trim(normalised.substr(start, end - start));
    if (!name.empty()) names.push_back(name);
    start = end + 1;
  }
  return names;
}

int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err, const ServeRunner& serve) {
  CLI::App app{kDescription, "fenban"};
  app.formatter(std::make_shared<HelpFormatter>());
  app.set_help_flag("-h,--help", "显示这段说明 (print this help)");
  const std::filesystem::path here = std::filesystem::current_path();
  // Reading the host workbook costs time, so only the help reads it.
  const app::StoredOptions stored = AsksForHelp(argc, argv) ? app::ReadStoredOptions(app::ResolveFolder(here, GivenFolder(argc, argv)))
                                                       : app::StoredOptions{};
  app.failure_message(UsageMessage);
  app.set_version_flag("--version", kVersion, "显示版本 (print the version)");
  app.footer(kFooter);
  app.require_subcommand(1);
  app.fallthrough();
  std::string hostDir = ".";
  app.add_option("-C,--dir", hostDir, "fenban.xlsx 所在的文件夹，默认当前文件夹 (the host folder, default: here)")
      ->type_name("DIR");

  // init
  CLI::App* init = app.add_subcommand(
      "init", "建立文件夹：fenban.xlsx、数据/、help.doc (create the host folder: fenban.xlsx, 数据/, help.doc)");
  std::string initDir;
  int32_t exampleCount = 0;
  uint64_t exampleSeed = app::kDefaultExampleSeed;
  init->add_option("DIR", initDir, "要建立的文件夹，默认 -C 的文件夹 (folder to create, default the -C folder)");
  init->add_option("--example", exampleCount,
                   "在 数据/ 里生成有 N 名学生的 示例.xlsx (write 数据/示例.xlsx with N generated students)")
      ->check(CLI::Range(1, app::kMaxExampleStudents));
  init->add_option("--seed", exampleSeed,
                   fmt::format("示例名单的随机种子，默认 {} (seed of the example list)", app::kDefaultExampleSeed))
      ->check(kSeedValidator);
  init->footer("已有 fenban.xlsx 时不覆盖它；只给 --example 时只重写示例名单，原来的示例留作旧版本。\n"
               "An existing fenban.xlsx is never overwritten; with --example only the example is (re)written,\n"
               "the one there kept as a version (fenban history 示例.xlsx).");

  // list
  CLI::App* list = app.add_subcommand("list", "列出数据工作簿和九个选项 (list the data workbooks and the option values)");

  // divide
  CLI::App* divide = app.add_subcommand("divide", "分班 (divide the students of BOOK into classes)");
  std::string divideBook, roundChoice;
  CountEntries divideCounts;
  uint64_t divideSeed = 0;
  divide->add_option("BOOK", divideBook, "数据工作簿的文件名，与 list 显示的相同 (file name as list shows it)")
      ->required();
  AddCountOptions(*divide, divideCounts, stored);
  AddCheckOptions(*divide, stored);
  std::string divideBalance, statsBalance;
  AddBalanceOption(*divide, divideBalance, stored);
  divide->add_option("--round", roundChoice,
                     YesNoNote(stored, stored.round, "分班前把总分四舍五入为整数：yes 或 no",
                               "round the totals to whole numbers first"))
      ->check(CLI::IsMember({"yes", "no", "是", "否"}));
  int32_t headerRow = 0;
  std::string totalColumn;
  divide->add_option("--header-row", headerRow,
                     "表头在第 N 行：先删去上面的标题行、取消表头的合并单元格，原文件留作旧版本 "
                     "(the headers are in row N: remove the title rows above and unmerge the header cells first)")
      ->type_name("N")
      ->check(CLI::Range(1, division::kMostHeaderRow));
  divide->add_option("--total-column", totalColumn,
                     fmt::format("按这一列分班（分班表里仍叫“总分”），保存在 fenban.xlsx 里；"" 恢复用“总分”列{} "
                                 "(the header of the column to rank by, stored)",
                                 stored.totalColumn.empty() ? "" : fmt::format("，现在是 {}", stored.totalColumn)))
      ->type_name("表头");
  divide->add_flag("--total-from-subjects")->description(
                   "没有总分时，先按登记表的学科把各科成绩加起来，写成新的“总分”列（空成绩按 0 分算） "
                   "(add up the subjects of 登记表 into a new 总分 column first)");
  divide->add_option("--seed", divideSeed,
                     "随机种子，用它可以重复同样的分班 (random seed: the same seed repeats the same division)")
      ->type_name("S")
      ->check(kSeedValidator);
  divide->footer("给出的选项依次按班级数、优秀、及格、前N名、三个均衡项检查并保存在 fenban.xlsx 里；没给的沿用保存的值。\n"
                 "Options given are checked and stored in fenban.xlsx as the form would; the others keep their stored values.");

  // stats
  CLI::App* stats = app.add_subcommand(
      "stats", "重建 SHEET 所属一对分班表/统计表的统计 (rebuild the statistics of SHEET's pair)");
  std::string statsBook, statsSheet;
  CountEntries statsCounts;
  stats->add_option("BOOK", statsBook, "数据工作簿 (data workbook)")->required();
  stats->add_option("SHEET", statsSheet, "分班表或统计表，如 分班表1 (a division or statistics sheet, e.g. 分班表1)")
      ->required();
  AddCountOptions(*stats, statsCounts, stored);
  AddBalanceOption(*stats, statsBalance, stored);

  // clean
  CLI::App* clean = app.add_subcommand(
      "clean", "删除“数据表”和 SHEET 所属一对表以外的工作表 (delete every sheet but 数据表 and SHEET's pair)");
  std::string cleanBook, cleanSheet = "数据表";
  clean->add_option("BOOK", cleanBook, "数据工作簿 (data workbook)")->required();
  clean->add_option("SHEET", cleanSheet, "要保留的分班表或统计表，默认 数据表：只留 数据表 (sheet whose pair is kept)");
  clean->footer("删除前的文件留作旧版本，删错了可用 fenban restore BOOK 恢复。\n"
                "The file as it was is kept as a version: fenban restore BOOK brings it back.");

  // template
  CLI::App* templ = app.add_subcommand("template", "重建“登记表” (rebuild the entry template sheet 登记表)");
  std::string subjectList;
  templ->add_option("--subjects", subjectList,
                    "要统计的学科，逗号分隔，最多 19 个 (subjects to compare, comma-separated, at most 19)")
      ->type_name("语文,数学,...");

  // history, restore
  CLI::App* history = app.add_subcommand(
      "history", "列出工作簿的旧版本：每次命令替换它之前留下的文件 (list the versions kept of a workbook)");
  std::string historyBook;
  history->add_option("BOOK", historyBook,
                      "数据工作簿的文件名，或 fenban.xlsx (a data workbook's file name, or fenban.xlsx)")
      ->required();
  CLI::App* restore = app.add_subcommand(
      "restore", "把工作簿恢复成一个旧版本 (bring a kept version of a workbook back)");
  std::string restoreBook;
  int32_t restoreVersion = 0;
  restore->add_option("BOOK", restoreBook,
                      "数据工作簿的文件名，或 fenban.xlsx (a data workbook's file name, or fenban.xlsx)")
      ->required();
  restore->add_option("N", restoreVersion, "history 显示的版本编号，默认最新的 (version number as history shows it, "
                                           "default the newest)")
      ->check(CLI::Range(1, INT32_MAX));
  restore->footer("恢复前的文件也留作一个版本，所以恢复也可以撤销。fenban.xlsx 保存选项和登记表。\n"
                  "The file replaced becomes a version too, so a restore can be undone. "
                  "fenban.xlsx holds the options and 登记表.");

  // export
  CLI::App* exportCommand = app.add_subcommand(
      "export", "把分班表导出为张贴或发送用的名单：只含所选的列，不含成绩和名次 (class lists to post or send)");
  std::string exportBook, exportColumns;
  app::ExportOptions exportOptions;
  exportCommand->add_option("BOOK", exportBook, "数据文件夹里的工作簿 (a workbook in the data folder)")->required();
  exportCommand->add_option("SHEET", exportOptions.sheet, "分班表，例如 分班表1 (the division sheet)")->required();
  exportCommand->add_option("--columns", exportColumns,
                            "导出的列，逗号分隔，默认 姓名,性别 和考号 (columns, default 姓名, 性别 and the number)")
      ->type_name("姓名,性别,考号");
  exportCommand->add_flag("--per-class-files", exportOptions.perClassFiles,
                          "每班一个工作簿，便于发给班主任 (one workbook per class)");
  exportCommand->add_option("--sort", exportOptions.sortBy, "按这一列排序，例如 姓名 或 考号 (sort by this column)");
  exportCommand->add_option("--heading", exportOptions.heading,
                            "每班的标题，{n} 代表班号，默认 \"{n}班\" (heading of each class, {n} is the class)")
      ->type_name("\"高一({n})班\"");
  exportCommand->footer("名单写在原工作簿旁边，原工作簿不变。Written beside the list; the division is not changed.");

  // help
  CLI::App* help = app.add_subcommand("help", "打开使用说明 help.doc (open the manual help.doc)");

  // serve
  CLI::App* serveCommand = app.add_subcommand(
      "serve", "在浏览器里使用分班：启动本机网页服务 (use fenban in a web browser: start a local web server)");
  app::ServeOptions serveOptions;
  int32_t servePort = 0;
  serveCommand->add_option("--port", servePort, "端口，默认找一个空闲端口 (port, default a free one)")
      ->check(CLI::Range(1, 65535));
  serveCommand->add_option("--listen", serveOptions.listen,
                           "监听的地址，默认 127.0.0.1，只在本机可用 (address to listen on, default 127.0.0.1)");
  serveCommand->add_flag("--open", serveOptions.open, "用浏览器打开网页 (open the page in the browser)");

  for (CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) command->group("命令 commands");

  if (argc <= 1) {
    err << app.help();
    return app::kExitUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const std::string given = GivenCommand(argc, argv);
    const auto known = app.get_subcommands([&given](const CLI::App* command) { return command->get_name() == given; });
    if (!given.empty() && known.empty() && app.get_subcommands().empty() &&
        error.get_exit_code() != static_cast<int>(CLI::ExitCodes::Success)) {
      // Not one of the commands: say so, and which one was probably meant.
      err << fmt::format("fenban: 没有命令 “{}” (no such command)", given);
      std::vector<std::string> commands;
      for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
        commands.push_back(command->get_name());
      }
      if (const auto nearest = Nearest(commands, given)) {
        err << fmt::format("；你是不是想用 did you mean: fenban {}", *nearest);
      }
      err << "\n用法 usage: fenban --help\n";
      return app::kExitUsage;
    }
    const bool helpOrVersion = error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success);
    const CLI::App* command = known.empty() ? &app : known.front();
    if (!helpOrVersion) {
      if (const auto unknown = UnknownOption(*command, argc, argv)) {
        const std::string commandName = command == &app ? "fenban" : "fenban " + command->get_name();
        // Compare without the leading dashes, so that "--x" is not near every "--y".
        std::vector<std::string> names;
        for (const std::string& name : LongOptionNames(*command)) names.push_back(name.substr(2));
        err << fmt::format("{}: 没有选项 {}", commandName, *unknown);
        if (const auto nearest = Nearest(names, unknown->substr(2))) {
          err << fmt::format("；你是不是想用 --{} (no such option; did you mean --{})", *nearest, *nearest);
        } else {
          err << " (no such option)";
        }
        err << fmt::format("\n用法 usage: {} --help\n", commandName);
        return app::kExitUsage;
      }
    }
    int status = app.exit(error, out, err);
    return status == static_cast<int>(CLI::ExitCodes::Success) ? app::kExitSuccess : app::kExitUsage;
  }

  for (const OptionControl& option : kOptionControls) {
    if (option.kind != OptionKind::Check) continue;
    const std::string on = OptionName(option), off = NoOptionName(option);
    if (divide->parsed() && divide->count(on) > 0 && divide->count(off) > 0) {
      err << fmt::format("fenban divide: {} 和 {} 只能选一个 (choose one of {} and {})\n", on, off, on, off);
      return app::kExitUsage;
    }
  }

  std::optional<std::vector<std::string>> subjects;
  if (templ->parsed() && templ->count("--subjects") > 0) {
    subjects = SplitSubjects(subjectList);
    if (subjects->size() > app::kMaxSubjects) {
      err << fmt::format("fenban template: 最多 {} 个学科，给了 {} 个 (at most {} subjects, {} given)\n", app::kMaxSubjects,
                         subjects->size(), app::kMaxSubjects, subjects->size());
      return app::kExitUsage;
    }
  }

  const std::filesystem::path folder = app::ResolveFolder(here, hostDir);
  Terminal terminal{out, err};
  try {
    if (init->parsed()) {
      app::InitOptions options;
      options.folder = app::ResolveFolder(folder, initDir);
      if (init->count("--example") > 0) options.exampleStudents = exampleCount;
      options.exampleSeed = exampleSeed;
      return RunInit(options, terminal);
    }
    if (list->parsed()) return RunList(folder, terminal);
    if (divide->parsed()) {
      app::DivideOptions options;
      options.book = divideBook;
      options.counts = GivenCounts(*divide, divideCounts);
      options.checks = GivenChecks(*divide);
      if (divide->count("--balance") > 0) options.balance = divideBalance;
      if (divide->count("--round") > 0) options.round = roundChoice == "yes" || roundChoice == "是";
      if (divide->count("--seed") > 0) options.seed = divideSeed;
      if (divide->count("--header-row") > 0) options.list.headerRow = headerRow;
      if (divide->count("--total-column") > 0) options.list.totalColumn = totalColumn;
      options.list.totalFromSubjects = divide->count("--total-from-subjects") > 0;
      return RunDivide(folder, options, terminal);
    }
    if (stats->parsed()) {
      app::StatsOptions options;
      options.book = statsBook;
      options.sheet = statsSheet;
      options.counts = GivenCounts(*stats, statsCounts);
      if (stats->count("--balance") > 0) options.balance = statsBalance;
      return RunStats(folder, options, terminal);
    }
    if (clean->parsed()) return RunClean(folder, app::CleanOptions{cleanBook, cleanSheet}, terminal);
    if (templ->parsed()) return RunTemplate(folder, app::TemplateOptions{subjects}, terminal);
    if (history->parsed()) return RunHistory(folder, historyBook, terminal);
    if (restore->parsed()) {
      app::RestoreOptions options{restoreBook, std::nullopt};
      if (restore->count("N") > 0) options.version = restoreVersion;
      return RunRestore(folder, options, terminal);
    }
    if (exportCommand->parsed()) {
      if (exportCommand->count("--columns") > 0) exportOptions.columns = SplitSubjects(exportColumns);
      return RunExport(folder, exportBook, exportOptions, terminal);
    }
    if (help->parsed()) return RunHelp(folder, terminal);
    if (serveCommand->parsed()) {
      if (!serve) throw app::AppError("这个程序没有网页服务 this build has no web server");
      if (serveCommand->count("--port") > 0) serveOptions.port = servePort;
      return serve(folder, serveOptions, out, err);
    }
  } catch (const app::AppError& error) {
    err << "fenban: " << error.what() << '\n';
    return app::kExitMessage;
  } catch (const host::RuntimeError& error) {
    err << fmt::format("错误: 错误[{}] {}\n", error.Number(), BoxTextForTerminal(error.Description()));
    return app::kExitMessage;
  } catch (const std::exception& error) {
    err << "fenban: " << error.what() << '\n';
    return app::kExitMessage;
  }
  err << app.help();
  return app::kExitUsage;
}

}  // namespace fenban::cli
