// The one process-wide record of a run: what the command line said. The
// switches that say how files are handled go to the lists' Handling.
#pragma once

#include <string>
#include <vector>

#include "lists/handling.h"

struct RunSettings {
  std::string Action;
  std::vector<std::string> Modifier;  // the FileMarkers, in command-line order
  char ActionSuffix = ' ';            // side of the last simple action resolved
  std::vector<std::string> Dir1Str;   // the directory pairs, in order
  std::vector<std::string> Dir2Str;
  bool Recurse = false;
  bool UseRecurseSkips = false;
  std::string RecurseSkips;           // first characters of skipped subdirectories
};

extern RunSettings Settings;

// Applies argument when it is a switch and says whether it was one.
bool ReadSwitch(const std::string& argument);
// Resets the per-command-line defaults, then sorts arguments[first..] into
// switches and FileMarkers.
void ReadModifiers(int count, const char* const* arguments, int first);
[[noreturn]] void ShowUsage();
