#include "host/typed_entry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace fenban::host {
namespace {

TEST(TypedEntry, NumbersAsASpreadsheetReadsThemWhenTyped) {
  EXPECT_EQ(TypedEntry("300"), Value(300));
  EXPECT_EQ(TypedEntry(" 300 "), Value(300));
  EXPECT_EQ(TypedEntry("85.5"), Value(85.5));
  EXPECT_EQ(TypedEntry("-3"), Value(-3));
  EXPECT_EQ(TypedEntry("+2"), Value(2));
  EXPECT_EQ(TypedEntry(".5"), Value(0.5));
  EXPECT_EQ(TypedEntry("5."), Value(5));
  EXPECT_EQ(TypedEntry("0"), Value(0));
  EXPECT_EQ(TypedEntry("0.75"), Value(0.75));
  EXPECT_EQ(TypedEntry("-0.5"), Value(-0.5));
  // Zeros that end a fraction, a plus sign and the sign of zero carry no digit.
  EXPECT_EQ(TypedEntry("85.50"), Value(85.5));
  EXPECT_EQ(TypedEntry("+5"), Value(5));
  EXPECT_EQ(TypedEntry("-0"), Value(0));
  EXPECT_FALSE(std::signbit(TypedEntry("-0").Number()));
  EXPECT_EQ(TypedEntry("-0.00"), Value(0));
  EXPECT_EQ(TypedEntry("\t300"), Value(300));
}

TEST(TypedEntry, ANumberOnlyWhereItKeepsEveryDigitTyped) {
  // Fifteen significant digits are kept by a number, the sixteenth is not.
  EXPECT_EQ(TypedEntry("1234567890.12345"), Value(1234567890.12345));
  EXPECT_EQ(TypedEntry("0.123456789012345"), Value(0.123456789012345));
  EXPECT_EQ(TypedEntry("12345678901.0000"), Value(12345678901.0));
  EXPECT_EQ(TypedEntry("0.0001"), Value(0.0001));
  for (const char* text : {"0.1234567890123456", "1234567890.123456", "-1234567890.123456"}) {
    EXPECT_EQ(TypedEntry(text), Value(text)) << text;
  }
  // Twelve whole digits or more, and fractions below 0.0001, would show
  // with an exponent in the General format.
  for (const char* text : {"123456789012", "100000000000", "123456789012345", "-123456789012", "0.00005",
                           ".00001"}) {
    EXPECT_EQ(TypedEntry(text), Value(text)) << text;
  }
  // ID numbers (with and without the X, with the space a copy left), phone
  // numbers, student numbers with leading zeros, and numbers with an exponent
  // or thousands separators keep exactly what was typed.
  EXPECT_EQ(TypedEntry("110101200801011234"), Value("110101200801011234"));
  EXPECT_EQ(TypedEntry("11010120080101123X"), Value("11010120080101123X"));
  EXPECT_EQ(TypedEntry("110101200801011234 "), Value("110101200801011234 "));
  EXPECT_EQ(TypedEntry("000993 "), Value("000993 "));
  EXPECT_EQ(TypedEntry("13812345678"), Value(13812345678.0));  // 11 digits: kept by a number
  EXPECT_EQ(TypedEntry("013812345678"), Value("013812345678"));
  EXPECT_EQ(TypedEntry(" 300"), Value(300));
  for (const char* text : {"1e5", "1E5", "2.5E-1", "1e0", "12,345", "1,000.5", "85%", "2024/5/1", "5-1"}) {
    EXPECT_EQ(TypedEntry(text), Value(text)) << text;
  }
  double number = 7;
  EXPECT_FALSE(ExactNumber("1e5", number));
  EXPECT_EQ(number, 7);
  EXPECT_TRUE(ExactNumber(" 300", number));
  EXPECT_EQ(number, 300);
}

TEST(TypedEntry, TextThatIsNoPlainNumberStaysText) {
  for (const char* text : {"3班", "一班", "12a", "1e", "e3", "--3", "3-", "1.2.3", "1,000", "85%", "¥5", "1/2",
                           "2024-05-01", "=1+2", "0x10", "inf", "nan", "1e400", "３００", ".", "-", "TRUEX"}) {
    const Value value = TypedEntry(text);
    EXPECT_TRUE(value.IsText()) << text;
    EXPECT_EQ(value, Value(text)) << text;
  }
}

TEST(TypedEntry, LeadingZerosKeepACodeAsText) {
  EXPECT_EQ(TypedEntry("001"), Value("001"));
  EXPECT_EQ(TypedEntry("0123"), Value("0123"));
  EXPECT_EQ(TypedEntry("-007"), Value("-007"));
  EXPECT_EQ(TypedEntry("00.5"), Value("00.5"));
  EXPECT_EQ(TypedEntry("0.5"), Value(0.5));
  EXPECT_EQ(TypedEntry("10"), Value(10));
}

TEST(TypedEntry, EmptyBooleansAndErrorLiterals) {
  EXPECT_TRUE(TypedEntry("").IsEmpty());
  EXPECT_EQ(TypedEntry("TRUE"), Value::Boolean(true));
  EXPECT_EQ(TypedEntry("false"), Value::Boolean(false));
  EXPECT_EQ(TypedEntry("True"), Value::Boolean(true));
  EXPECT_EQ(TypedEntry("#N/A"), Value(ErrorValue{"#N/A"}));
  EXPECT_EQ(TypedEntry("#div/0!"), Value(ErrorValue{"#DIV/0!"}));
  EXPECT_EQ(TypedEntry("#NAME?"), Value(ErrorValue{"#NAME?"}));
  EXPECT_EQ(TypedEntry("#N/A!"), Value("#N/A!"));
  // Spaces alone are kept as typed; only nothing at all empties a cell.
  EXPECT_EQ(TypedEntry("  "), Value("  "));
}

TEST(TypedEntry, OnlyTheTextFormatKeepsText) {
  EXPECT_TRUE(IsTextFormat("@"));
  EXPECT_FALSE(IsTextFormat("General"));
  EXPECT_FALSE(IsTextFormat("0.0"));
}

}  // namespace
}  // namespace fenban::host
