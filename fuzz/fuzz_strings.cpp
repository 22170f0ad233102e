// The string routines with any positions and texts: results stay within the
// text, agree with the plain operations where the positions are in range,
// and the case rule is the same everywhere.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_support.h"
#include "support/strings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int position = in.ConsumeIntegral<int>();
  const int length = in.ConsumeIntegral<int>();
  const std::string a = in.ConsumeRandomLengthString(512);
  const std::string b = in.ConsumeRemainingBytesAsString();
  const bool inRange = position >= 1 && size_t(position) <= a.size();

  std::string part = "stale";
  SubStr(part, a, position, length);
  if (inRange && length > 0) {
    Require(part == a.substr(size_t(position) - 1, size_t(length)), "SubStr cuts the text");
  } else {
    Require(part.empty(), "SubStr out of range gives nothing");
  }

  std::string shortened = a;
  StrDelete(shortened, position, length);
  if (inRange && length > 0) {
    std::string expected = a;
    expected.erase(size_t(position) - 1, size_t(length));
    Require(shortened == expected, "StrDelete removes the run");
  } else {
    Require(shortened == a, "StrDelete out of range changes nothing");
  }

  const int found = StrPos(a, b, position);
  if (found != 0) {
    Require(found >= position && a.compare(size_t(found) - 1, b.size(), b) == 0,
            "StrPos finds the pattern at or after the start");
  } else if (inRange && !b.empty()) {
    Require(a.find(b, size_t(position) - 1) == std::string::npos, "StrPos misses nothing");
  }

  Require(StrEq(a, b) == (FoldCase(a) == FoldCase(b)), "StrEq is equality of folded texts");
  Require(StrEq(a, FoldCase(a)) && StrEq(b, a) == StrEq(a, b), "StrEq ignores letter case only");
  Require(FoldCase(FoldCase(a)) == FoldCase(a), "folding twice is folding once");

  std::string joined = a;
  StrJoin2(joined, joined, b);
  Require(joined == a + b, "StrJoin2 may take its target as its first text");
  StrJoin5(joined, b, a, b, a, b);
  StrAppend4(joined, a, a, b, b);
  Require(joined == b + a + b + a + b + a + a + b + b, "joining and appending keep every text");
  return 0;
}
