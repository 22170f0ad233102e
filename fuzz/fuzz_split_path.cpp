// SplitPath on any text: the four parts always make up the text again, and
// each part has its shape.
#include "fuzz_support.h"
#include "support/path_parts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path(reinterpret_cast<const char*>(data), size);
  const PathParts parts = SplitPath(path);
  Require(parts.Drive + parts.Directory + parts.Name + parts.Extension == path,
          "the parts make up the path");
  Require(parts.Drive.empty() || (parts.Drive.size() == 2 && parts.Drive[1] == ':'),
          "a drive is one character and a colon");
  const std::string last = parts.Name + parts.Extension;
  Require(last.find_first_of("/\\") == std::string::npos, "the last component holds no separator");
  Require(parts.Extension.empty() || parts.Extension.rfind('.') == 0,
          "an extension is its one dot and what follows");
  Require(last.empty() || parts.Directory.empty() || IsSeparator(parts.Directory.back()),
          "a directory part keeps its closing separator");
  return 0;
}
