#include "support/line_reader.h"

#include "support/platform.h"

// A directory opens on some systems and fails only at the first read: it is
// told from an empty file here, while nothing has been read.
LineReader::LineReader(const std::string& path) : File(OpenForReading(path)) {
  if (File == nullptr) return;
  int first = std::getc(File);
  if (first != EOF) {
    std::ungetc(first, File);
  } else if (std::ferror(File)) {
    std::fclose(File);
    File = nullptr;
  }
}

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
