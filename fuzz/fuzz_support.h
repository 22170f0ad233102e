// What every fuzz target shares: the fatal report unwinds back to the target
// (console_stub.cpp), and the input is cut into texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Thrown by RunAbort: the run would have ended here with its report.
struct FuzzAbort {};

// The input as texts separated by one byte (NUL unless given).
inline std::vector<std::string> Pieces(const uint8_t* data, size_t size, char separator = '\0') {
  std::vector<std::string> pieces(1);
  for (size_t i = 0; i < size; ++i) {
    if (char(data[i]) == separator) {
      pieces.emplace_back();
    } else {
      pieces.back().push_back(char(data[i]));
    }
  }
  return pieces;
}

// Stops the fuzzer with a message when a property of the code fails.
void Require(bool holds, const char* property);
