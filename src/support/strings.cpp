#include "support/strings.h"

#include <algorithm>

void StrJoin2(std::string& dest, Text a, Text b) {
  // a may be dest itself: build into a fresh text first.
  std::string joined(a);
  joined += b;
  dest = std::move(joined);
}

void StrJoin3(std::string& dest, Text a, Text b, Text c) {
  StrJoin2(dest, a, b);
  dest += c;
}

void StrJoin5(std::string& dest, Text a, Text b, Text c, Text d, Text e) {
  StrJoin3(dest, a, b, c);
  StrAppend2(dest, d, e);
}

void StrAppend2(std::string& dest, Text a, Text b) {
  dest += a;
  dest += b;
}

void StrAppend3(std::string& dest, Text a, Text b, Text c) {
  StrAppend2(dest, a, b);
  dest += c;
}

void StrAppend4(std::string& dest, Text a, Text b, Text c, Text d) {
  StrAppend2(dest, a, b);
  StrAppend2(dest, c, d);
}

void SubStr(std::string& dest, Text source, int position, int length) {
  if (position < 1 || length <= 0 ||
      static_cast<size_t>(position) > source.size()) {
    dest.clear();
    return;
  }
  dest = std::string(source.substr(position - 1, length));
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
