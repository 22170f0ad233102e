// The console for fuzzing: output is discarded, no answer is ever read, and
// the fatal report throws instead of ending the process. It stands in for
// console.cpp, so it declares what console.h declares.
#include <cstdio>
#include <cstdlib>

#include "fuzz_support.h"
#include "support/console.h"

void Write(std::string_view) {}
void EndLine() {}
void FlushConsole() {}

void RunAbort(std::string_view) { throw FuzzAbort(); }
void RunAbort2(std::string_view, std::string_view) { throw FuzzAbort(); }
void RunAbort3(std::string_view, std::string_view, std::string_view) { throw FuzzAbort(); }
void RunWarning(std::string_view) {}
void RunWarning2(std::string_view, std::string_view) {}

namespace {
bool SomethingUnreadable = false;
}  // namespace

void ReportUnreadable(std::string_view, std::string_view) { SomethingUnreadable = true; }
bool AnythingUnreadable() { return SomethingUnreadable; }

int ReadAnswer() { return -1; }

void Require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property failed: %s\n", property);
  std::abort();
}
