// TextToReal on any text: where the text holds only what a plain decimal
// number is made of, the value is exactly the C library's in the C locale,
// which reads such texts the same way.
#include <cmath>
#include <cstdlib>

#include "fuzz_support.h"
#include "support/text_to_real.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const double value = TextToReal(text);
  if (text.find_first_not_of("0123456789+-.eE \t\n\v\f\r") != std::string::npos) return 0;
  const double expected = std::strtod(text.c_str(), nullptr);
  Require(value == expected && std::signbit(value) == std::signbit(expected),
          "TextToReal reads a decimal number as strtod does");
  return 0;
}
