// CSV student lists: the encodings and separators spreadsheets export, the
// quoting they use, the values as a spreadsheet types them, and the new
// workbook beside the CSV that never replaces a file. The workbook is read
// back by openpyxl, an independent reader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "files/csv_list.h"
#include "files/file_error.h"
#include "files_test_support.h"
#include "host/errors.h"

namespace fenban::files::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file << bytes;
}

TEST(CsvList, EncodingsAndSeparatorsReadAlike) {
  const Rows expected = {{"姓名", "总分"}, {"张三", "600"}};
  // "姓名,总分\r\n张三,600" in GBK, as Excel on a Chinese Windows saves it.
  const std::string gbk = "\xD0\xD5\xC3\xFB,\xD7\xDC\xB7\xD6\r\n\xD5\xC5\xC8\xFD,600\r\n";
  for (const std::string& bytes : {std::string("姓名,总分\n张三,600\n"), std::string("\xEF\xBB\xBF姓名,总分\r\n张三,600\r\n"),
                                   gbk, std::string("姓名\t总分\n张三\t600\n\n\n")}) {
    EXPECT_EQ(ParseCsv(CsvTextAsUtf8(bytes)), expected) << bytes;
  }
  // Bytes that are neither UTF-8 nor GBK are refused, not read as rubbish.
  EXPECT_THROW(CsvTextAsUtf8("\xFF\xFF\xFF"), FormatError);
}

TEST(CsvList, QuotedFieldsKeepSeparatorsLineBreaksAndQuotes) {
  EXPECT_EQ(ParseCsv("姓名,备注,总分\n\"李, 四\",\"说\"\"好\"\"\n第二行\",\n"),
            (Rows{{"姓名", "备注", "总分"}, {"李, 四", "说\"好\"\n第二行", ""}}));
  // A comma in a tab-separated list is text; the first line decides.
  EXPECT_EQ(ParseCsv("姓名\t总分\n王,五\t1,5\n"), (Rows{{"姓名", "总分"}, {"王,五", "1,5"}}));
}

TEST(CsvList, NumbersStayNumbersAndCodesStayText) {
  const auto book = CsvWorkbook({{"学号", "身份证号", "总分", "姓名"}, {"007", "110101200801011234", "598.5", "赵六"}},
                                "名单.xlsx", "/tmp");
  const host::Worksheet& sheet = book->SheetAt(1);
  EXPECT_EQ(sheet.Name(), "数据表");
  EXPECT_EQ(sheet.CellValue(2, 1), host::Value("007"));
  EXPECT_EQ(sheet.CellValue(2, 2), host::Value("110101200801011234"));
  EXPECT_EQ(sheet.CellValue(2, 3), host::Value(598.5));
  EXPECT_EQ(sheet.CellValue(2, 4), host::Value("赵六"));
}

TEST(CsvList, TheWorkbookIsNewBesideTheCsvAndOpensInOpenpyxl) {
  TempDir dir;
  WriteBytes(dir.File("名单.csv"), "\xEF\xBB\xBF学号,姓名,总分\n007,张三,600\n");
  WriteBytes(dir.File("名单.xlsx"), "a teacher's own file");
  const CsvConversion first = ConvertCsvList(dir.Path(), "名单.csv");
  EXPECT_EQ(first.workbookName, "名单(2).xlsx");
  EXPECT_EQ(first.note, "已把 名单.csv 读成新工作簿 名单(2).xlsx（2 行，工作表“数据表”）。名单.csv 没有改动，以后分班请用 名单(2).xlsx。");
  const CsvConversion second = ConvertCsvList(dir.Path(), "名单.csv");
  EXPECT_EQ(second.workbookName, "名单(3).xlsx");
  std::ifstream kept(dir.File("名单.xlsx"));
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "a teacher's own file");

  const auto book = ReadWorkbook(dir.File("名单(2).xlsx"));
  EXPECT_EQ(book->SheetAt(1).CellValue(2, 1), host::Value("007"));
  if (std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no openpyxl";
  const std::string check = "/usr/bin/python3 -c \"import openpyxl,sys; ws=openpyxl.load_workbook(sys.argv[1])['数据表']; "
                            "sys.exit(0 if [c.value for c in ws[2]]==['007','张三',600] else 1)\" '" +
                            dir.File("名单(2).xlsx") + "'";
  EXPECT_EQ(std::system(check.c_str()), 0);
}

TEST(CsvList, AnEmptyOrUnreadableCsvIsAFileError) {
  TempDir dir;
  WriteBytes(dir.File("空.csv"), "\n\n");
  try {
    ConvertCsvList(dir.Path(), "空.csv");
    ADD_FAILURE() << "no error";
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), host::kErrFile);
    EXPECT_NE(error.Description().find("文件是空的"), std::string::npos) << error.Description();
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("空.xlsx")));
  EXPECT_TRUE(IsCsvName("名单.CSV"));
  EXPECT_FALSE(IsCsvName("名单.xlsx"));
}

}  // namespace
}  // namespace fenban::files::testing
