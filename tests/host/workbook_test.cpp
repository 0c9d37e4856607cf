#include <gtest/gtest.h>

#include <set>

#include "host_fixture.h"

namespace fenban::host {
namespace {

using testing::AddBook;

std::vector<std::string> SheetNames(Workbook& book) {
  std::vector<std::string> names;
  for (int32_t i = 1; i <= book.SheetCount(); ++i) names.push_back(book.SheetAt(i).Name());
  return names;
}

class WorkbookTest : public HostTest {};

TEST_F(WorkbookTest, SheetNameRules) {
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetName(""); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetName(std::string(32, 'x')); }), kErrHost);
  for (const char* bad : {"a:b", "a\\b", "a/b", "a?b", "a*b", "a[b", "a]b", "'ab", "ab'"}) {
    EXPECT_EQ(ErrorNumberOf([&] { sheet.SetName(bad); }), kErrHost) << bad;
  }
  book.AppendSheet("数据表");
  book.AppendSheet("Data");
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetName("数据表"); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetName("DATA"); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { book.AppendSheet("data"); }), kErrHost);
  sheet.SetName(std::string(31, 'x'));
  sheet.SetName("分班表1");  // 4 characters, more bytes
  sheet.SetName("a'b");
  sheet.SetName("s");        // a sheet may take its own name in another case
  sheet.SetName("S");
  EXPECT_EQ(sheet.Name(), "S");
  EXPECT_EQ(SheetNames(book), (std::vector<std::string>{"S", "数据表", "Data"}));
}

TEST_F(WorkbookTest, FindSheetAndCollectionsCompareExactly) {
  book.AppendSheet("分班表1");
  book.AppendSheet("分班表10");
  EXPECT_EQ(book.FindSheet("分班表1")->Name(), "分班表1");
  EXPECT_EQ(book.FindSheet("s"), nullptr);
  EXPECT_EQ(&SheetsOf(book)("分班表10"), book.FindSheet("分班表10"));
  EXPECT_EQ(ErrorNumberOf([&] { (void)SheetsOf(book)("分班表2"); }), kErrSubscript);
  EXPECT_EQ(ErrorNumberOf([&] { (void)book.SheetAt(0); }), kErrSubscript);
  EXPECT_EQ(ErrorNumberOf([&] { (void)book.SheetAt(4); }), kErrSubscript);
  Workbooks books(app);
  EXPECT_EQ(&books("host.xlsx"), &book);
  EXPECT_EQ(ErrorNumberOf([&] { (void)books("HOST.xlsx"); }), kErrSubscript);
  EXPECT_EQ(ErrorNumberOf([&] { (void)books(2); }), kErrSubscript);
}

TEST_F(WorkbookTest, AddGoesBeforeTheActiveSheetOrAfterTheGivenOne) {
  ModelWorksheet& second = book.AppendSheet("B");
  second.Activate();
  Worksheet& added = SheetsOf(book).Add();
  EXPECT_EQ(added.Name(), "Sheet1");
  EXPECT_EQ(SheetNames(book), (std::vector<std::string>{"S", "Sheet1", "B"}));
  EXPECT_EQ(&book.ActiveSheet(), &added);
  Worksheet& after = SheetsOf(book).Add(second);
  EXPECT_EQ(after.Name(), "Sheet2");
  EXPECT_EQ(SheetNames(book), (std::vector<std::string>{"S", "Sheet1", "B", "Sheet2"}));
  EXPECT_EQ(&app.ActiveSheet(), &after);
  // The smallest unused default name, without regard to case.
  added.SetName("x");
  sheet.SetName("SHEET1");
  after.SetName("y");
  EXPECT_EQ(SheetsOf(book).Add().Name(), "Sheet2");
}

TEST_F(WorkbookTest, DeletingTheActiveSheetActivatesTheNextOrThePrevious) {
  ModelWorksheet& b = book.AppendSheet("B");
  ModelWorksheet& c = book.AppendSheet("C");
  b.Activate();
  b.Delete();
  EXPECT_EQ(&book.ActiveSheet(), &c);
  c.Delete();
  EXPECT_EQ(&book.ActiveSheet(), &sheet);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.Delete(); }), kErrHost);
  EXPECT_EQ(book.SheetCount(), 1);
}

TEST_F(WorkbookTest, DeletingASheetBeforeTheActiveOneKeepsItActive) {
  book.AppendSheet("B");
  ModelWorksheet& c = book.AppendSheet("C");
  c.Activate();
  sheet.Delete();
  EXPECT_EQ(&book.ActiveSheet(), &c);
  EXPECT_EQ(book.ActiveSheetIndex(), 2);
}

TEST_F(WorkbookTest, VisibilityKeepsOneVisibleSheet) {
  ModelWorksheet& b = book.AppendSheet("B");
  EXPECT_EQ(ErrorNumberOf([&] { sheet.SetVisible(7); }), kErrHost);
  sheet.Activate();
  sheet.SetVisible(kSheetHidden);
  EXPECT_EQ(&book.ActiveSheet(), &b);
  EXPECT_EQ(ErrorNumberOf([&] { b.SetVisible(kSheetVeryHidden); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.Activate(); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { b.Delete(); }), kErrHost);
  sheet.SetVisible(kSheetVisible);
  sheet.Activate();
  b.Delete();
  EXPECT_EQ(book.SheetCount(), 1);
}

TEST_F(WorkbookTest, ActivateMakesTheWorkbookActiveToo) {
  ModelWorkbook& data = AddBook(app, "数据.xlsx");
  ModelWorksheet& dataSheet = data.AppendSheet("数据表");
  EXPECT_EQ(&app.ActiveWorkbook(), &data);
  EXPECT_EQ(&app.ThisWorkbook(), &book);
  sheet.Activate();
  EXPECT_EQ(&app.ActiveWorkbook(), &book);
  EXPECT_EQ(&app.ActiveSheet(), &sheet);
  dataSheet.Activate();
  EXPECT_EQ(&app.ActiveSheet(), &dataSheet);
  book.Activate();
  EXPECT_EQ(&app.ActiveWorkbook(), &book);
  // A sheet added to another workbook is the application's active sheet.
  Worksheet& added = SheetsOf(data).Add();
  EXPECT_EQ(&app.ActiveWorkbook(), &data);
  EXPECT_EQ(&app.ActiveSheet(), &added);
}

TEST_F(WorkbookTest, TabRatioRange) {
  book.SetTabRatio(0.9);
  EXPECT_EQ(book.TabRatio(), 0.9);
  EXPECT_EQ(ErrorNumberOf([&] { book.SetTabRatio(1.5); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { book.SetTabRatio(-0.1); }), kErrHost);
}

TEST(ApplicationTest, OpenUsesTheLoaderAndActivates) {
  testing::RecordingServices services;
  std::vector<std::string> opened;
  ModelApplication app(services, [&opened](const std::string& path) {
    opened.push_back(path);
    auto book = std::make_unique<ModelWorkbook>(path.substr(path.rfind('/') + 1), "/data");
    book->AppendSheet("Sheet1");
    return book;
  });
  EXPECT_EQ(ErrorNumberOf([&] { (void)app.ThisWorkbook(); }), 91);
  EXPECT_EQ(ErrorNumberOf([&] { (void)app.ActiveWorkbook(); }), 91);
  EXPECT_EQ(ErrorNumberOf([&] { (void)app.ActiveWindow(); }), 91);
  testing::AddBook(app, "fenban.xlsx").AppendSheet("DTB");
  Workbook& data = Workbooks(app).Open("/data/示例.xlsx");
  EXPECT_EQ(opened, (std::vector<std::string>{"/data/示例.xlsx"}));
  EXPECT_EQ(data.Name(), "示例.xlsx");
  EXPECT_EQ(&app.ActiveWorkbook(), &data);
  EXPECT_EQ(app.ThisWorkbook().Name(), "fenban.xlsx");
  EXPECT_EQ(&data.Parent(), &app);
  EXPECT_EQ(ErrorNumberOf([&] { (void)app.OpenWorkbook("/other/示例.xlsx"); }), kErrHost);
  EXPECT_EQ(opened.size(), 1u);
}

TEST(ApplicationTest, OpenWithoutLoaderIsARuntimeError) {
  testing::RecordingServices services;
  ModelApplication app(services);
  try {
    app.OpenWorkbook("/x/y.xlsx");
    FAIL();
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.Number(), kErrHost);
    EXPECT_NE(error.Description().find("无法打开文件"), std::string::npos);
  }
}

TEST(ApplicationTest, RandomizeReseedsFromTheServices) {
  testing::RecordingServices services;
  ModelApplication app(services);
  services.seed = 42;
  EXPECT_EQ(app.Randomize(), 42u);
  std::vector<double> first;
  for (int i = 0; i < 100; ++i) first.push_back(app.Rnd());
  app.Randomize();
  std::vector<double> again;
  for (int i = 0; i < 100; ++i) again.push_back(app.Rnd());
  EXPECT_EQ(first, again);
  EXPECT_TRUE(std::all_of(first.begin(), first.end(), [](double x) { return x >= 0 && x < 1; }));
  EXPECT_GT(std::set<double>(first.begin(), first.end()).size(), 95u);
  services.seed = 43;
  app.Randomize();
  EXPECT_NE(app.Rnd(), first[0]);
}

TEST_F(WorkbookTest, WindowActsOnTheActiveSheetOfTheActiveWorkbook) {
  ModelWorksheet& b = book.AppendSheet("B");
  b.Activate();
  Window& window = app.ActiveWindow();
  window.SetScrollRow(1);
  window.SetScrollColumn(1);
  window.SetTabRatio(0.9);
  window.SetSplitRow(1);
  window.SetSplitColumn(0);
  window.SetFreezePanes(true);
  window.SetZoom(85);
  EXPECT_EQ(b.View(), (SheetView{1, 1, 1, 0, true, 85}));
  EXPECT_EQ(sheet.View(), SheetView{});
  EXPECT_EQ(book.TabRatio(), 0.9);
  EXPECT_EQ(window.SplitRow(), 1);
  EXPECT_TRUE(window.FreezePanes());
  EXPECT_EQ(ErrorNumberOf([&] { window.SetZoom(5); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { window.SetZoom(401); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { window.SetScrollRow(0); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { window.SetSplitRow(-1); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { window.SetTabRatio(2); }), kErrHost);
  sheet.Activate();
  window.SetScrollRow(20);
  EXPECT_EQ(sheet.View().scrollRow, 20);
  EXPECT_EQ(b.View().scrollRow, 1);
}

TEST_F(WorkbookTest, PageSetupKeepsValuesAndRefusesBadOnes) {
  PageSetup& setup = sheet.GetPageSetup();
  setup.SetOrientation(kLandscape);
  setup.SetTopMargin(20);
  setup.SetCenterFooter("第 &P 页");
  setup.SetZoom(90);
  setup.SetCenterHorizontally(true);
  setup.SetPrintTitleRows("$1:$2");
  const PageSetupData& data = sheet.PageSetupValues();
  EXPECT_EQ(data.orientation, kLandscape);
  EXPECT_EQ(data.topMargin, 20);
  EXPECT_TRUE(data.marginsSet);
  EXPECT_EQ(data.centerFooter, "第 &P 页");
  EXPECT_EQ(data.zoom, 90);
  EXPECT_TRUE(data.centerHorizontally);
  EXPECT_EQ(data.printTitleFirstRow, 1);
  EXPECT_EQ(data.printTitleLastRow, 2);
  EXPECT_EQ(ErrorNumberOf([&] { setup.SetOrientation(3); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { setup.SetZoom(9); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { setup.SetZoom(401); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { setup.SetLeftMargin(-1); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { setup.SetPrintTitleRows("$A:$B"); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { setup.SetPrintTitleRows("$0:$1"); }), kErrHost);
  EXPECT_EQ(data.printTitleLastRow, 2);
  setup.SetPrintTitleRows("$3");
  EXPECT_EQ(data.printTitleFirstRow, 3);
  EXPECT_EQ(data.printTitleLastRow, 3);
  setup.SetPrintTitleRows("");
  EXPECT_EQ(data.printTitleFirstRow, 0);
  EXPECT_EQ(data.printTitleLastRow, 0);
  // A routine that skips failing statements goes on after a refusal.
  int done = 0;
  SkipOnError([&] { setup.SetZoom(1000); });
  SkipOnError([&] { setup.SetZoom(100); ++done; });
  EXPECT_EQ(done, 1);
  EXPECT_EQ(data.zoom, 100);
}

TEST_F(WorkbookTest, PageBreaksStaySortedAndUnique) {
  sheet.AddHPageBreak(30);
  sheet.AddHPageBreak(10);
  sheet.AddHPageBreak(30);
  EXPECT_EQ(sheet.HPageBreaks(), (std::vector<int32_t>{10, 30}));
  EXPECT_EQ(ErrorNumberOf([&] { sheet.AddHPageBreak(1); }), kErrHost);
  EXPECT_EQ(ErrorNumberOf([&] { sheet.AddHPageBreak(kMaxRows + 1); }), kErrHost);
  sheet.ResetAllPageBreaks();
  EXPECT_TRUE(sheet.HPageBreaks().empty());
}

}  // namespace
}  // namespace fenban::host

namespace fenban::host {
namespace {

TEST(ApplicationTest, LoaderFailuresBecomeRuntimeErrors) {
  testing::RecordingServices services;
  ModelApplication app(services, [](const std::string& path) -> std::unique_ptr<ModelWorkbook> {
    if (path.find("broken") != std::string::npos) throw std::runtime_error("bad zip");
    if (path.find("missing") != std::string::npos) Raise(kErrFile, "文件未找到: " + path);
    return nullptr;
  });
  testing::AddBook(app, "fenban.xlsx").AppendSheet("DTB");
  EXPECT_EQ(ErrorNumberOf([&] { app.OpenWorkbook("/d/broken.xlsx"); }), kErrFile);
  EXPECT_EQ(ErrorNumberOf([&] { app.OpenWorkbook("/d/missing.xlsx"); }), kErrFile);
  EXPECT_EQ(ErrorNumberOf([&] { app.OpenWorkbook("/d/null.xlsx"); }), kErrHost);
  EXPECT_EQ(app.WorkbookCount(), 1);
  EXPECT_EQ(app.ActiveWorkbook().Name(), "fenban.xlsx");
}

TEST(ApplicationTest, SameNameCannotBeAddedTwice) {
  testing::RecordingServices services;
  ModelApplication app(services);
  testing::AddBook(app, "a.xlsx");
  EXPECT_EQ(ErrorNumberOf([&] { testing::AddBook(app, "a.xlsx", "/elsewhere"); }), kErrHost);
  EXPECT_EQ(app.WorkbookCount(), 1);
}

TEST_F(WorkbookTest, TakingAWorkbookClosesItAndHandsItOverWhole) {
  ModelWorkbook& data = AddBook(app, "data.xlsx", "/data");
  ModelWorksheet& list = data.AppendSheet("数据表");
  list.SetCellValue(1, 1, "姓名");
  ModelWorkbook& third = AddBook(app, "third.xlsx", "/data");
  third.AppendSheet("T");
  app.SetActiveWorkbook(data);
  app.SetClipboard(&list, Rect{1, 1, 1, 1});

  std::unique_ptr<ModelWorkbook> taken = app.TakeWorkbook(data);
  ASSERT_EQ(taken.get(), &data);  // the same workbook, not a copy
  EXPECT_EQ(taken->SheetAt(1).CellValue(1, 1).ToText(), "姓名");
  EXPECT_EQ(app.WorkbookCount(), 2);
  EXPECT_EQ(app.FindWorkbook("data.xlsx"), nullptr);
  EXPECT_EQ(&app.ActiveModelWorkbook(), &third);  // the one after it
  EXPECT_EQ(app.ClipboardSheet(), nullptr);        // no sheet of a closed workbook stays copied
  EXPECT_EQ(ErrorNumberOf([&] { (void)taken->Parent(); }), 91);
  EXPECT_EQ(ErrorNumberOf([&] { (void)app.TakeWorkbook(*taken); }), kErrSubscript);

  // The last one taken while active: the one before it becomes active.
  app.TakeWorkbook(third);
  EXPECT_EQ(&app.ActiveModelWorkbook(), &book);
  EXPECT_EQ(&app.ThisWorkbook(), &book);
}

}  // namespace
}  // namespace fenban::host
