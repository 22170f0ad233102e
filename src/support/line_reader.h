#pragma once

#include <cstdio>
#include <string>

// Reads a text file line by line; a line feed or a carriage return + line
// feed ends a line, and lines may be of any length.
class LineReader {
 public:
  explicit LineReader(const std::string& path);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // False also for what opens but cannot be read, such as a directory.
  bool IsOpen() const { return File != nullptr; }
  // Stores the next line without its line end. False when the file had
  // already ended (or never opened); a last line without a line end is read.
  bool ReadLine(std::string& line);

 private:
  std::FILE* File = nullptr;
};
