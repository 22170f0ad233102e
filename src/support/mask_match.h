#pragma once

#include <string>

// Windows-style wildcard match: '*' any run (also none), '?' exactly one
// character, ASCII letters without regard to case, every other byte itself.
// "*" and "*.*" match every name; a mask ending in '.' matches names without
// a dot.
bool MatchesMask(const std::string& name, const std::string& mask);
