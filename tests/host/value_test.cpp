#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string_view>

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
  const char* address = nullptr;
  {
    const Value original(std::string(50, 'a'));
    copy = original;
    address = original.Text().data();
    EXPECT_EQ(copy.Text().data(), address);
  }
  EXPECT_TRUE(copy.IsText());
  EXPECT_EQ(copy.Text(), std::string(50, 'a'));
  EXPECT_EQ(copy.Text().data(), address);

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
        if (copy.Text().data() == source.Text().data()) ++count;
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


// Texts on both sides of the longest text kept inside a value: 0, 1, 13 and
// 14 bytes are inline, 15 and more shared. The multi-byte ones end on the
// boundary with a whole character (14 bytes) or one byte past it (15 bytes).
std::vector<std::string> BoundaryTexts() {
  return {"",
          "x",
          std::string(13, 'a'),
          std::string(14, 'b'),
          std::string(15, 'c'),
          std::string(100, 'd'),
          "张三李四" + std::string("ab"),  // 4 three-byte characters and 2 bytes: 14
          "张三李四王",                     // 15
          "z张三李四" + std::string("\xF0\x9F\x98\x80"),  // 1 + 12 + 4 = 17
          "张三李四\xC3\xA9",               // 12 + 2 = 14
          "张三李四a\xC3\xA9"};             // 15
}

TEST(InlineTextTest, ValueIsSixteenBytes) { EXPECT_EQ(sizeof(Value), 16u); }

TEST(InlineTextTest, BoundaryTextsHaveTheExpectedLengths) {
  const std::vector<std::string> texts = BoundaryTexts();
  const std::vector<size_t> sizes = {0, 1, 13, 14, 15, 100, 14, 15, 17, 14, 15};
  ASSERT_EQ(texts.size(), sizes.size());
  for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(texts[i].size(), sizes[i]) << i;
}

TEST(InlineTextTest, TextsRoundTripThroughConstructionCopyAndMove) {
  for (const std::string& text : BoundaryTexts()) {
    SCOPED_TRACE(text.size());
    const Value fromString{std::string(text)};
    const Value fromView{std::string_view(text)};
    const Value fromChars(text.c_str());
    for (const Value* value : {&fromString, &fromView, &fromChars}) {
      ASSERT_TRUE(value->IsText());
      EXPECT_EQ(value->Text(), text);
      EXPECT_EQ(value->Text().size(), text.size());
      EXPECT_EQ(value->ToText(), text);
    }
    Value copy(fromString);
    EXPECT_EQ(copy.Text(), text);
    EXPECT_EQ(copy, fromString);
    EXPECT_EQ(fromString.Text(), text);
    Value moved(std::move(copy));
    EXPECT_EQ(moved.Text(), text);
    EXPECT_TRUE(copy.IsEmpty());  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(copy.ToText(), "");
    Value assigned;
    assigned = moved;
    EXPECT_EQ(assigned.Text(), text);
    Value moveAssigned(1.5);
    moveAssigned = std::move(moved);
    EXPECT_EQ(moveAssigned.Text(), text);
    EXPECT_TRUE(moved.IsEmpty());  // NOLINT(bugprone-use-after-move)
  }
}

TEST(InlineTextTest, AssignmentBetweenInlineAndSharedInEveryDirection) {
  const std::vector<std::string> texts = BoundaryTexts();
  for (const std::string& from : texts) {
    for (const std::string& to : texts) {
      SCOPED_TRACE(std::to_string(from.size()) + " onto " + std::to_string(to.size()));
      const Value source(from);
      Value target(to);
      target = source;
      EXPECT_EQ(target.Text(), from);
      EXPECT_EQ(source.Text(), from);
      EXPECT_EQ(target, source);

      Value taken(from);
      Value moveTarget(to);
      moveTarget = std::move(taken);
      EXPECT_EQ(moveTarget.Text(), from);
      EXPECT_TRUE(taken.IsEmpty());  // NOLINT(bugprone-use-after-move)
      // The emptied value takes a text again.
      taken = Value(to);
      EXPECT_EQ(taken.Text(), to);
    }
  }
}

TEST(InlineTextTest, TextsReplaceNumbersBooleansAndErrorsAndBack) {
  for (const std::string& text : BoundaryTexts()) {
    SCOPED_TRACE(text.size());
    const std::vector<Value> others = {Value(), Value(-2.25), Value::Boolean(true), Value(ErrorValue{"#DIV/0!"})};
    for (const Value& other : others) {
      Value value(text);
      value = other;
      EXPECT_EQ(value, other);
      EXPECT_EQ(value.Type(), other.Type());
      value = Value(text);
      EXPECT_EQ(value.Text(), text);
    }
    Value number(-2.25);
    number = Value(text);
    EXPECT_EQ(number.Text(), text);
    number = Value(-2.25);
    EXPECT_EQ(number.Number(), -2.25);
  }
}

TEST(InlineTextTest, SelfAssignmentKeepsEveryText) {
  for (const std::string& text : BoundaryTexts()) {
    SCOPED_TRACE(text.size());
    Value value(text);
    Value& alias = value;
    value = alias;
    EXPECT_EQ(value.Text(), text);
    value = std::move(alias);
    EXPECT_EQ(value.Text(), text);
  }
}

TEST(InlineTextTest, EqualityAcrossStorageForms) {
  const std::vector<std::string> texts = BoundaryTexts();
  for (size_t i = 0; i < texts.size(); ++i) {
    for (size_t j = 0; j < texts.size(); ++j) {
      // Each made on its own, so that no text is shared between the two.
      const Value a(texts[i]);
      const Value b(std::string_view(texts[j]));
      EXPECT_EQ(a == b, i == j) << i << " " << j;
      EXPECT_EQ(a == Value(texts[i]), true);
    }
  }
  // Texts that differ only after the 14th byte, or only in length.
  EXPECT_NE(Value(std::string(14, 'a') + "b"), Value(std::string(14, 'a') + "c"));
  EXPECT_NE(Value(std::string(14, 'a')), Value(std::string(15, 'a')));
  EXPECT_NE(Value(std::string(13, 'a')), Value(std::string(14, 'a')));
  EXPECT_NE(Value("ab"), Value(std::string_view("ab\0", 3)));
  // A text that reads as a number stays a text.
  EXPECT_NE(Value("12"), Value(12));
  EXPECT_EQ(Value("12").ToDouble(), 12);
}

TEST(InlineTextTest, NumbersBooleansAndErrorsKeepTheirContent) {
  const double tricky[] = {0.1 + 0.2, -0.0, 1e308, 5e-324, -123456789.125};
  for (const double x : tricky) {
    const Value value(x);
    Value copy;
    copy = value;
    EXPECT_EQ(copy.Number(), x);
    EXPECT_EQ(std::signbit(copy.Number()), std::signbit(x));
  }
  EXPECT_TRUE(Value::Boolean(true).Bool());
  EXPECT_FALSE(Value::Boolean(false).Bool());
  const std::string longCode(40, 'E');
  for (const std::string& code : {std::string("#N/A"), longCode}) {
    Value error(ErrorValue{code});
    Value copy(error);
    EXPECT_EQ(copy.Error().code, code);
    Value moved(std::move(error));
    EXPECT_EQ(moved.Error().code, code);
    EXPECT_TRUE(error.IsEmpty());  // NOLINT(bugprone-use-after-move)
    EXPECT_THROW((void)moved.Text(), std::logic_error);
  }
}

TEST(InlineTextTest, TextsInAVectorSurviveGrowthAndSorting) {
  std::vector<Value> values;
  std::vector<std::string> expected;
  for (int i = 0; i < 200; ++i) {
    std::string text = std::to_string((i * 7919) % 200) + std::string(static_cast<size_t>(i % 20), '-');
    values.emplace_back(text);
    expected.push_back(text);
  }
  std::sort(values.begin(), values.end(), [](const Value& a, const Value& b) { return a.Text() < b.Text(); });
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(values.size(), expected.size());
  for (size_t i = 0; i < values.size(); ++i) EXPECT_EQ(values[i].Text(), expected[i]) << i;
}

}  // namespace
}  // namespace fenban::host
