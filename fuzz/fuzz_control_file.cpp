// The control file reader and its line parser on any file contents: each
// pair is the text before the first TAB of a line and the text after it,
// neither empty, and no pair holds a line end.
#include <sys/mman.h>
#include <unistd.h>

#include "fuzz_support.h"
#include "run/invocation.h"
#include "run/settings.h"

namespace {

// The control file lives in memory and is named through the process's
// descriptor table.
int ControlFile = -1;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ControlFile = memfd_create("vorn-control-file", 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (ftruncate(ControlFile, 0) != 0 || pwrite(ControlFile, data, size, 0) != ssize_t(size))
    return 0;
  const std::string argument = "@/proc/self/fd/" + std::to_string(ControlFile);
  const char* arguments[] = {"vorn", argument.c_str(), "List1", "All1"};
  try {
    ReadControlFile(4, arguments);
  } catch (const FuzzAbort&) {
    return 0;
  }
  Require(Settings.Dir1Str.size() == Settings.Dir2Str.size(), "texts come in pairs");
  for (size_t i = 0; i < Settings.Dir1Str.size(); ++i) {
    const std::string& first = Settings.Dir1Str[i];
    const std::string& second = Settings.Dir2Str[i];
    Require(!first.empty() && !second.empty(), "neither text of a pair is empty");
    Require(first.find('\t') == std::string::npos, "the first text ends at the first TAB");
    Require((first + second).find('\n') == std::string::npos, "a pair holds no line end");
  }
  return 0;
}
