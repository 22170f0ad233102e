#include "support/line_reader.h"

#include "support/platform.h"

LineReader::LineReader(const std::string& path) : File(OpenForReading(path)) {}

LineReader::~LineReader() {
  if (File != nullptr) std::fclose(File);
}

// Byte by byte through the stream's own buffer: the only standard way that
// keeps NUL bytes inside a line, and cheap since the stream is buffered.
bool LineReader::ReadLine(std::string& line) {
  line.clear();
  if (File == nullptr) return false;
  int c = std::getc(File);
  if (c == EOF) return false;
  while (c != EOF && c != '\n') {
    line.push_back(char(c));
    c = std::getc(File);
  }
  if (c == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
  return true;
}
