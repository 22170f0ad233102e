#pragma once

#include <string>
#include <vector>

// Compares two files byte for byte: 0 when their contents count as equal
// (under /ctrlz one extra trailing Ctrl-Z is forgiven), 1 otherwise. A file
// that cannot be read makes the pair differ.
int DiskFileCompare(const std::string& first, const std::string& second);

// What DiskFileCompare finds and has to say after its progress line, kept
// for a comparison made ahead of its turn.
struct Comparison {
  int Result = 1;                        // as DiskFileCompare's
  bool ExtraNotCtrlZ = false;            // the /ctrlz rule failed on the extra byte
  std::vector<std::string> Unreadable;   // files that could not be read, in order
  std::string SameFile;                  // set when both paths name one file
};
// Compares as DiskFileCompare does, printing nothing. Safe on any thread.
Comparison CompareFiles(const std::string& first, const std::string& second);
// Prints what DiskFileCompare prints after its progress line.
void ReportComparison(const Comparison& comparison);
