// What the command line asks of each command, after parsing.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sheets/workbook_layout.h"

namespace fenban::app {

// The option text boxes given, by control name (form::kOptionControls),
// as typed: the form's rules validate them.
using CountOptions = std::map<std::string, std::string, std::less<>>;

// The option check boxes given, by control name: ticked or cleared.
using CheckOptions = std::map<std::string, bool, std::less<>>;

// How the student list is read: the header row confirmed, the total column
// named (stored like the other options), the total added up from the subjects.
struct ListOptions {
  std::optional<int32_t> headerRow;        // txtBiaoTouHang, this division only
  std::optional<std::string> totalColumn;  // txtZongFenLie ("" for "总分")
  bool totalFromSubjects = false;          // chbSuanZongFen, this division only
};

struct DivideOptions {
  std::string book;
  CountOptions counts;
  CheckOptions checks;
  std::optional<std::string> balance;  // txtJunHeng: the "均衡列", as typed
  ListOptions list;
  std::optional<bool> round;  // "登记表" C2: 是 / 否
  std::optional<uint64_t> seed;
};

struct StatsOptions {
  std::string book;
  std::string sheet;
  CountOptions counts;
  std::optional<std::string> balance;  // txtJunHeng
};

struct CleanOptions {
  std::string book;
  std::string sheet = "数据表";
};

struct TemplateOptions {
  std::optional<std::vector<std::string>> subjects;
};

struct RestoreOptions {
  std::string book;
  std::optional<int32_t> version;  // the newest when not given
};

struct ServeOptions {
  std::optional<int32_t> port;        // a free port when not given
  std::string listen = "127.0.0.1";   // the address to listen on
  bool open = false;                  // open the page in the desktop's browser
};

// At most this many subject names fit into the entry template.
inline constexpr size_t kMaxSubjects =
    sheets::EntryTemplate::kLastSubjectRow - sheets::EntryTemplate::kFirstSubjectRow + 1;

}  // namespace fenban::app
