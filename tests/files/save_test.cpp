// Saving: a temporary file renamed over the target when complete; files the
// model cannot reproduce are saved beside the original; a failed save
// leaves every file as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "files/files_test_support.h"
#include "files/model_compare.h"
#include "host/model_worksheet.h"

namespace fenban::files {
namespace {

using host::ModelWorkbook;
using host::Value;
using testing::DataFile;
using testing::FileErrorOf;
using testing::ReadBytes;
using testing::TempDir;

// The names in a folder, sorted.
std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SaveTest, AWorkbookOfOurOwnIsReplacedInPlace) {
  TempDir dir;
  ModelWorkbook first("名单.xlsx", dir.Path());
  first.AppendSheet("数据表").SetCellValue(1, 1, "旧");
  SaveResult created = SaveWorkbook(first);
  EXPECT_EQ(created.path, dir.File("名单.xlsx"));
  EXPECT_FALSE(created.besideOriginal);
  ::chmod(dir.File("名单.xlsx").c_str(), 0640);

  auto book = ReadWorkbook(dir.File("名单.xlsx"));
  book->ModelSheetAt(1).SetCellValue(1, 1, "新");
  const SaveResult saved = SaveWorkbook(*book);
  EXPECT_FALSE(saved.besideOriginal);
  EXPECT_EQ(saved.reason, "");
  EXPECT_EQ(saved.path, dir.File("名单.xlsx"));
  EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"名单.xlsx"});  // no temporary file left behind
  struct stat info {};
  ASSERT_EQ(::stat(dir.File("名单.xlsx").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  auto again = ReadWorkbook(dir.File("名单.xlsx"));
  EXPECT_EQ(again->ModelSheetAt(1).CellValue(1, 1), Value("新"));
  EXPECT_EQ(testing::DiffText(*book, *again), "");
}

TEST(SaveTest, AnXlsWorkbookIsSavedBesideItAsXlsx) {
  TempDir dir;
  std::filesystem::copy_file(DataFile("genuine.xls"), dir.File("genuine.xls"));
  const std::string original = ReadBytes(dir.File("genuine.xls"));
  auto book = ReadWorkbook(dir.File("genuine.xls"));
  book->ModelSheetAt(1).SetCellValue(4, 1, "王五");
  const SaveResult saved = SaveWorkbook(*book);
  EXPECT_TRUE(saved.besideOriginal);
  EXPECT_EQ(saved.path, dir.File("genuine(fenban).xlsx"));
  EXPECT_NE(saved.reason.find(".xls"), std::string::npos) << saved.reason;
  EXPECT_NE(saved.reason.find("genuine(fenban).xlsx"), std::string::npos) << saved.reason;
  EXPECT_EQ(ReadBytes(dir.File("genuine.xls")), original);
  EXPECT_EQ(book->Name(), "genuine(fenban).xlsx");
  EXPECT_FALSE(book->FileOrigin().fromXls);
  auto copy = ReadWorkbook(saved.path);
  EXPECT_EQ(copy->ModelSheetAt(1).CellValue(4, 1), Value("王五"));
  EXPECT_EQ(copy->ModelSheetAt(1).CellValue(2, 3), Value(612.5));

  // Later saves go to the new file, which is ours.
  book->ModelSheetAt(1).SetCellValue(5, 1, "赵六");
  const SaveResult later = SaveWorkbook(*book);
  EXPECT_FALSE(later.besideOriginal);
  EXPECT_EQ(later.path, dir.File("genuine(fenban).xlsx"));
  EXPECT_EQ(ReadWorkbook(later.path)->ModelSheetAt(1).CellValue(5, 1), Value("赵六"));
  EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"genuine(fenban).xlsx", "genuine.xls"}));
}

TEST(SaveTest, UnkeptPartsAreNamedAndTheOriginalStays) {
  TempDir dir;
  std::filesystem::copy_file(DataFile("with_chart.xlsx"), dir.File("with_chart.xlsx"));
  testing::WriteBytes(dir.File("with_chart(fenban).xlsx"), "an older copy");
  const std::string original = ReadBytes(dir.File("with_chart.xlsx"));
  auto book = ReadWorkbook(dir.File("with_chart.xlsx"));
  const SaveResult saved = SaveWorkbook(*book);
  EXPECT_TRUE(saved.besideOriginal);
  EXPECT_NE(saved.reason.find("图表"), std::string::npos) << saved.reason;
  EXPECT_NE(saved.reason.find("批注"), std::string::npos) << saved.reason;
  EXPECT_EQ(ReadBytes(dir.File("with_chart.xlsx")), original);
  EXPECT_EQ(ReadWorkbook(dir.File("with_chart(fenban).xlsx"))->ModelSheetAt(1).CellValue(1, 1), Value(1));
  EXPECT_TRUE(book->FileOrigin().unkeptParts.empty());
}

TEST(SaveTest, AWorkbookWithAnAutoFilterAndAPrintAreaIsReplacedInPlace) {
  TempDir dir;
  std::filesystem::copy_file(DataFile("filtered.xlsx"), dir.File("filtered.xlsx"));
  auto book = ReadWorkbook(dir.File("filtered.xlsx"));
  book->ModelSheetAt(1).SetCellValue(5, 1, "赵六");
  const SaveResult saved = SaveWorkbook(*book);
  EXPECT_FALSE(saved.besideOriginal) << saved.reason;
  EXPECT_EQ(saved.reason, "");
  EXPECT_EQ(saved.path, dir.File("filtered.xlsx"));
  EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"filtered.xlsx"});
  auto again = ReadWorkbook(dir.File("filtered.xlsx"));
  EXPECT_EQ(again->ModelSheetAt(1).CellValue(5, 1), Value("赵六"));
  EXPECT_EQ(again->ModelSheetAt(1).AutoFilterArea(), (host::Rect{1, 1, 4, 3}));
  EXPECT_EQ(again->ModelSheetAt(1).PrintArea(), (host::Rect{1, 1, 4, 3}));
  EXPECT_EQ(testing::DiffText(*book, *again), "");
}

TEST(SaveTest, AMacroWorkbookIsNeverOverwritten) {
  TempDir dir;
  std::filesystem::copy_file(DataFile("macro.xlsm"), dir.File("macro.xlsm"));
  const std::string original = ReadBytes(dir.File("macro.xlsm"));
  auto book = ReadWorkbook(dir.File("macro.xlsm"));
  const SaveResult saved = SaveWorkbook(*book);
  EXPECT_TRUE(saved.besideOriginal);
  EXPECT_EQ(saved.path, dir.File("macro(fenban).xlsx"));
  EXPECT_EQ(ReadBytes(dir.File("macro.xlsm")), original);
}

TEST(SaveTest, AnXlsmNameWithoutMacrosIsSavedBesideIt) {
  TempDir dir;
  // Nothing in it is lost, but its name promises macros: the original stays.
  ModelWorkbook plain("plain.xlsm", dir.Path());
  plain.AppendSheet("数据表").SetCellValue(1, 1, "姓名");
  WriteXlsx(plain, dir.File("plain.xlsm"));
  const std::string original = ReadBytes(dir.File("plain.xlsm"));
  auto book = ReadWorkbook(dir.File("plain.xlsm"));
  ASSERT_TRUE(book->FileOrigin().unkeptParts.empty());
  book->ModelSheetAt(1).SetCellValue(2, 1, "张三");
  const SaveResult saved = SaveWorkbook(*book);
  EXPECT_TRUE(saved.besideOriginal);
  EXPECT_EQ(saved.path, dir.File("plain(fenban).xlsx"));
  EXPECT_NE(saved.reason.find("不是 .xlsx 工作簿"), std::string::npos) << saved.reason;
  EXPECT_EQ(ReadBytes(dir.File("plain.xlsm")), original);
  EXPECT_EQ(ReadWorkbook(saved.path)->ModelSheetAt(1).CellValue(2, 1), Value("张三"));
}

TEST(SaveTest, AFailedSaveLeavesTheFilesAsTheyWere) {
  TempDir dir;
  // The target's name is taken by a folder: the rename fails after the write.
  std::filesystem::create_directory(dir.File("busy.xlsx"));
  ModelWorkbook book("busy.xlsx", dir.Path());
  book.AppendSheet("S").SetCellValue(1, 1, 1);
  const std::string error = FileErrorOf([&] { SaveWorkbook(book); });
  EXPECT_NE(error.find("busy.xlsx"), std::string::npos) << error;
  EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"busy.xlsx"});
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("busy.xlsx")));
  EXPECT_EQ(book.Name(), "busy.xlsx");

  ModelWorkbook lost("lost.xlsx", dir.File("no such folder"));
  lost.AppendSheet("S");
  EXPECT_NE(FileErrorOf([&] { SaveWorkbook(lost); }).find("lost.xlsx"), std::string::npos);
}

TEST(SaveTest, AReadOnlyFileIsRefused) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  TempDir dir;
  ModelWorkbook book("locked.xlsx", dir.Path());
  book.AppendSheet("S").SetCellValue(1, 1, 1);
  SaveWorkbook(book);
  ::chmod(dir.File("locked.xlsx").c_str(), 0444);
  const std::string before = ReadBytes(dir.File("locked.xlsx"));
  book.ModelSheetAt(1).SetCellValue(1, 1, 2);
  EXPECT_NE(FileErrorOf([&] { SaveWorkbook(book); }).find("只读"), std::string::npos);
  EXPECT_EQ(ReadBytes(dir.File("locked.xlsx")), before);
}

TEST(SaveTest, ALinkedFileIsUpdatedThroughTheLink) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("real"));
  ModelWorkbook book("data.xlsx", dir.File("real"));
  book.AppendSheet("S").SetCellValue(1, 1, "first");
  SaveWorkbook(book);
  std::filesystem::create_symlink(dir.File("real/data.xlsx"), dir.File("link.xlsx"));
  auto linked = ReadWorkbook(dir.File("link.xlsx"));
  linked->ModelSheetAt(1).SetCellValue(1, 1, "second");
  SaveWorkbook(*linked);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.xlsx")));
  EXPECT_EQ(ReadWorkbook(dir.File("real/data.xlsx"))->ModelSheetAt(1).CellValue(1, 1), Value("second"));
}

}  // namespace
}  // namespace fenban::files
