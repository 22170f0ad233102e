// Path texts: both '/' and '\' separate components and a leading "X:" is a
// drive, on every platform.
#pragma once

#include <string>

struct PathParts {
  std::string Drive;      // "X:" or empty
  std::string Directory;  // keeps its closing separator
  std::string Name;
  std::string Extension;  // keeps its dot
};

bool IsSeparator(char c);
// True when text ends in '/', '\' or ':': a name can be appended to it
// directly. The empty text gives false.
bool EndsInSeparator(const std::string& text);
PathParts SplitPath(const std::string& path);
