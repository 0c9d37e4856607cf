#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

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


TEST(ValueCopyTest, CopiesShareTheTextAndOutliveTheOriginal) {
  Value copy;
  const std::string* address = nullptr;
  {
    const Value original(std::string(50, 'a'));
    copy = original;
    address = &original.Text();
    EXPECT_EQ(&copy.Text(), address);
  }
  EXPECT_TRUE(copy.IsText());
  EXPECT_EQ(copy.Text(), std::string(50, 'a'));
  EXPECT_EQ(&copy.Text(), address);

  const Value error(ErrorValue{"#DIV/0!"});
  const Value errorCopy(error);
  EXPECT_TRUE(errorCopy.IsError());
  EXPECT_EQ(errorCopy.Error().code, "#DIV/0!");
}

TEST(ValueCopyTest, AssignmentBetweenEveryKind) {
  const std::vector<Value> kinds = {Value(),
                                    Value(85.5),
                                    Value("张三"),
                                    Value::Boolean(true),
                                    Value(ErrorValue{"#N/A"}),
                                    Value(std::string(30, 'z'))};
  for (const Value& from : kinds) {
    for (const Value& to : kinds) {
      Value target = to;
      target = from;
      EXPECT_EQ(target, from);
      EXPECT_EQ(target.Type(), from.Type());
      Value moved = from;
      Value movedTarget = to;
      movedTarget = std::move(moved);
      EXPECT_EQ(movedTarget, from);
      EXPECT_TRUE(moved.IsEmpty());  // NOLINT(bugprone-use-after-move): the moved-from state is what is tested
    }
  }
}

TEST(ValueCopyTest, SelfAssignmentKeepsTheValue) {
  Value text("李四");
  Value& alias = text;
  text = alias;
  EXPECT_EQ(text.Text(), "李四");
  text = std::move(alias);
  EXPECT_EQ(text.Text(), "李四");
  Value number(3.0);
  Value& numberAlias = number;
  number = numberAlias;
  number = std::move(numberAlias);
  EXPECT_EQ(number.Number(), 3.0);
}

TEST(ValueCopyTest, MovedFromValuesAreEmptyAndUsable) {
  Value text("王五");
  Value taken(std::move(text));
  EXPECT_EQ(taken.Text(), "王五");
  EXPECT_TRUE(text.IsEmpty());  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(text.ToText(), "");
  text = Value(7);
  EXPECT_EQ(text.Number(), 7);

  Value number(2.5);
  Value takenNumber(std::move(number));
  EXPECT_EQ(takenNumber.Number(), 2.5);
  EXPECT_TRUE(number.IsEmpty());  // NOLINT(bugprone-use-after-move)
}

TEST(ValueCopyTest, EqualityComparesKindAndContent) {
  EXPECT_NE(Value(1), Value("1"));
  EXPECT_NE(Value(), Value(""));
  EXPECT_NE(Value(0), Value());
  EXPECT_NE(Value::Boolean(false), Value(0));
  EXPECT_NE(Value("#N/A"), Value(ErrorValue{"#N/A"}));
  EXPECT_EQ(Value("张三"), Value(std::string("张三")));  // equal texts held apart
  EXPECT_NE(Value("张三"), Value("张四"));
  EXPECT_EQ(Value(ErrorValue{"#N/A"}), Value(ErrorValue{"#N/A"}));
  EXPECT_NE(Value(ErrorValue{"#N/A"}), Value(ErrorValue{"#DIV/0!"}));
  EXPECT_EQ(Value(85), Value(85.0));
  EXPECT_EQ(Value(int64_t{3}), Value(3.0));
  EXPECT_EQ(Value::Boolean(true), Value::Boolean(true));
  EXPECT_NE(Value::Boolean(true), Value::Boolean(false));
  EXPECT_EQ(Value(), Value());
}

TEST(ValueCopyTest, ReadingTheWrongKindThrows) {
  EXPECT_THROW((void)Value("x").Number(), std::logic_error);
  EXPECT_THROW((void)Value(1).Text(), std::logic_error);
  EXPECT_THROW((void)Value().Bool(), std::logic_error);
  EXPECT_THROW((void)Value("#N/A").Error(), std::logic_error);
}

TEST(ValueCopyTest, ThreadsCopyingOneValueLeaveItIntact) {
  const Value source(std::string(40, 'q'));
  std::vector<std::thread> threads;
  std::vector<size_t> matches(4, 0);
  for (size_t t = 0; t < 4; ++t) {
    threads.emplace_back([&source, &count = matches[t]] {
      for (int i = 0; i < 100000; ++i) {
        const Value copy = source;
        if (&copy.Text() == &source.Text()) ++count;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (size_t count : matches) EXPECT_EQ(count, 100000u);
  EXPECT_EQ(source.Text(), std::string(40, 'q'));
  // Had a count been lost, the text would have been freed under the source
  // by now; a copy made after the threads still reads it.
  const Value after = source;
  EXPECT_EQ(after.Text(), std::string(40, 'q'));
}

}  // namespace
}  // namespace fenban::host
