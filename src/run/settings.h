// The one process-wide record of a run: what the command line said.
#pragma once

#include <string>
#include <vector>

struct RunSettings {
  bool TerminateOnError = true;
  std::string Action;
  std::vector<std::string> Modifier;  // the FileMarkers, in command-line order
  char ActionSuffix = ' ';            // side of the last simple action resolved
  std::vector<std::string> Dir1Str;   // the directory pairs, in order
  std::vector<std::string> Dir2Str;
  bool Recurse = false;
  bool UseRecurseSkips = false;
  std::string RecurseSkips;           // first characters of skipped subdirectories
  bool AcceptCtrlZ = false;
  bool Quiet = false;
  bool Confirm = false;
  float PtoUse = 2.0f;                // probability of handling a marked entry
};

extern RunSettings Settings;

// Applies argument when it is a switch and says whether it was one.
bool ReadSwitch(const std::string& argument);
// Resets the per-command-line defaults, then sorts arguments[first..] into
// switches and FileMarkers.
void ReadModifiers(int count, const char* const* arguments, int first);
[[noreturn]] void ShowUsage();
