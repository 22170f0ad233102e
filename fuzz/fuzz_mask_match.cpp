// MatchesMask on any name and mask: the same answers as a plain table-driven
// matcher that tries every split a '*' can make.
#include <string_view>

#include "fuzz_support.h"
#include "support/mask_match.h"
#include "support/strings.h"

namespace {

bool Literal(std::string_view name, std::string_view mask) {
  // can[i][j]: name from i on matches mask from j on.
  std::vector<std::vector<char>> can(name.size() + 1, std::vector<char>(mask.size() + 1, 0));
  can[name.size()][mask.size()] = 1;
  for (size_t i = name.size() + 1; i-- > 0;) {
    for (size_t j = mask.size(); j-- > 0;) {
      if (mask[j] == '*') {
        can[i][j] = can[i][j + 1] || (i < name.size() && can[i + 1][j]);
      } else if (i < name.size() && (mask[j] == '?' || FoldCase(mask[j]) == FoldCase(name[i]))) {
        can[i][j] = can[i + 1][j + 1];
      }
    }
  }
  return can[0][0];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> pieces = Pieces(data, size);
  if (pieces.size() != 2 || pieces[0].size() > 300 || pieces[1].size() > 300) return 0;
  const std::string& name = pieces[0];
  const std::string& mask = pieces[1];
  Require(MatchesMask(name, name), "a name matches itself");
  Require(MatchesMask(name, "*") && MatchesMask(name, "*.*"), "* and *.* match every name");
  const bool literal = Literal(name, mask);
  const bool matches = MatchesMask(name, mask);
  if (literal) Require(matches, "a literal match is a match");
  if (name.find('.') != std::string::npos)
    Require(matches == literal, "a name with a dot matches literally or not at all");
  return 0;
}
