#include "support/text_to_real.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(TextToReal, LeadingDecimalNumber) {
  EXPECT_EQ(TextToReal("42"), 42.0);
  EXPECT_EQ(TextToReal("0.30abc"), 0.30);
  EXPECT_EQ(TextToReal("  .5"), 0.5);
  EXPECT_EQ(TextToReal("\t+7."), 7.0);
  EXPECT_EQ(TextToReal("-2.5e1x"), -25.0);
  EXPECT_EQ(TextToReal("1E+2"), 100.0);
  EXPECT_EQ(TextToReal("15e-1"), 1.5);
  EXPECT_EQ(TextToReal("1,5"), 1.0);
  EXPECT_EQ(TextToReal("0.1"), 0.1);  // correctly rounded
}

TEST(TextToReal, ExponentWithoutDigitsEndsTheNumber) {
  EXPECT_EQ(TextToReal("1e"), 1.0);
  EXPECT_EQ(TextToReal("3e+"), 3.0);
  EXPECT_EQ(TextToReal("3.5e-x"), 3.5);
}

TEST(TextToReal, NoNumberGivesZero) {
  for (const char* text : {"", ".", "-", "+.", ".e5", "e5", "abc", "inf", "nan", "- 1"}) {
    EXPECT_EQ(TextToReal(text), 0.0) << text;
  }
  EXPECT_EQ(TextToReal("0x10"), 0.0);
}

TEST(TextToReal, OutOfRangeSaturates) {
  EXPECT_EQ(TextToReal("1e400"), HUGE_VAL);
  EXPECT_EQ(TextToReal("-1e400"), -HUGE_VAL);
  EXPECT_EQ(TextToReal("0.0001e99999999999999999999"), HUGE_VAL);
  EXPECT_EQ(TextToReal("1e-400"), 0.0);
  EXPECT_EQ(TextToReal("123e-99999999999999999999"), 0.0);
  EXPECT_EQ(TextToReal("0e999999"), 0.0);
  EXPECT_EQ(TextToReal(std::string(400, '9')), HUGE_VAL);
}
