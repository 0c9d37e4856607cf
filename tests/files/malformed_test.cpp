// Bad input never crashes: every broken file gives a run-time error with
// number kErrFile, a description naming the file and what is wrong, and
// leaves the file as it was.
#include <gtest/gtest.h>

#include <random>

#include "files/file_error.h"
#include "files/files_test_support.h"

namespace fenban::files {
namespace {

using testing::DataFile;
using testing::FileErrorOf;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// Reads the file, expects a kErrFile error naming it and containing `what`,
// and checks the file is unchanged.
void ExpectRefused(const std::string& path, const std::string& what) {
  const std::string before = ReadBytes(path);
  const std::string error = FileErrorOf([&] { ReadWorkbook(path); });
  ASSERT_FALSE(error.empty()) << path << " was read without complaint";
  EXPECT_NE(error.find(FileNameOf(path)), std::string::npos) << error;
  EXPECT_NE(error.find(what), std::string::npos) << error;
  EXPECT_EQ(ReadBytes(path), before);
}

TEST(MalformedTest, PackagesThatAreDamagedOrLie) {
  ExpectRefused(DataFile("missing_shared_strings.xlsx"), "共享字符串");
  ExpectRefused(DataFile("beyond_columns.xlsx"), "XFE1");
  ExpectRefused(DataFile("beyond_rows.xlsx"), "1048577");
  ExpectRefused(DataFile("cut_sheet.xlsx"), "xl/worksheets/sheet1.xml");
  ExpectRefused(DataFile("claims_1gb.xlsx"), "过大");
  ExpectRefused(DataFile("doctype.xlsx"), "DOCTYPE");
  ExpectRefused(DataFile("shared_part.xlsx"), "共用");
}

// A damaged .xls file (found by fuzzing) on which FreeXL itself misbehaves:
// it runs in a child process, so the program only sees a refusal.
TEST(MalformedTest, AnXlsFileThatUpsetsFreeXl) { ExpectRefused(DataFile("freexl_fault.xls"), "损坏"); }

TEST(MalformedTest, FilesThatAreNoWorkbook) {
  ExpectRefused(DataFile("encrypted.xlsx"), "设有打开密码");
  // Before, a password-protected .xls said that it held no worksheets.
  ExpectRefused(DataFile("password.xls"), "设有打开密码");
  ExpectRefused(DataFile("not_a_workbook.xlsx"), "不是 Excel 工作簿");
  ExpectRefused(DataFile("document.docx"), "不是 Excel 工作簿");
  TempDir dir;
  WriteBytes(dir.File("empty.xlsx"), "");
  ExpectRefused(dir.File("empty.xlsx"), "空");
  EXPECT_NE(FileErrorOf([&] { ReadWorkbook(dir.File("missing.xlsx")); }).find("不存在"), std::string::npos);
  EXPECT_NE(FileErrorOf([&] { ReadWorkbook(dir.Path()); }).find("文件夹"), std::string::npos);
}

TEST(MalformedTest, TruncatedFilesAtManyLengths) {
  TempDir dir;
  for (const char* name : {"handmade.xlsx", "openpyxl_styled.xlsx", "genuine.xls"}) {
    const std::string bytes = ReadBytes(DataFile(name));
    // A compound file's last sector may be padding FreeXL does not need, so
    // .xls files are only cut where real content goes missing.
    const bool xls = std::string(name).ends_with(".xls");
    std::vector<size_t> lengths{bytes.size() / 2, size_t{100}, size_t{9}};
    if (!xls) lengths.insert(lengths.end(), {bytes.size() - 1, bytes.size() - 22});
    for (size_t length : lengths) {
      SCOPED_TRACE(std::string(name) + " cut to " + std::to_string(length) + " bytes");
      const std::string path = dir.File(std::string("cut-") + name);
      WriteBytes(path, bytes.substr(0, length));
      ExpectRefused(path, "");
    }
  }
}

// Flipped bytes anywhere in a package: either the file still reads or it is
// refused with kErrFile; nothing else may happen.
TEST(MalformedTest, CorruptedBytesNeverCrash) {
  TempDir dir;
  std::mt19937 random(12345);
  for (const char* name : {"handmade.xlsx", "genuine.xls"}) {
    const std::string original = ReadBytes(DataFile(name));
    std::uniform_int_distribution<size_t> position(0, original.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    int refused = 0;
    for (int round = 0; round < 150; ++round) {
      std::string bytes = original;
      for (int k = 0; k < 1 + round % 4; ++k) bytes[position(random)] = static_cast<char>(byte(random));
      const std::string path = dir.File(name);
      WriteBytes(path, bytes);
      const std::string error = FileErrorOf([&] { ReadWorkbook(path); });
      EXPECT_EQ(error.find("wrong error number"), std::string::npos) << error;
      if (!error.empty()) ++refused;
    }
    EXPECT_GT(refused, 0) << name;
  }
}

TEST(MalformedTest, MemoryInputGivesTheSameErrors) {
  const std::string cut = ReadBytes(DataFile("cut_sheet.xlsx"));
  const std::string error = FileErrorOf([&] { ReadWorkbookFromMemory(cut.data(), cut.size(), "input.xlsx"); });
  EXPECT_NE(error.find("input.xlsx"), std::string::npos) << error;
  EXPECT_NE(FileErrorOf([] { ReadWorkbookFromMemory("PK\x03\x04", 4, "tiny.xlsx"); }), "");
  EXPECT_NE(FileErrorOf([] { ReadWorkbookFromMemory("", 0, "nothing.xlsx"); }), "");
}

}  // namespace
}  // namespace fenban::files
