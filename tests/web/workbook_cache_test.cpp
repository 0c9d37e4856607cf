// The page's workbook cache: a workbook is read again whenever its file is
// not the one it was read from, however little changed, and a copy handed
// out to change leaves the kept workbook alone.
#include <sys/stat.h>
#include <fcntl.h>

#include <gtest/gtest.h>

#include "cli/cli_test_support.h"
#include "files/workbook_files.h"
#include "web/workbook_cache.h"

namespace fenban::web {
namespace {

namespace fs = std::filesystem;

void WriteBook(const fs::path& file, double value) {
  host::ModelWorkbook book(file.filename().string(), file.parent_path().string());
  host::ModelWorksheet& sheet = book.AppendSheet("数据表");
  sheet.SetCellValue(1, 1, "总分");
  sheet.SetCellValue(2, 1, value);
  files::WriteXlsx(book, file.string());
}

double ValueIn(host::ModelWorkbook& book) { return book.SheetAt(1).CellValue(2, 1).Number(); }

void SetModified(const fs::path& file, const timespec& when) {
  const timespec times[2] = {when, when};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

timespec ModifiedOf(const fs::path& file) {
  struct stat info {};
  ::stat(file.c_str(), &info);
  return info.st_mtim;
}

class WorkbookCacheTest : public ::testing::Test {
 protected:
  // Two workbooks of the same size whose one cell differs: 500 in `file`,
  // the other value (returned) in `other`.
  double WriteSameSizePair(const fs::path& file, const fs::path& other) {
    WriteBook(file, 500);
    for (double value = 501; value < 600; ++value) {
      WriteBook(other, value);
      if (fs::file_size(other) == fs::file_size(file)) return value;
    }
    ADD_FAILURE() << "no two workbooks of the same size";
    return 0;
  }

  clitest::TempFolder temp_;
  fs::path file_ = temp_.Path() / "名单.xlsx";
  fs::path other_ = temp_.Path() / "other.xlsx";
  WorkbookCache cache_;
};

TEST_F(WorkbookCacheTest, AnUnchangedFileIsReadOnceAndCopiesLeaveTheKeptWorkbookAlone) {
  WriteBook(file_, 500);
  EXPECT_EQ(ValueIn(cache_.Current(file_)), 500);
  std::unique_ptr<host::ModelWorkbook> copy = cache_.Copy(file_);
  copy->SheetAt(1).SetCellValue(2, 1, 1.0);
  copy->SheetAt(1).SetName("改名");
  EXPECT_EQ(ValueIn(cache_.Current(file_)), 500);
  EXPECT_EQ(cache_.Current(file_).SheetAt(1).Name(), "数据表");
  EXPECT_EQ(cache_.Reads(), 1);
  EXPECT_EQ(copy->Name(), "名单.xlsx");
  EXPECT_EQ(copy->FileOrigin().fullPath, cache_.Current(file_).FileOrigin().fullPath);
}

TEST_F(WorkbookCacheTest, ASameSizedFileWithANewTimeIsReadAgain) {
  const double changed = WriteSameSizePair(file_, other_);
  const timespec before = ModifiedOf(file_);
  EXPECT_EQ(ValueIn(cache_.Current(file_)), 500);
  fs::rename(other_, file_);
  SetModified(file_, {before.tv_sec + 2, before.tv_nsec});
  EXPECT_EQ(ValueIn(cache_.Current(file_)), changed);

  // The same bytes with only a new time: read again too, as the page's
  // versions count it as another file.
  const int reads = cache_.Reads();
  SetModified(file_, {before.tv_sec + 4, before.tv_nsec});
  cache_.Current(file_);
  EXPECT_EQ(cache_.Reads(), reads + 1);
}

TEST_F(WorkbookCacheTest, ANewContentUnderTheSameTimeAndSizeIsReadAgain) {
  const double changed = WriteSameSizePair(file_, other_);
  const timespec before = ModifiedOf(file_);
  EXPECT_EQ(ValueIn(cache_.Current(file_)), 500);
  fs::rename(other_, file_);
  SetModified(file_, before);
  ASSERT_EQ(ModifiedOf(file_).tv_nsec, before.tv_nsec);
  EXPECT_EQ(ValueIn(cache_.Current(file_)), changed) << "only the hash of the bytes tells these files apart";
}

TEST_F(WorkbookCacheTest, AKeptWorkbookStandsForTheBytesWrittenUntilTheFileChanges) {
  WriteBook(file_, 500);
  std::unique_ptr<host::ModelWorkbook> saved = cache_.Copy(file_);
  saved->SheetAt(1).SetCellValue(2, 1, 700.0);
  files::WriteXlsx(*saved, file_.string());
  const host::ModelWorkbook* written = saved.get();
  cache_.Keep(file_, VersionOf(file_), std::move(saved));
  const int reads = cache_.Reads();
  EXPECT_EQ(&cache_.Current(file_), written) << "the workbook itself is kept, not a copy";
  EXPECT_EQ(ValueIn(cache_.Current(file_)), 700);
  EXPECT_EQ(cache_.Reads(), reads) << "what was just saved is not read back";

  WriteBook(file_, 800);  // another program writes after the save
  EXPECT_EQ(ValueIn(cache_.Current(file_)), 800);
}

TEST_F(WorkbookCacheTest, ACloneWritesTheSameFileAsTheWorkbookItCopies) {
  // A workbook with more than cells: formats, merges, column widths.
  WriteBook(file_, 500);
  std::unique_ptr<host::ModelWorkbook> book = files::ReadWorkbook(file_.string());
  host::Worksheet& sheet = book->SheetAt(1);
  sheet.Merge({3, 1, 3, 3});
  sheet.SetColumnWidth(2, 2, 20);
  sheet.Format({1, 1, 1, 1}, [](host::CellStyle& style) { style.bold = true; });
  sheet.AddHPageBreak(2);
  book->AppendSheet("统计表1").SetCellValue(1, 1, "最大差");
  book->SetActiveSheetIndex(2);
  files::WriteXlsx(*book, file_.string());
  files::WriteXlsx(*book->Clone(), other_.string());
  EXPECT_EQ(clitest::ReadFile(file_), clitest::ReadFile(other_));
}

}  // namespace
}  // namespace fenban::web
