#include "support/text_to_real.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The validated pieces of a decimal number, as views into the text.
struct DecimalText {
  bool Negative = false;
  std::string_view Body;      // mantissa and exponent, no sign
  std::string_view Mantissa;  // digits with an optional '.'
  std::string_view Exponent;  // digits with an optional sign; may be empty
};

size_t SkipDigits(std::string_view text, size_t at) {
  while (at < text.size() && IsDigit(text[at])) ++at;
  return at;
}

// Length of an exponent ("e", optional sign, at least one digit) at the
// start of text, 0 when there is none.
size_t ExponentLength(std::string_view text) {
  if (text.empty() || (text[0] != 'e' && text[0] != 'E')) return 0;
  size_t at = 1;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  size_t end = SkipDigits(text, at);
  return end == at ? 0 : end;
}

bool ScanDecimal(std::string_view text, DecimalText& number) {
  size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    number.Negative = text[at] == '-';
    ++at;
  }
  size_t start = at;
  size_t end = SkipDigits(text, at);
  size_t digits = end - at;
  if (end < text.size() && text[end] == '.') {
    size_t fractionEnd = SkipDigits(text, end + 1);
    digits += fractionEnd - (end + 1);
    end = fractionEnd;
  }
  if (digits == 0) return false;
  number.Mantissa = text.substr(start, end - start);
  size_t exponent = ExponentLength(text.substr(end));
  number.Exponent = text.substr(end + (exponent ? 1 : 0), exponent ? exponent - 1 : 0);
  number.Body = text.substr(start, end + exponent - start);
  return true;
}

int SaturatedExponent(std::string_view exponent) {
  constexpr int Limit = 1000000;
  bool negative = !exponent.empty() && exponent[0] == '-';
  int value = 0;
  for (char c : exponent) {
    if (IsDigit(c) && value < Limit) value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

// Power of ten of the leading non-zero digit; only its sign matters, to tell
// a value too large for a double from one too small.
int DecimalMagnitude(const DecimalText& number) {
  std::string_view mantissa = number.Mantissa;
  size_t point = mantissa.find('.');
  if (point == std::string_view::npos) point = mantissa.size();
  size_t first = mantissa.find_first_of("123456789");
  int position = first < point ? int(point - first) : -int(first - point - 1);
  return position + SaturatedExponent(number.Exponent);
}

}  // namespace

// Validation is done here by hand; the digits themselves are converted by
// from_chars, which rounds correctly and ignores the locale.
double TextToReal(const std::string& text) {
  DecimalText number;
  if (!ScanDecimal(text, number)) return 0;
  double value = 0;
  std::from_chars_result result = std::from_chars(
      number.Body.data(), number.Body.data() + number.Body.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    value = DecimalMagnitude(number) > 0 ? HUGE_VAL : 0.0;
  }
  return number.Negative ? -value : value;
}
