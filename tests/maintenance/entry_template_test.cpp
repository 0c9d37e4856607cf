// The entry template sheet "登记表".
#include <gtest/gtest.h>

#include <string>

#include "form/host_fixture.h"
#include "host/validation.h"
#include "maintenance/maintenance.h"

namespace fenban::maintenance {
namespace {

using host::Value;
using testing::HostFixture;

const std::string kInputMessage =
    "\n若把总分化为整数，选择是；否则，选择否。\n\n让程序把总分转化为整数，更利于均衡分班。";

class EntryTemplateTest : public ::testing::Test, public HostFixture {
 protected:
  EntryTemplateTest() : entry(hostBook->AppendSheet("登记表")) {}

  // Every value of A1:E30 and every validation rule of the sheet.
  std::vector<Value> Snapshot() const {
    std::vector<Value> values;
    for (int32_t row = 1; row <= 30; ++row) {
      for (int32_t column = 1; column <= 5; ++column) values.push_back(entry.CellValue(row, column));
    }
    return values;
  }

  host::ModelWorksheet& entry;
};

TEST_F(EntryTemplateTest, WritesTheMarkers) {
  BuildEntryTemplate(app, form);
  EXPECT_EQ(entry.CellValue(1, 1), Value("【学科名登记列】"));
  EXPECT_EQ(entry.CellValue(21, 1), Value("【结束】"));
  EXPECT_EQ(entry.CellValue(1, 3), Value("【总分化为整数】"));
  EXPECT_TRUE(entry.CellValue(2, 3).IsEmpty());
}

TEST_F(EntryTemplateTest, RemovesEveryKindOfSpaceFromTheSubjectColumn) {
  entry.SetCellValue(2, 1, "语文 ");
  entry.SetCellValue(3, 1, "数\u3000学 ");
  entry.SetCellValue(4, 1, "\u00A0英 语");
  entry.SetCellValue(6, 1, "物理");
  entry.SetCellValue(25, 1, "区 外");  // the whole column is cleaned
  entry.SetCellValue(5, 2, "化 学");    // other columns are not
  BuildEntryTemplate(app, form);
  EXPECT_EQ(entry.CellValue(2, 1), Value("语文"));
  EXPECT_EQ(entry.CellValue(3, 1), Value("数学"));
  EXPECT_EQ(entry.CellValue(4, 1), Value("英语"));
  EXPECT_EQ(entry.CellValue(6, 1), Value("物理"));
  EXPECT_EQ(entry.CellValue(25, 1), Value("区外"));
  EXPECT_EQ(entry.CellValue(5, 2), Value("化 学"));
}

TEST_F(EntryTemplateTest, RemovesOnlyWholeEndMarkers) {
  entry.SetCellValue(5, 1, "【结束】");
  entry.SetCellValue(6, 1, "【结束】生物");
  entry.SetCellValue(7, 1, " 【结束】 ");  // spaces go first, then it is a whole marker
  BuildEntryTemplate(app, form);
  EXPECT_TRUE(entry.CellValue(5, 1).IsEmpty());
  EXPECT_EQ(entry.CellValue(6, 1), Value("【结束】生物"));
  EXPECT_TRUE(entry.CellValue(7, 1).IsEmpty());
  EXPECT_EQ(entry.CellValue(21, 1), Value("【结束】"));
}

TEST_F(EntryTemplateTest, KeepsTheAnswerAndAddsItsDropDownList) {
  entry.SetCellValue(2, 3, "是");
  BuildEntryTemplate(app, form);
  EXPECT_EQ(entry.CellValue(2, 3), Value("是"));
  const host::ValidationRule* rule = entry.ValidationAt(2, 3);
  ASSERT_NE(rule, nullptr);
  EXPECT_EQ(rule->area, (host::Rect{2, 3, 2, 3}));
  EXPECT_EQ(rule->type, 3);
  EXPECT_EQ(rule->alertStyle, 1);
  EXPECT_EQ(rule->op, 1);
  EXPECT_EQ(rule->formula1, "是,否");
  EXPECT_FALSE(rule->ignoreBlank);
  EXPECT_EQ(rule->inputTitle, "说明：");
  EXPECT_EQ(rule->inputMessage, kInputMessage);
  EXPECT_EQ(entry.ValidationAt(3, 3), nullptr);
  EXPECT_EQ(entry.ValidationAt(2, 2), nullptr);
}

TEST_F(EntryTemplateTest, ReplacesAnEarlierValidation) {
  host::ValidationRule old;
  old.area = {2, 3, 2, 3};
  old.type = 3;
  old.formula1 = "对,错";
  old.inputTitle = "旧";
  entry.AddValidation(old);
  BuildEntryTemplate(app, form);
  EXPECT_EQ(entry.ValidationAt(2, 3)->formula1, "是,否");
  EXPECT_EQ(entry.ValidationAt(2, 3)->inputTitle, "说明：");
  EXPECT_EQ(entry.Validations().size(), 1u);
}

TEST_F(EntryTemplateTest, RunningTwiceEqualsRunningOnce) {
  entry.SetCellValue(2, 1, "语 文");
  entry.SetCellValue(8, 1, "【结束】");
  entry.SetCellValue(2, 3, "否");
  entry.SetCellValue(21, 1, "历史");
  BuildEntryTemplate(app, form);
  const std::vector<Value> once = Snapshot();
  const std::vector<host::ValidationRule> rulesOnce = entry.Validations();
  BuildEntryTemplate(app, form);
  EXPECT_EQ(Snapshot(), once);
  EXPECT_EQ(entry.Validations(), rulesOnce);
  EXPECT_EQ(entry.CellValue(21, 1), Value("【结束】"));
  EXPECT_EQ(entry.CellValue(2, 1), Value("语文"));
}

TEST_F(EntryTemplateTest, ShowsAndActivatesTheSheet) {
  entry.SetVisible(host::kSheetHidden);
  BuildEntryTemplate(app, form);
  EXPECT_EQ(entry.Visible(), host::kSheetVisible);
  EXPECT_EQ(&hostBook->ActiveSheet(), &entry);
}

TEST(EntryTemplateMissingTest, AHostWorkbookWithoutTheSheetRaisesSubscriptOutOfRange) {
  HostFixture fixture;
  fixture.dtb->SetCellValue(1, 1, "x");
  try {
    BuildEntryTemplate(fixture.app, fixture.form);
    FAIL() << "no error raised";
  } catch (const host::RuntimeError& error) {
    EXPECT_EQ(error.Number(), host::kErrSubscript);
  }
  EXPECT_EQ(fixture.hostBook->SheetCount(), 1);
  EXPECT_EQ(fixture.dtb->CellValue(1, 1), Value("x"));
  EXPECT_TRUE(fixture.dtb->CellValue(1, 3).IsEmpty());
}

}  // namespace
}  // namespace fenban::maintenance
