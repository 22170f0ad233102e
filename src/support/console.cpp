#include "support/console.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/platform.h"

namespace {
uint64_t Written = 0;
bool SomethingUnreadable = false;
}  // namespace

// Output goes through stdio's buffer and is flushed at each line end, so a
// line reaches the console in one write.
void Write(std::string_view text) {
  Written += text.size();
  std::fwrite(text.data(), 1, text.size(), stdout);
}

uint64_t BytesWritten() { return Written; }

void EndLine() {
  Write(NativeLineEnd());
  FlushConsole();
}

void FlushConsole() { std::fflush(stdout); }

void RunAbort(std::string_view message) {
  Write("Program halted by RunAbort, with following error message:");
  EndLine();
  Write("  ");
  Write(message);
  EndLine();
  std::exit(1);
}

void RunAbort2(std::string_view a, std::string_view b) {
  RunAbort(std::string(a) + std::string(b));
}

void RunAbort3(std::string_view a, std::string_view b, std::string_view c) {
  RunAbort(std::string(a) + std::string(b) + std::string(c));
}

void RunWarning(std::string_view message) {
  Write("WARNING: ");
  Write(message);
  EndLine();
}

void RunWarning2(std::string_view a, std::string_view b) {
  RunWarning(std::string(a) + std::string(b));
}

void ReportUnreadable(std::string_view what, std::string_view path) {
  SomethingUnreadable = true;
  RunWarning(std::string("Could not read ") + std::string(what) + std::string(path));
}

bool AnythingUnreadable() { return SomethingUnreadable; }

int ReadAnswer() {
  FlushConsole();
  int c;
  do {
    c = std::getchar();
  } while (c == ' ' || c == '\t' || c == '\n' || c == '\r');
  return c == EOF ? -1 : c;
}
