#pragma once

#include <string>

// The value of the longest leading plain decimal number in text (leading
// white space, optional sign, digits with an optional '.', optional exponent);
// 0 when text does not begin with one. No hexadecimal, inf or nan, and the
// same on every locale.
double TextToReal(const std::string& text);
