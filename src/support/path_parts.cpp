#include "support/path_parts.h"

#include <string_view>

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool EndsInSeparator(const std::string& text) {
  return !text.empty() && (IsSeparator(text.back()) || text.back() == ':');
}

namespace {

bool IsDotDirectory(std::string_view component) {
  return component == "." || component == "..";
}

size_t LastComponentStart(std::string_view rest) {
  for (size_t i = rest.size(); i > 0; --i) {
    if (IsSeparator(rest[i - 1])) return i;
  }
  return 0;
}

}  // namespace

PathParts SplitPath(const std::string& path) {
  PathParts parts;
  std::string_view rest = path;
  if (rest.size() >= 2 && rest[1] == ':') {
    parts.Drive = rest.substr(0, 2);
    rest.remove_prefix(2);
  }
  size_t start = LastComponentStart(rest);
  std::string_view last = rest.substr(start);
  if (IsDotDirectory(last)) {
    parts.Directory = rest;
    return parts;
  }
  parts.Directory = rest.substr(0, start);
  size_t dot = last.rfind('.');
  if (dot == std::string_view::npos) dot = last.size();
  parts.Name = last.substr(0, dot);
  parts.Extension = last.substr(dot);
  return parts;
}
