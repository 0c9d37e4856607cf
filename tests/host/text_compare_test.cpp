// Comparisons by shown text agree with comparing the texts themselves.
#include <gtest/gtest.h>

#include <vector>

#include "host/errors.h"
#include "host/text_compare.h"
#include "support/error_number.h"

namespace fenban::host {
namespace {

TEST(TextCompareTest, AgreesWithComparingTheTexts) {
  const std::vector<Value> values = {Value(),          Value(1),           Value("1"),         Value(1.0),
                                     Value(0.1 + 0.2), Value(0.3),         Value(2),           Value("男"),
                                     Value("男 "),      Value::Boolean(true), Value("TRUE"),     Value(-0.0),
                                     Value(0),         Value("0"),         Value(123456789012.0)};
  for (const Value& a : values) {
    EXPECT_EQ(TextEquals(a, a.ToText()), true) << a.ToText();
    EXPECT_EQ(TextEquals(a, "男"), a.ToText() == "男") << a.ToText();
    for (const Value& b : values) {
      EXPECT_EQ(SameText(a, b), a.ToText() == b.ToText()) << "'" << a.ToText() << "' and '" << b.ToText() << "'";
    }
  }
  EXPECT_TRUE(SameText(Value(1), Value("1")));
  EXPECT_FALSE(SameText(Value(1), Value(2)));
}

TEST(TextCompareTest, AnErrorValueFailsAsItsTextWould) {
  const Value error(ErrorValue{"#N/A"});
  EXPECT_EQ(testing::ErrorNumber([&] { (void)SameText(error, Value(1)); }), kErrTypeMismatch);
  EXPECT_EQ(testing::ErrorNumber([&] { (void)SameText(Value("x"), error); }), kErrTypeMismatch);
  EXPECT_EQ(testing::ErrorNumber([&] { (void)SameText(error, error); }), kErrTypeMismatch);
  EXPECT_EQ(testing::ErrorNumber([&] { (void)TextEquals(error, "#N/A"); }), kErrTypeMismatch);
}

}  // namespace
}  // namespace fenban::host
