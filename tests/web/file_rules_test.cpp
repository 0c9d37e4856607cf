#include "web/file_rules.h"

#include <gtest/gtest.h>

namespace fenban::web {
namespace {

TEST(UploadNames, PlainWorkbookNamesAreAccepted) {
  for (const char* name : {"名单.xlsx", "a.XLS", "二班 名单.xls", "2026(1).xlsx", "x.Xlsx", "名单.csv", "x.CSV"}) {
    EXPECT_FALSE(UploadNameProblem(name).has_value()) << name;
  }
}

TEST(UploadNames, NamesLeavingTheFolderOrNotWorkbooksAreRefused) {
  for (const char* name : {"../x.xlsx", "..", "a/b.xlsx", "/etc/x.xlsx", "a\\b.xlsx", "..\\x.xls", ".x.xlsx",
                           ".~lock.x.xlsx#", "~$x.xlsx", "x.txt", ".csv", "x.xlsx.exe", "x.xlsm", ".xlsx", "xlsx", "",
                           "c:x.xlsx", "a\nb.xlsx"}) {
    EXPECT_TRUE(UploadNameProblem(name).has_value()) << name;
  }
  EXPECT_TRUE(UploadNameProblem(std::string(300, 'a') + ".xlsx").has_value());
}

}  // namespace
}  // namespace fenban::web
