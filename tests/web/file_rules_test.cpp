#include "web/file_rules.h"

#include <fstream>

#include <gtest/gtest.h>

#include "cli/cli_test_support.h"

namespace fenban::web {
namespace {

TEST(UploadNames, PlainWorkbookNamesAreAccepted) {
  for (const char* name : {"名单.xlsx", "a.XLS", "二班 名单.xls", "2026(1).xlsx", "x.Xlsx"}) {
    EXPECT_FALSE(UploadNameProblem(name).has_value()) << name;
  }
}

TEST(UploadNames, NamesLeavingTheFolderOrNotWorkbooksAreRefused) {
  for (const char* name : {"../x.xlsx", "..", "a/b.xlsx", "/etc/x.xlsx", "a\\b.xlsx", "..\\x.xls", ".x.xlsx",
                           ".~lock.x.xlsx#", "~$x.xlsx", "x.csv", "x.xlsx.exe", "x.xlsm", ".xlsx", "xlsx", "",
                           "c:x.xlsx", "a\nb.xlsx"}) {
    EXPECT_TRUE(UploadNameProblem(name).has_value()) << name;
  }
  EXPECT_TRUE(UploadNameProblem(std::string(300, 'a') + ".xlsx").has_value());
}

TEST(SpreadsheetLocks, EachProgramsLockFileIsFound) {
  clitest::TempFolder folder;
  std::filesystem::path book = folder.Path() / "长名字的名单.xlsx";
  std::ofstream(book) << "x";
  EXPECT_FALSE(SpreadsheetLockFile(book).has_value());
  for (std::string lock : {".~lock.长名字的名单.xlsx#", "~$长名字的名单.xlsx", "~$字的名单.xlsx"}) {
    std::filesystem::path path = folder.Path() / lock;
    std::ofstream(path) << "locked";
    std::optional<std::filesystem::path> found = SpreadsheetLockFile(book);
    ASSERT_TRUE(found.has_value()) << lock;
    EXPECT_EQ(found->filename().string(), lock);
    std::filesystem::remove(path);
  }
  // Another workbook's lock does not count.
  std::ofstream(folder.Path() / ".~lock.别的.xlsx#") << "locked";
  EXPECT_FALSE(SpreadsheetLockFile(book).has_value());
}

}  // namespace
}  // namespace fenban::web
