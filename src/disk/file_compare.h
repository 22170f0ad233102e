#pragma once

#include <string>

// Compares two files byte for byte: 0 when their contents count as equal
// (under /ctrlz one extra trailing Ctrl-Z is forgiven), 1 otherwise. A file
// that cannot be read makes the pair differ.
int DiskFileCompare(const std::string& first, const std::string& second);
