// The parts of a save that keep the teacher's files whole: the read-back
// check, the program's own temporary files and their removal, and the
// journal of a save of two workbooks.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "files/file_error.h"
#include "files/files_test_support.h"
#include "files/package_builder.h"
#include "files/save_check.h"
#include "files/temporary_files.h"
#include "files/workbook_files.h"
#include "host/model_worksheet.h"

namespace fenban::files {
namespace {

using host::ModelWorkbook;
using host::Value;
using testing::TempDir;

std::string CheckFailure(const ModelWorkbook& book, const std::string& path) {
  try {
    CheckWrittenFile(book, path);
  } catch (const FormatError& error) {
    return error.what();
  }
  return "";
}

// A workbook with the values whose writing loses something on purpose.
std::unique_ptr<ModelWorkbook> AwkwardBook(const std::string& folder) {
  auto book = std::make_unique<ModelWorkbook>("名单.xlsx", folder);
  host::ModelWorksheet& sheet = book->AppendSheet("数据表");
  sheet.SetCellValue(1, 1, "姓名");
  sheet.SetCellValue(1, 2, 0.1 + 0.2);  // more digits than are written
  sheet.SetCellValue(2, 1, std::numeric_limits<double>::infinity());
  sheet.SetCellValue(2, 2, "");
  sheet.SetCellValue(3, 1, std::string(32767, 'x'));  // as long as a cell holds
  sheet.SetCellValue(3, 2, Value::Boolean(true));
  sheet.SetCellValue(4, 3, "_x0041_ 字面");
  book->AppendSheet("统计表1").SetCellValue(5, 5, 7);
  return book;
}

TEST(SaveCheck, AFaithfulFileReadsBackDespiteTheKnownLossesOfWriting) {
  TempDir dir;
  auto book = AwkwardBook(dir.Path());
  WriteXlsx(*book, dir.File("a.xlsx"));
  EXPECT_EQ(CheckFailure(*book, dir.File("a.xlsx")), "");
}

TEST(SaveCheck, EveryKindOfDifferenceIsFoundAndNamed) {
  TempDir dir;
  auto book = AwkwardBook(dir.Path());
  WriteXlsx(*book, dir.File("a.xlsx"));

  book->ModelSheetAt(1).SetCellValue(1, 2, 0.3001);
  EXPECT_NE(CheckFailure(*book, dir.File("a.xlsx")).find("“数据表”单元格 B1"), std::string::npos);
  book->ModelSheetAt(1).SetCellValue(1, 2, 0.1 + 0.2);

  book->ModelSheetAt(2).SetCellValue(9, 1, "多一行");  // the file lacks a row the model holds
  EXPECT_NE(CheckFailure(*book, dir.File("a.xlsx")).find("“统计表1”单元格 A9"), std::string::npos);
  book->ModelSheetAt(2).SetCellValue(9, 1, Value());

  book->ModelSheetAt(1).SetCellValue(3, 2, Value::Boolean(false));
  EXPECT_NE(CheckFailure(*book, dir.File("a.xlsx")).find("B3"), std::string::npos);
  book->ModelSheetAt(1).SetCellValue(3, 2, Value::Boolean(true));
  EXPECT_EQ(CheckFailure(*book, dir.File("a.xlsx")), "");

  book->AppendSheet("分班表1");
  EXPECT_NE(CheckFailure(*book, dir.File("a.xlsx")), "");
}

TEST(SaveCheck, ATruncatedFileFails) {
  TempDir dir;
  auto book = AwkwardBook(dir.Path());
  WriteXlsx(*book, dir.File("a.xlsx"));
  const std::string bytes = testing::ReadBytes(dir.File("a.xlsx"));
  testing::WriteBytes(dir.File("a.xlsx"), bytes.substr(0, bytes.size() * 2 / 3));
  EXPECT_NE(CheckFailure(*book, dir.File("a.xlsx")), "");
}

TEST(SaveCheck, AFileHoldingLessOrMoreThanTheModelFails) {
  TempDir dir;
  // The file holds a name cut short, a long text cut by one character,
  // and a row and a column the model does not hold.
  ModelWorkbook written("名单.xlsx", dir.Path());
  host::ModelWorksheet& sheet = written.AppendSheet("数据表");
  sheet.SetCellValue(1, 1, "张三");
  sheet.SetCellValue(2, 1, std::string(32766, 'x'));
  sheet.SetCellValue(1, 2, "总分");
  WriteXlsx(written, dir.File("a.xlsx"));

  ModelWorkbook model("名单.xlsx", dir.Path());
  host::ModelWorksheet& expected = model.AppendSheet("数据表");
  expected.SetCellValue(1, 1, "张三丰");
  expected.SetCellValue(2, 1, std::string(32767, 'x'));
  expected.SetCellValue(1, 2, "总分");
  EXPECT_NE(CheckFailure(model, dir.File("a.xlsx")).find("“数据表”单元格 A1"), std::string::npos);
  expected.SetCellValue(1, 1, "张三");
  EXPECT_NE(CheckFailure(model, dir.File("a.xlsx")).find("“数据表”单元格 A2"), std::string::npos);
  expected.SetCellValue(2, 1, std::string(32766, 'x'));
  EXPECT_EQ(CheckFailure(model, dir.File("a.xlsx")), "");

  sheet.SetCellValue(20, 1, "多出的一行");
  WriteXlsx(written, dir.File("a.xlsx"));
  EXPECT_NE(CheckFailure(model, dir.File("a.xlsx")).find("“数据表”单元格 A20"), std::string::npos);
  sheet.SetCellValue(20, 1, Value());
  sheet.SetCellValue(1, 9, "多出的一列");
  WriteXlsx(written, dir.File("a.xlsx"));
  EXPECT_NE(CheckFailure(model, dir.File("a.xlsx")).find("“数据表”单元格 I1"), std::string::npos);
}

// The check walks the model's cells alongside the file's: a cell the file
// skips inside a row, a cell given twice (the second would win in a
// reader) and cells out of order are differences too.
TEST(SaveCheck, AFileThatSkipsRepeatsOrReordersCellsFails) {
  TempDir dir;
  ModelWorkbook model("名单.xlsx", dir.Path());
  host::ModelWorksheet& sheet = model.AppendSheet("S1");
  sheet.SetCellValue(1, 1, 1);
  sheet.SetCellValue(1, 2, 2);
  sheet.SetCellValue(1, 3, 3);
  sheet.SetCellValue(2, 1, 4);
  const auto check = [&](const std::string& rows) {
    testing::WritePackage(dir.File("a.xlsx"), {"<sheetData>" + rows + "</sheetData>"});
    return CheckFailure(model, dir.File("a.xlsx"));
  };
  const std::string a1 = "<c r=\"A1\"><v>1</v></c>", b1 = "<c r=\"B1\"><v>2</v></c>";
  const std::string c1 = "<c r=\"C1\"><v>3</v></c>", a2 = "<row r=\"2\"><c r=\"A2\"><v>4</v></c></row>";
  EXPECT_EQ(check("<row r=\"1\">" + a1 + b1 + c1 + "</row>" + a2), "");
  EXPECT_NE(check("<row r=\"1\">" + a1 + c1 + "</row>" + a2).find("单元格 B1"), std::string::npos);
  EXPECT_NE(check("<row r=\"1\">" + a1 + b1 + c1 + "<c r=\"B1\"><v>2</v></c></row>" + a2).find("单元格 B1"),
            std::string::npos);
  EXPECT_NE(check("<row r=\"1\">" + a1 + c1 + b1 + "</row>" + a2).find("单元格 B1"), std::string::npos);
  EXPECT_NE(check(a2 + "<row r=\"1\">" + a1 + b1 + c1 + "</row>").find("单元格 A1"), std::string::npos);
  // A cell with only a format where the model has none is no difference.
  EXPECT_EQ(check("<row r=\"1\">" + a1 + b1 + c1 + "<c r=\"D1\"/></row>" + a2), "");
}

// Large sheets are checked on two threads: whichever finishes first, the
// difference named is the first in sheet order.
TEST(SaveCheck, LargeSheetsCheckedTogetherNameTheFirstDifference) {
  TempDir dir;
  ModelWorkbook book("名单.xlsx", dir.Path());
  for (const char* name : {"小表", "数据表", "分班表"}) {
    host::ModelWorksheet& sheet = book.AppendSheet(name);
    const int32_t rows = std::string(name) == "小表" ? 3 : 40000;
    for (int32_t r = 1; r <= rows; ++r) {
      for (int32_t c = 1; c <= 4; ++c) sheet.SetCellValue(r, c, r * 10 + c);
    }
  }
  WriteXlsx(book, dir.File("a.xlsx"));
  EXPECT_EQ(CheckFailure(book, dir.File("a.xlsx")), "");
  book.ModelSheetAt(3).SetCellValue(2, 2, -1);
  EXPECT_NE(CheckFailure(book, dir.File("a.xlsx")).find("“分班表”单元格 B2"), std::string::npos);
  book.ModelSheetAt(2).SetCellValue(39999, 4, -1);
  book.ModelSheetAt(1).SetCellValue(3, 1, -1);
  EXPECT_NE(CheckFailure(book, dir.File("a.xlsx")).find("“小表”单元格 A3"), std::string::npos);
  book.ModelSheetAt(1).SetCellValue(3, 1, 31);
  EXPECT_NE(CheckFailure(book, dir.File("a.xlsx")).find("“数据表”单元格 D39999"), std::string::npos);
}

TEST(SaveCheck, ASaveWhoseFileDoesNotReadBackReplacesNothing) {
  TempDir dir;
  auto book = AwkwardBook(dir.Path());
  SaveWorkbook(*book);
  const std::string before = testing::ReadBytes(dir.File("名单.xlsx"));
  book->ModelSheetAt(1).SetCellValue(5, 1, "新来的学生");
  // A writer that loses the last row it was given, as a full disk or a
  // faulty library might.
  SaveSeam seam;
  seam.write = [](const ModelWorkbook& given, const std::string& path) {
    auto& model = const_cast<ModelWorkbook&>(given);  // sheet access is not const; nothing is changed
    auto copy = std::make_unique<ModelWorkbook>(model.Name(), model.Path());
    for (int32_t i = 1; i <= model.SheetCount(); ++i) {
      host::ModelWorksheet& from = model.ModelSheetAt(i);
      host::ModelWorksheet& to = copy->AppendSheet(from.Name());
      for (size_t r = 0; r + 1 < from.RowsData().size(); ++r) {
        for (size_t c = 0; c < from.RowsData()[r].cells.size(); ++c) {
          to.SetCellValue(static_cast<int32_t>(r + 1), static_cast<int32_t>(c + 1), from.RowsData()[r].cells[c].value);
        }
      }
    }
    WriteXlsx(*copy, path);
  };
  const std::string error = testing::FileErrorOf([&] { PrepareSave(*book, seam); });
  EXPECT_NE(error.find("读回"), std::string::npos) << error;
  EXPECT_NE(error.find("“数据表”单元格 A5"), std::string::npos) << error;
  EXPECT_EQ(testing::ReadBytes(dir.File("名单.xlsx")), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(TemporaryFiles, NamesAreRecognisedOnlyInTheirOwnForm) {
  EXPECT_TRUE(IsOurTemporaryName(".~fenban-123-abc0z9.tmp"));
  EXPECT_TRUE(IsOurTemporaryName(".~fenban-123-abc0z9.tmp.Xy12Ab"));  // libzip's file beside it
  for (const char* name : {"fenban-123-abc0z9.tmp", ".~fenban--abc0z9.tmp", ".~fenban-123-abc0z.tmp",
                           ".~fenban-123-ABC0Z9.tmp", ".~fenban-123-abc0z9.tm", ".~名单.xlsx.123456.tmp",
                           ".~lock.名单.xlsx#", "~$名单.xlsx", ".~fenban.journal", ".~fenban-x1-abc0z9.tmp"}) {
    EXPECT_FALSE(IsOurTemporaryName(name)) << name;
  }
}

TEST(TemporaryFiles, ATemporaryFileGoesUnlessRenamedOrReleased) {
  TempDir dir;
  std::string kept, gone;
  {
    TemporaryFile renamed(dir.Path(), 0640);
    EXPECT_TRUE(IsOurTemporaryName(std::filesystem::path(renamed.Path()).filename()));
    renamed.RenameOver(dir.File("名单.xlsx"));
    TemporaryFile released(dir.Path(), 0);
    kept = released.Path();
    released.Release();
    TemporaryFile dropped(dir.Path(), 0);
    gone = dropped.Path();
  }
  EXPECT_TRUE(std::filesystem::exists(dir.File("名单.xlsx")));
  EXPECT_EQ(std::filesystem::status(dir.File("名单.xlsx")).permissions() & std::filesystem::perms::all,
            std::filesystem::perms(0640));
  EXPECT_TRUE(std::filesystem::exists(kept));
  EXPECT_FALSE(std::filesystem::exists(gone));
}

// A process id that no process has now.
pid_t DeadPid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  return child;
}

TEST(TemporaryFiles, OnlyFilesOfRunsNoLongerAliveAreTidiedAway) {
  TempDir dir;
  const std::string dead = std::to_string(DeadPid());
  const std::string alive = std::to_string(::getppid());
  const std::vector<std::string> stale = {".~fenban-" + dead + "-aaaaaa.tmp", ".~fenban-" + dead + "-bbbbbb.tmp.Zq81Ps"};
  const std::vector<std::string> kept = {".~fenban-" + alive + "-cccccc.tmp", ".~名单.xlsx.123456.tmp", "~$名单.xlsx",
                                         "fenban-" + dead + "-dddddd.tmp"};
  for (const auto& name : stale) testing::WriteBytes(dir.File(name), "x");
  for (const auto& name : kept) testing::WriteBytes(dir.File(name), "x");
  const std::string folder = dir.File(".~fenban-" + dead + "-eeeeee.tmp");  // the libraries' scratch folder
  std::filesystem::create_directory(folder);
  testing::WriteBytes(folder + "/tmp.Ab12Cd34Ef", "x");
  const std::string link = dir.File(".~fenban-" + dead + "-ffffff.tmp");  // not a file or folder: left alone
  std::filesystem::create_symlink(dir.File("~$名单.xlsx"), link);

  EXPECT_EQ(RemoveStaleTemporaries(dir.Path()), 3);
  for (const auto& name : stale) EXPECT_FALSE(std::filesystem::exists(dir.File(name))) << name;
  for (const auto& name : kept) EXPECT_TRUE(std::filesystem::exists(dir.File(name))) << name;
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
}

TEST(TemporaryFiles, AStoppingSignalRemovesThemAndStillStopsTheProgram) {
  TempDir dir;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
      TemporaryFile file(dir.Path(), 0);
      const std::string path = file.Path() + "\n";
      if (::write(pipeFds[1], path.data(), path.size()) < 0) ::_exit(3);
      ::raise(signal);
      ::_exit(2);  // not reached: the signal ends the process
    }
    ::close(pipeFds[1]);
    char buffer[4096] = {};
    const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer - 1);
    ::close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
    ASSERT_GT(got, 1);
    const std::string path(buffer, static_cast<size_t>(got - 1));
    EXPECT_FALSE(std::filesystem::exists(path)) << path;
  }
}

TEST(SaveJournal, TwoWorkbooksAreReplacedTogetherAndTheJournalIsGone) {
  TempDir dir;
  ModelWorkbook host("fenban.xlsx", dir.Path());
  host.AppendSheet("DTB").SetCellValue(2, 1, 2);
  ModelWorkbook data("名单.xlsx", dir.Path());
  data.AppendSheet("数据表").SetCellValue(1, 1, "总分");
  std::vector<PreparedSave> saves;
  saves.push_back(PrepareSave(host));
  saves.push_back(PrepareSave(data));
  EXPECT_FALSE(std::filesystem::exists(dir.File("fenban.xlsx")));  // nothing replaced while preparing
  const auto results = CommitSaves(saves, dir.File(".~fenban.journal"));
  ASSERT_EQ(results.size(), 2u);
  EXPECT_FALSE(std::filesystem::exists(dir.File(".~fenban.journal")));
  EXPECT_EQ(ReadWorkbook(dir.File("fenban.xlsx"))->ModelSheetAt(1).CellValue(2, 1), Value(2));
  EXPECT_EQ(ReadWorkbook(dir.File("名单.xlsx"))->ModelSheetAt(1).CellValue(1, 1), Value("总分"));
  EXPECT_TRUE(TakeInterruptedSaves(dir.File(".~fenban.journal")).empty());
}

TEST(SaveJournal, AJournalLeftBehindTellsWhichFilesWereReplaced) {
  TempDir dir;
  const std::string left = dir.File(".~fenban-" + std::to_string(DeadPid()) + "-qqqqqq.tmp");
  testing::WriteBytes(left, "new data");
  testing::WriteBytes(dir.File(".~fenban.journal"), dir.File("fenban.xlsx") + "\t" +
                                                        dir.File(".~fenban-1-pppppp.tmp") + "\n" +
                                                        dir.File("名单.xlsx") + "\t" + left + "\n");
  const auto saves = TakeInterruptedSaves(dir.File(".~fenban.journal"));
  ASSERT_EQ(saves.size(), 2u);
  EXPECT_EQ(saves[0].target, dir.File("fenban.xlsx"));
  EXPECT_TRUE(saves[0].replaced);
  EXPECT_EQ(saves[1].target, dir.File("名单.xlsx"));
  EXPECT_FALSE(saves[1].replaced);
  EXPECT_FALSE(std::filesystem::exists(left));
  EXPECT_FALSE(std::filesystem::exists(dir.File(".~fenban.journal")));
}

TEST(SaveNames, ANameTooLongToSaveBesideTheOriginalSaysSo) {
  TempDir dir;
  std::string stem;
  for (int i = 0; i < 82; ++i) stem += "长";  // 246 bytes: the .xls name fits, "(fenban).xlsx" does not
  std::filesystem::copy_file(testing::DataFile("genuine.xls"), dir.File(stem + ".xls"));
  auto book = ReadWorkbook(dir.File(stem + ".xls"));
  const std::string error = testing::FileErrorOf([&] { PrepareSave(*book); });
  EXPECT_NE(error.find("文件名太长"), std::string::npos) << error;
  EXPECT_NE(error.find("too long"), std::string::npos) << error;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

}  // namespace
}  // namespace fenban::files
