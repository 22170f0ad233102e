#include "run/settings.h"

#include "support/console.h"
#include "support/strings.h"
#include "support/text_to_real.h"

RunSettings Settings;

namespace {

bool BeginsWith(const std::string& argument, Text prefix) {
  return StrPos(argument, prefix, 1) == 1;
}

std::string AfterPrefix(const std::string& argument) {
  std::string rest = argument;
  StrDelete(rest, 1, 2);
  return rest;
}

}  // namespace

bool ReadSwitch(const std::string& argument) {
  if (StrEq(argument, "/q")) {
    Handling.Quiet = true;
  } else if (StrEq(argument, "/r")) {
    Settings.Recurse = true;
    Settings.UseRecurseSkips = false;
  } else if (BeginsWith(argument, "/r")) {
    Settings.Recurse = true;
    Settings.UseRecurseSkips = true;
    Settings.RecurseSkips = AfterPrefix(argument);
  } else if (BeginsWith(argument, "/p")) {
    Handling.PtoUse = static_cast<float>(TextToReal(AfterPrefix(argument)));
  } else if (StrEq(argument, "/nr")) {
    Settings.Recurse = false;
  } else if (StrEq(argument, "/t")) {
    Handling.TerminateOnError = true;
  } else if (StrEq(argument, "/nt")) {
    Handling.TerminateOnError = false;
  } else if (StrEq(argument, "/ctrlz")) {
    Handling.AcceptCtrlZ = true;
  } else if (StrEq(argument, "/nctrlz")) {
    Handling.AcceptCtrlZ = false;
  } else if (StrEq(argument, "/c")) {
    Handling.Confirm = true;
  } else if (StrEq(argument, "/nc")) {
    Handling.Confirm = false;
  } else {
    return false;
  }
  return true;
}

void ReadModifiers(int count, const char* const* arguments, int first) {
  Settings.Modifier.clear();
  Settings.Recurse = false;
  Handling.AcceptCtrlZ = false;
  Handling.TerminateOnError = true;
  Handling.Confirm = false;
  for (int i = first; i < count; ++i) {
    if (!ReadSwitch(arguments[i])) Settings.Modifier.emplace_back(arguments[i]);
  }
}

void ShowUsage() {
  static const char* const kLines[] = {
      "Vorn Optional Switches: (default setting listed first)",
      "       /nr      nonrecursive",
      "       /r       recurse to all subdirectories",
      "",
      "       /r#      recurse to subdirectories NOT starting with #",
      "",
      "       /nc      don't confirm",
      "       /c       confirm",
      "       /t       terminate on file-handling error",
      "       /q       Run quietly, without displaying names of files copied, deleted, etc.",
      "       /nt      don't terminate",
      "",
      "       /nctrlz  don't accept as bytematching files differing",
      "                in that one has an extra Ctrl-Z at the end",
      "       /ctrlz   do accept such files as bytematches",
      "",
      "       /p0.30   Only do the directed action with indicated probability",
      "",
      "Invoke with:  Vorn  [Dir1]FileSet1  Dir2  Action  [FileMarkers]",
  };
  for (const char* line : kLines) {
    Write(line);
    EndLine();
  }
  RunAbort("    or with:  Vorn  @ControlFile  Action  [FileMarkers]");
}
