#include <gtest/gtest.h>

#include "host/errors.h"
#include "host/value.h"
#include "host_fixture.h"

namespace fenban::host {
namespace {

TEST(NumberToTextTest, ShortestPlainForms) {
  EXPECT_EQ(NumberToText(85), "85");
  EXPECT_EQ(NumberToText(85.5), "85.5");
  EXPECT_EQ(NumberToText(0.1), "0.1");
  EXPECT_EQ(NumberToText(-3), "-3");
  EXPECT_EQ(NumberToText(0), "0");
  EXPECT_EQ(NumberToText(-0.0), "0");
  EXPECT_EQ(NumberToText(0.1 + 0.2), "0.3");
  EXPECT_EQ(NumberToText(1234567), "1234567");
  EXPECT_EQ(NumberToText(0.000125), "0.000125");
  EXPECT_EQ(NumberToText(1e20), "100000000000000000000");
  EXPECT_EQ(NumberToText(1e25), "1E+25");
  EXPECT_EQ(NumberToText(-2.5e-30), "-2.5E-30");
  EXPECT_EQ(NumberToText(2.0 / 3.0), "0.666666666666667");
}

TEST(ValueTest, ToTextOfEachKind) {
  EXPECT_EQ(Value().ToText(), "");
  EXPECT_EQ(Value(85.0).ToText(), "85");
  EXPECT_EQ(Value("张三").ToText(), "张三");
  EXPECT_EQ(Value::Boolean(true).ToText(), "TRUE");
  EXPECT_EQ(Value::Boolean(false).ToText(), "FALSE");
  EXPECT_EQ(ErrorNumberOf([] { (void)Value(ErrorValue{"#N/A"}).ToText(); }), kErrTypeMismatch);
}

TEST(ValueTest, NumericTests) {
  EXPECT_TRUE(Value().IsNumeric());
  EXPECT_TRUE(Value(3).IsNumeric());
  EXPECT_TRUE(Value::Boolean(true).IsNumeric());
  EXPECT_TRUE(Value(" 85 ").IsNumeric());
  EXPECT_TRUE(Value("-1.5e3").IsNumeric());
  EXPECT_TRUE(Value(".5").IsNumeric());
  EXPECT_FALSE(Value("").IsNumeric());
  EXPECT_FALSE(Value("85分").IsNumeric());
  EXPECT_FALSE(Value("1e").IsNumeric());
  EXPECT_FALSE(Value("inf").IsNumeric());
  EXPECT_FALSE(Value(ErrorValue{"#N/A"}).IsNumeric());
}

TEST(ValueTest, ToDoubleConversions) {
  EXPECT_EQ(Value().ToDouble(), 0);
  EXPECT_EQ(Value::Boolean(true).ToDouble(), -1);
  EXPECT_EQ(Value::Boolean(false).ToDouble(), 0);
  EXPECT_EQ(Value(" 12.5").ToDouble(), 12.5);
  EXPECT_EQ(Value("+7").ToDouble(), 7);
  EXPECT_EQ(ErrorNumberOf([] { (void)Value("abc").ToDouble(); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { (void)Value(ErrorValue{"#DIV/0!"}).ToDouble(); }), kErrTypeMismatch);
}

TEST(ValueTest, ToLongRoundsHalvesToEven) {
  EXPECT_EQ(Value(2.5).ToLong(), 2);
  EXPECT_EQ(Value(3.5).ToLong(), 4);
  EXPECT_EQ(Value(-2.5).ToLong(), -2);
  EXPECT_EQ(Value(-3.5).ToLong(), -4);
  EXPECT_EQ(Value(2.4999).ToLong(), 2);
  EXPECT_EQ(Value("7.6").ToLong(), 8);
  EXPECT_EQ(Value().ToLong(), 0);
  EXPECT_EQ(Value(2147483647.0).ToLong(), 2147483647);
  EXPECT_EQ(Value(-2147483648.0).ToLong(), -2147483647 - 1);
  EXPECT_EQ(ErrorNumberOf([] { (void)Value(2147483647.5).ToLong(); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([] { (void)Value(-2147483649.0).ToLong(); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([] { (void)Value("x").ToLong(); }), kErrTypeMismatch);
}

TEST(ValueTest, WholeAndIntegerParts) {
  EXPECT_EQ(WholePart(-3.7), -3);
  EXPECT_EQ(WholePart(3.7), 3);
  EXPECT_EQ(IntegerPart(-3.2), -4);
  EXPECT_EQ(IntegerPart(3.9), 3);
  EXPECT_EQ(RoundToLong(0.5), 0);
  EXPECT_EQ(RoundToLong(1.5), 2);
  EXPECT_EQ(ErrorNumberOf([] { (void)RoundToLong(1e12); }), kErrOverflow);
}

TEST(TextTest, CharactersCountCodePoints) {
  EXPECT_EQ(CharCount("示例.xlsx"), 7u);
  EXPECT_EQ(CharCount(""), 0u);
  EXPECT_EQ(RightChars("分班表12", 2), "12");
  EXPECT_EQ(RightChars("分班表12", 4), "班表12");
  EXPECT_EQ(RightChars("ab", 5), "ab");
  EXPECT_EQ(LeftChars("分班表12", 2), "分班");
  EXPECT_EQ(LeftChars("示例.xlsx", 2), "示例");
  EXPECT_EQ(LeftChars("ab", 9), "ab");
}

TEST(TextTest, DisplayWidthCountsWideCharactersTwice) {
  EXPECT_EQ(DisplayWidth("abc"), 3u);
  EXPECT_EQ(DisplayWidth("张三"), 4u);
  EXPECT_EQ(DisplayWidth("Ａ１"), 4u);  // full-width forms
  EXPECT_EQ(DisplayWidth("总分85"), 6u);
  EXPECT_EQ(DisplayWidth("　"), 2u);  // ideographic space
}

TEST(ErrorsTest, DescriptionsAndRaise) {
  EXPECT_EQ(DefaultDescription(6), "溢出");
  EXPECT_EQ(DefaultDescription(9), "下标越界");
  EXPECT_EQ(DefaultDescription(13), "类型不匹配");
  EXPECT_EQ(DefaultDescription(94), "无效使用 Null");
  EXPECT_EQ(DefaultDescription(1004), "应用程序定义或对象定义错误");
  try {
    Raise(11);
    FAIL() << "Raise returned";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.Number(), 11);
    EXPECT_EQ(error.Description(), "除数为零");
  }
  int calls = 0;
  EXPECT_FALSE(SkipOnError([&] {
    ++calls;
    Raise(5);
  }));
  EXPECT_TRUE(SkipOnError([&] { ++calls; }));
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace fenban::host
