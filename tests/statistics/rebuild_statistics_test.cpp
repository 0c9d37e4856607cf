// The statistics command: the sheet pair from the active sheet, the checks,
// the stripping of the division sheet and the replacement of the statistics sheet.
#include <gtest/gtest.h>

#include "host/errors.h"
#include "statistics/statistics_test_support.h"

namespace fenban::statistics::test {
namespace {

TEST(SheetPairTest, NumberIsEverythingAfterTheThirdCharacter) {
  const auto check = [](const std::string& active, const std::string& division, const std::string& statistics) {
    const SheetPair pair = SheetPairOf(active);
    EXPECT_EQ(pair.divisionSheetName, division) << active;
    EXPECT_EQ(pair.statisticsSheetName, statistics) << active;
  };
  check("分班表3", "分班表3", "统计表3");
  check("统计表3", "分班表3", "统计表3");
  check("分班表12", "分班表12", "统计表12");
  check("统计x45", "分班表45", "统计x45");
  check("分班表", "分班表", "统计表");
  check("数据表", "分班表", "");
  check("abc12", "分班表", "");
}

TEST(SheetPairTest, NamesShorterThanThreeCharactersRaiseError5) {
  for (const char* name : {"ab", "分班", "x", ""}) {
    try {
      SheetPairOf(name);
      ADD_FAILURE() << "expected error 5 for " << name;
    } catch (const host::RuntimeError& error) {
      EXPECT_EQ(error.Number(), host::kErrInvalidCall) << name;
    }
  }
}

class RebuildTest : public StatisticsTest {
 protected:
  void SetUp() override {
    WriteStudents(Division(), ThreeClassesOfFive());
    Build(3, 2, 4);
    services.beeps.clear();
    form.ltbBiao.AddItem("高一新生.xls");
    form.ltbBiao.SetListIndex(0);
    form.txtFenBan.value = Value(3);
    form.txtYouXiu.value = Value(1);
    form.txtJiGe.value = Value("3");
    form.txtNMing.value = Value(0);
  }

  void Activate(const std::string& name) { Sheet(*dataWorkbook, name).Activate(); }
  void Rebuild() { RebuildStatistics(app, form, state); }

  // The rebuilt pair: one title row, new quotas, statistics sheet right after the division sheet.
  void ExpectRebuilt() {
    EXPECT_EQ(Division().CellValue(2, 1), Value("新班级"));
    EXPECT_EQ(Division().CellValue(1, 2), Value("高一新生"));
    EXPECT_EQ(Division().CellValue(3, 1), Value(1));
    EXPECT_EQ(Division().CellValue(3, 3), Value("张一"));
    EXPECT_TRUE(Division().CellValue(18, 1).IsEmpty());
    EXPECT_EQ(Division().HPageBreaks(), (std::vector<int32_t>{8, 13, 18}));
    EXPECT_EQ(StatsAt(1, 1), Value("各项人数统计(统计表1)"));
    EXPECT_EQ(StatsAt(8, 1), Value("优秀人数统计(前1名)"));
    EXPECT_EQ(StatsAt(8, 5), Value("及格人数统计(前3名)"));
    EXPECT_EQ(StatsAt(15, 1), Value("平均分统计(前1名)"));
    EXPECT_EQ(StatsAt(15, 5), Value("平均分统计(前3名)"));
    EXPECT_DOUBLE_EQ(StatsNumber(17, 2), 280);  // class 1, 总分 of its best student
    EXPECT_EQ(SheetNames(), (std::vector<std::string>{"数据表", "分班表1", "统计表1"}));
    EXPECT_EQ(services.beeps, (std::vector<std::pair<int32_t, int32_t>>{{360, 36}}));
    EXPECT_EQ(state.NextSheetNo, 2);
    EXPECT_TRUE(services.messages.empty());
  }

  void ExpectUnchanged() {
    EXPECT_EQ(Division().CellValue(2, 1), Value("新班级"));
    EXPECT_EQ(Division().CellValue(1, 2), Value("高一新生"));
    EXPECT_EQ(Division().HPageBreaks(), (std::vector<int32_t>{8, 13, 18}));
    EXPECT_EQ(StatsAt(8, 1), Value("优秀人数统计(前2名)"));
    EXPECT_TRUE(services.beeps.empty());
  }

  form::FormModel form;
};

TEST_F(RebuildTest, NoWorkbookChosenShowsANotice) {
  form.ltbBiao.SetListIndex(-1);
  Activate("分班表1");
  Rebuild();
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(services.messages[0].prompt, "应选择数据表！");
  EXPECT_EQ(services.messages[0].style, 0);
  EXPECT_EQ(services.messages[0].title, "提示");
  ExpectUnchanged();
}

TEST_F(RebuildTest, FromTheDivisionSheet) {
  Activate("分班表1");
  Rebuild();
  ExpectRebuilt();
}

TEST_F(RebuildTest, FromTheStatisticsSheet) {
  Activate("统计表1");
  Rebuild();
  ExpectRebuilt();
}

TEST_F(RebuildTest, HandMovedStudentIsMeasuredAfreshWithNewPageBreaks) {
  ASSERT_EQ(Division().CellValue(7, 3), Value("张五"));
  Division().SetCellValue(7, 1, Value(2));
  Activate("分班表1");
  Rebuild();
  EXPECT_EQ(StatsAt(3, 2), Value(4));
  EXPECT_EQ(StatsAt(4, 2), Value(6));
  EXPECT_EQ(StatsAt(5, 2), Value(5));
  // The old break before row 8 is gone; class 2 now starts in row 7.
  EXPECT_EQ(Division().HPageBreaks(), (std::vector<int32_t>{7, 13, 18}));
  EXPECT_EQ(Division().CellValue(12, 3), Value("张五"));
  EXPECT_EQ(Division().CellValue(12, 2), Value(6));
}

TEST_F(RebuildTest, SheetsOfNeitherKindAskForTheDivisionSheet) {
  dataWorkbook->AppendSheet("abc12");
  for (const char* name : {"数据表", "abc12"}) {
    services.messages.clear();
    Activate(name);
    Rebuild();
    ASSERT_EQ(services.messages.size(), 1u) << name;
    EXPECT_EQ(services.messages[0].prompt, "请先选择分班表，再按 统计 按钮！");
    EXPECT_EQ(services.messages[0].style, 0);
    EXPECT_EQ(services.messages[0].title, "提示");
  }
  ExpectUnchanged();
  EXPECT_EQ(SheetNames(), (std::vector<std::string>{"数据表", "分班表1", "统计表1", "abc12"}));
}

TEST_F(RebuildTest, StatisticsSheetWithoutItsDivisionSheetAsksForIt) {
  dataWorkbook->AppendSheet("统计表7");
  Activate("统计表7");
  Rebuild();
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(services.messages[0].prompt, "请先选择分班表，再按 统计 按钮！");
  EXPECT_NE(dataWorkbook->FindSheet("统计表7"), nullptr);
  ExpectUnchanged();
}

TEST_F(RebuildTest, ShortSheetNameRaisesError5AndChangesNothing) {
  dataWorkbook->AppendSheet("ab");
  Activate("ab");
  try {
    Rebuild();
    FAIL() << "expected error 5";
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), host::kErrInvalidCall);
  }
  ExpectUnchanged();
}

TEST_F(RebuildTest, NonNumericOptionRaisesTypeMismatchAndChangesNothing) {
  form.txtJiGe.value = Value("三十");
  Activate("分班表1");
  try {
    Rebuild();
    FAIL() << "expected error 13";
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), host::kErrTypeMismatch);
  }
  ExpectUnchanged();
}

TEST_F(RebuildTest, NeitherKindWithAPlainDivisionSheetFailsOnTheEmptyName) {
  host::Worksheet& plain = dataWorkbook->AppendSheet("分班表");
  WriteStudents(plain, ThreeClassesOfFive());
  Activate("数据表");
  try {
    Rebuild();
    FAIL() << "expected error 1004";
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), host::kErrHost);
  }
  EXPECT_TRUE(services.beeps.empty());
  EXPECT_EQ(StatsAt(8, 1), Value("优秀人数统计(前2名)"));
}

TEST_F(RebuildTest, TitleRowRemovedByHandIsNotDeletedAgain) {
  Division().Rows(1).Delete(host::kShiftUp);
  ASSERT_EQ(Division().CellValue(1, 1), Value("新班级"));
  ASSERT_EQ(Division().CellValue(2, 1), Value(1));
  Activate("分班表1");
  Rebuild();
  ExpectRebuilt();
}

TEST_F(RebuildTest, TitleRowIsRecognisedByTheNextToLastCharacterOfA2) {
  host::Worksheet& sheet = dataWorkbook->AppendSheet("试验");
  const auto titled = [&](const Value& a2) {
    sheet.SetCellValue(2, 1, a2);
    return HasTitleRow(sheet);
  };
  EXPECT_TRUE(titled(Value("新班级")));
  EXPECT_FALSE(titled(Value("一班")));
  EXPECT_FALSE(titled(Value(1)));
  EXPECT_FALSE(titled(Value()));
  EXPECT_TRUE(titled(Value("班")));      // one character: it is also the first of "the last two"
  EXPECT_FALSE(titled(Value("班级名")));
  EXPECT_TRUE(titled(Value("分班号")));
}

TEST_F(RebuildTest, StatisticsSheetStandingElsewhereMovesBesideItsDivisionSheet) {
  Stats().Delete();
  Activate("数据表");
  host::Worksheets(*dataWorkbook).Add().SetName("统计表1");
  ASSERT_EQ(SheetNames(), (std::vector<std::string>{"统计表1", "数据表", "分班表1"}));
  Activate("统计表1");
  Rebuild();
  ExpectRebuilt();
}

TEST_F(RebuildTest, MissingStatisticsSheetIsAdded) {
  Stats().Delete();
  Activate("分班表1");
  Rebuild();
  ExpectRebuilt();
}

TEST_F(RebuildTest, LabelsOutsideTheClassesAreRefusedBeforeAnythingChanges) {
  // Rows 3 to 17 hold the fifteen students of classes 1 to 3 under the title and header rows.
  Division().SetCellValue(4, 1, Value("3班"));
  Division().SetCellValue(9, 1, Value());
  Division().SetCellValue(11, 1, Value(5));    // no class 4: a gap, not a new class
  Division().SetCellValue(12, 1, Value(2.5));
  Division().SetCellValue(13, 1, Value("2"));  // text: sorts apart from the number 2
  Activate("分班表1");
  Rebuild();
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(services.messages[0].prompt,
            "分班表1 有 5 名学生的“新班级”不是 1 到 3 的班号，统计会漏掉他们：第 4 行为“3班”，第 9 行为（空），"
            "第 11 行为 5，第 12 行为 2.5，第 13 行为“2”。请把“新班级”改为 1 到 3 的班号（新加一个班就用 4），再按 统计 按钮！");
  EXPECT_EQ(services.messages[0].style, 48);
  EXPECT_EQ(services.messages[0].title, "警告");
  ExpectUnchanged();
}

// The class count table of the rebuilt 统计表1: the class labels under the
// title and header rows, down to "最大差".
std::vector<Value> CountTableLabels(host::Worksheet& stats) {
  std::vector<Value> labels;
  for (int32_t row = 3; row <= 40 && !(stats.CellValue(row, 1) == Value("最大差")); ++row) {
    labels.push_back(stats.CellValue(row, 1));
  }
  return labels;
}

TEST_F(RebuildTest, AnotherClassCountIsNamedAndTheDivisionsOwnClassesAreCounted) {
  // Before, a count of 1 refused every student of classes 2 and 3, and a
  // count of 10 wrote seven empty classes and a 最大差 of 5 class sizes.
  for (const int32_t given : {1, 10}) {
    services.messages.clear();
    form.txtFenBan.value = Value(given);
    Activate("分班表1");
    Rebuild();
    ASSERT_EQ(services.messages.size(), 1u) << given;
    EXPECT_EQ(services.messages[0].prompt, "班级数 " + std::to_string(given) +
                                               " 与 分班表1 的班数不同：分班表1 有 3 个班，统计按这 3 个班做。"
                                               "要分成别的班数，请重新分班。");
    EXPECT_EQ(services.messages[0].style, host::kMsgInformation);
    EXPECT_EQ(CountTableLabels(Stats()), (std::vector<Value>{Value(1), Value(2), Value(3)})) << given;
    EXPECT_EQ(StatsAt(6, 2), Value(0));  // 最大差 of the class sizes: 5, 5, 5
  }
}

TEST_F(RebuildTest, AStudentMovedIntoTheNextClassGetsItAndTheCountIsRecorded) {
  Division().SetCellValue(3, 1, Value(4));
  Division().SetCellValue(8, 1, Value(4));
  Activate("分班表1");
  Rebuild();
  EXPECT_EQ(CountTableLabels(Stats()), (std::vector<Value>{Value(1), Value(2), Value(3), Value(4)}));
  EXPECT_EQ(StatsAt(6, 2), Value(2));  // class 4 holds two students
  ASSERT_EQ(services.messages.size(), 1u);  // the class count box still says 3
  EXPECT_EQ(services.messages[0].style, host::kMsgInformation);
  EXPECT_EQ(RecordedClassCount(Stats()), 4);

  // Moved back by hand, class 4 is empty but still the division's.
  services.messages.clear();
  form.txtFenBan.value = Value(4);
  for (int32_t row = 3; row <= 17; ++row) {
    if (Division().CellValue(row, 1) == Value(4)) Division().SetCellValue(row, 1, Value(1));
  }
  Rebuild();
  EXPECT_TRUE(services.messages.empty());
  EXPECT_EQ(CountTableLabels(Stats()).size(), 4u);
  EXPECT_EQ(StatsAt(6, 2), Value(0));
}

TEST_F(RebuildTest, WithoutAStatisticsSheetTheHighestClassIsTheCount) {
  Stats().Delete();
  form.txtFenBan.value = Value(10);
  Activate("分班表1");
  Rebuild();
  EXPECT_EQ(CountTableLabels(Stats()), (std::vector<Value>{Value(1), Value(2), Value(3)}));

  // Labels that are no class numbers at all leave no count to name.
  Stats().Delete();
  services.messages.clear();
  for (int32_t row = 3; row <= 17; ++row) Division().SetCellValue(row, 1, Value("一班"));
  Rebuild();
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_NE(services.messages[0].prompt.find("有 15 名学生的“新班级”不是 1、2、3…… 的班号"), std::string::npos)
      << services.messages[0].prompt;
  EXPECT_NE(services.messages[0].prompt.find("请把“新班级”改为 1、2、3…… 的班号，再按"), std::string::npos)
      << services.messages[0].prompt;
}

TEST_F(RebuildTest, ADivisionSheetWithoutStudentsWithoutItsStatisticsIsNamed) {
  Stats().Delete();
  for (int32_t student = 1; student <= 15; ++student) Division().Rows(3).Delete(host::kShiftUp);  // rows 3 to 17
  Activate("分班表1");
  Rebuild();
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(services.messages[0].prompt, "分班表1 里没有学生，不能统计！");
  EXPECT_EQ(SheetNames(), (std::vector<std::string>{"数据表", "分班表1"}));
}

TEST_F(RebuildTest, StrayLabelsAreListedTenAtMost) {
  for (int32_t row = 3; row <= 13; ++row) Division().SetCellValue(row, 1, Value("一班"));
  Activate("分班表1");
  Rebuild();
  ASSERT_EQ(services.messages.size(), 1u);
  const std::string& prompt = services.messages[0].prompt;
  EXPECT_EQ(prompt.rfind("分班表1 有 11 名学生的“新班级”不是 1 到 3 的班号", 0), 0u) << prompt;
  EXPECT_NE(prompt.find("第 12 行为“一班”……。"), std::string::npos) << prompt;
  ExpectUnchanged();
}

TEST(RecordedClassCountTest, CountsTheClassRowsOfTheFirstTable) {
  host::ModelWorkbook book("a.xlsx", "/tmp");
  host::ModelWorksheet& sheet = book.AppendSheet("统计表1");
  EXPECT_EQ(RecordedClassCount(sheet), 0);
  sheet.SetCellValue(2, 1, Value("新班级"));
  for (int32_t row = 3; row <= 10; ++row) sheet.SetCellValue(row, 1, Value(row - 2));
  EXPECT_EQ(RecordedClassCount(sheet), 0);  // no "最大差": no table
  sheet.SetCellValue(11, 1, Value("最大差"));
  EXPECT_EQ(RecordedClassCount(sheet), 8);
  sheet.SetCellValue(16, 1, Value("新班级"));  // the next tables do not count
  sheet.SetCellValue(20, 1, Value("最大差"));
  EXPECT_EQ(RecordedClassCount(sheet), 8);
  sheet.SetCellValue(2, 1, Value("班级"));  // a table the teacher renamed
  EXPECT_EQ(RecordedClassCount(sheet), 0);
}

TEST_F(RebuildTest, AnEmptyClassCountIsATypeMismatchBeforeAnythingChanges) {
  form.txtFenBan.value = Value();
  form.txtFenBan.source = "DTB!C2";
  Activate("分班表1");
  try {
    Rebuild();
    FAIL() << "expected error 13";
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), host::kErrTypeMismatch);
    EXPECT_EQ(error.Description(), "类型不匹配：文本框“班级数”（txtFenBan，来自 DTB!C2）是空的");
  }
  ExpectUnchanged();
}

}  // namespace
}  // namespace fenban::statistics::test
