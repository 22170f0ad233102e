#include "support/mask_match.h"

#include <string_view>

#include "support/strings.h"

namespace {

bool SameCharacter(char maskChar, char nameChar) {
  return maskChar == '?' || FoldCase(maskChar) == FoldCase(nameChar);
}

// Greedy scan that remembers only the latest '*': on a mismatch the star
// swallows one more character and the scan resumes from there. Earlier stars
// never need revisiting, so the cost stays near name length times mask length
// even for masks like "*a*a*a*b".
bool MatchesLiterally(std::string_view name, std::string_view mask) {
  size_t n = 0, m = 0;
  size_t starMask = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (m < mask.size() && SameCharacter(mask[m], name[n])) {
      ++m;
      ++n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

// A name without a dot is treated as if it ended in an empty extension, so a
// mask's closing "." or ".*" may match the end of such a name: "*." picks the
// dotless names, "*.*" and "abc.*" also take "abc".
bool MatchesMask(const std::string& name, const std::string& mask) {
  if (MatchesLiterally(name, mask)) return true;
  if (name.find('.') != std::string::npos) return false;
  std::string_view view = mask;
  for (std::string_view emptyExtension : {".*", "."}) {
    if (EndsWith(view, emptyExtension)) {
      return MatchesLiterally(name, view.substr(0, view.size() - emptyExtension.size()));
    }
  }
  return false;
}
