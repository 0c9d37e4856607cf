// The form's event code shipped for the host workbook: every event handler
// forwards exactly its own event name, every event name is forwarded once,
// and one myfb object is created when the form starts.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "automation/win_check.h"

namespace {

const char* const kEventNames[] = {
    "ltbBiaoClick",        "cmdFenBanClick",       "cmdTiaoBanClick",       "cmdDelClick",
    "cmdDengJiClick",      "chbXingBieAfterUpdate", "chbZuXiaoAfterUpdate",  "chbYingJieAfterUpdate",
    "txtFenBanAfterUpdate", "txtYouXiuAfterUpdate", "txtJiGeAfterUpdate",    "txtNMingAfterUpdate",
    "UserFormInitialize",  "cmdHelp",               "chbYouHuaAfterUpdate",  "txtJunHengAfterUpdate",
    "txtZongFenLieAfterUpdate"};

// The event a handler's name stands for: "cmdFenBan_Click" -> "cmdFenBanClick",
// "UserForm_Initialize" -> "UserFormInitialize"; the help button forwards "cmdHelp".
std::string EventOf(const std::string& handler) {
  if (handler == "cmdHelp_Click") return "cmdHelp";
  std::string name = handler;
  name.erase(name.find('_'), 1);
  return name;
}

}  // namespace

int wmain() {
  std::ifstream file(FENBAN_SOURCE_DIR "/src/automation/form_code/frmFenBan.code.txt");
  if (!CHECK(file.good())) return fenban::wincheck::Summary("form_code_test");
  std::stringstream content;
  content << file.rdbuf();
  const std::string code = content.str();

  // Each handler: Private Sub NAME() ... Fire "EVENT" ... End Sub
  const std::regex handler(R"(Private Sub (\w+)\(\)\s*\r?\n((?:(?!End Sub)[\s\S])*)End Sub)");
  const std::regex fire("Fire \"(\\w+)\"");
  std::map<std::string, int> forwarded;
  for (auto it = std::sregex_iterator(code.begin(), code.end(), handler); it != std::sregex_iterator(); ++it) {
    const std::string name = (*it)[1];
    const std::string body = (*it)[2];
    if (name == "Fire" || name == "UserForm_Terminate") continue;
    std::smatch call;
    if (!CHECK(std::regex_search(body, call, fire))) {
      std::printf("  %s forwards nothing\n", name.c_str());
      continue;
    }
    if (!CHECK(call[1] == EventOf(name))) std::printf("  %s forwards %s\n", name.c_str(), call[1].str().c_str());
    ++forwarded[call[1]];
  }
  for (const char* event : kEventNames) {
    if (!CHECK(forwarded[event] == 1)) std::printf("  %s forwarded %d times\n", event, forwarded[event]);
  }
  CHECK(forwarded.size() == std::size(kEventNames));
  // One object for the form's life, made when it starts, before the first event.
  const std::string creation = "Set fb = CreateObject(\"Vantrel.myfb\")";
  const size_t create = code.find(creation);
  CHECK(create != std::string::npos && code.find("CreateObject", create + creation.size()) == std::string::npos &&
        code.find("CreateObject") == create + 9);
  CHECK(create != std::string::npos && create < code.find("Fire \"UserFormInitialize\""));
  CHECK(code.find("fb.MyFun EA, UF, strFlag") != std::string::npos);
  return fenban::wincheck::Summary("form_code_test");
}
