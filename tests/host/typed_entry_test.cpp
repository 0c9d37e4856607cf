#include "host/typed_entry.h"

#include <gtest/gtest.h>

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
  EXPECT_EQ(TypedEntry("1e3"), Value(1000));
  EXPECT_EQ(TypedEntry("2.5E-1"), Value(0.25));
  EXPECT_EQ(TypedEntry("0"), Value(0));
  EXPECT_EQ(TypedEntry("0.75"), Value(0.75));
  EXPECT_EQ(TypedEntry("-0.5"), Value(-0.5));
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
