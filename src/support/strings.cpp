#include "support/strings.h"

#include <algorithm>

void StrAppend3(std::string& dest, Text a, Text b, Text c) {
  dest += a;
  dest += b;
  dest += c;
}

void StrDelete(std::string& text, int position, int count) {
  if (position < 1 || count <= 0 || static_cast<size_t>(position) > text.size())
    return;
  text.erase(position - 1, count);
}

int StrPos(Text text, Text pattern, int start) {
  if (start < 1 || pattern.empty() || static_cast<size_t>(start) > text.size())
    return 0;
  size_t found = text.find(pattern, start - 1);
  return found == Text::npos ? 0 : static_cast<int>(found) + 1;
}

char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

std::string FoldCase(Text text) {
  std::string folded(text);
  for (char& c : folded) c = FoldCase(c);
  return folded;
}

bool StrEq(Text a, Text b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

bool StrEqAny2(Text x, Text a, Text b) { return StrEq(x, a) || StrEq(x, b); }

bool StrEqAny5(Text x, Text a, Text b, Text c, Text d, Text e) {
  return StrEqAny2(x, a, b) || StrEqAny2(x, c, d) || StrEq(x, e);
}
