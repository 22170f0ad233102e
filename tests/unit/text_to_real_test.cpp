#include "support/text_to_real.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

// A leading decimal number reads as the C library reads it in the C locale,
// correctly rounded, saturating out of range.
TEST(TextToReal, ReadsADecimalNumberAsTheCLibrary) {
  for (const char* text :
       {"42", "0.30abc", "  .5", "\t+7.", "-2.5e1x", "1E+2", "15e-1", "1,5", "0.1", "1e", "3e+",
        "3.5e-x", "1e400", "-1e400", "1e-400", "0e999999", "0.0001e99999999999999999999",
        "123e-99999999999999999999", "", ".", "-", "+.", ".e5", "e5", "abc", "- 1"}) {
    EXPECT_EQ(TextToReal(text), std::strtod(text, nullptr)) << text;
  }
  EXPECT_EQ(TextToReal(std::string(400, '9')), HUGE_VAL);
}

// What the C library reads beyond decimal numbers is no number here.
TEST(TextToReal, HexInfinityAndNanAreNoNumbers) {
  for (const char* text : {"inf", "nan", "0x10", "INFINITY"}) EXPECT_EQ(TextToReal(text), 0.0) << text;
}
