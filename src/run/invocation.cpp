#include "run/invocation.h"

#include "disk/disk_file_list.h"
#include "run/driver.h"
#include "run/settings.h"
#include "support/console.h"
#include "support/line_reader.h"
#include "support/path_parts.h"
#include "support/platform.h"
#include "support/random.h"
#include "support/strings.h"

namespace {

// A run that went to its end but could not read some file or directory, each
// named in a warning line: a script must not take it for a complete one.
constexpr int kIncompleteStatus = 2;

[[noreturn]] void RefuseSameDirectories() {
  RunAbort("Vorn must operate on two different directories.");
}

// Two texts can name one directory on disk (a closing separator, "." for the
// empty text, a link); handling a directory against itself could destroy the
// files a delete or move was meant to keep.
bool NameSameDirectory(const std::string& first, const std::string& second) {
  DirIdentity identity1, identity2;
  return IdentifyDir(ListDirectoryOf(first), identity1) &&
         IdentifyDir(ListDirectoryOf(second), identity2) && identity1 == identity2;
}

void DoPair(const std::string& dir1, const std::string& dir2) {
  std::string dir1Spec = dir1;
  std::string dir2Spec = dir2;
  CompleteBareDrive(dir1Spec);
  CompleteBareDrive(dir2Spec);
  PathParts parts = SplitPath(dir1Spec);
  std::string firstDirectory = parts.Drive + parts.Directory;
  if (!IsaDir(dir2)) RunAbort("Second parameter must be a directory.");
  if (StrEq(firstDirectory, dir2Spec)) RefuseSameDirectories();
  StrAppend3(dir2Spec, std::string(1, NativeSeparator()), parts.Name, parts.Extension);
  if (NameSameDirectory(dir1Spec, dir2Spec)) RefuseSameDirectories();
  DoDirPair(dir1Spec, dir2Spec);
}

}  // namespace

int RunVorn(int count, const char* const* arguments) {
  SeedRandom(ClockSeed());
  Settings.ActionSuffix = ' ';
  Handling.Quiet = false;
  if (count < 2) ShowUsage();
  if (arguments[1][0] == '@') {
    ReadControlFile(count, arguments);
  } else {
    ReadDirectArgs(count, arguments);
  }
  for (size_t i = 0; i < Settings.Dir1Str.size(); ++i)
    DoPair(Settings.Dir1Str[i], Settings.Dir2Str[i]);
  return AnythingUnreadable() ? kIncompleteStatus : 0;
}

void ReadDirectArgs(int count, const char* const* arguments) {
  if (count < 4) ShowUsage();
  Settings.Dir1Str.assign(1, arguments[1]);
  Settings.Dir2Str.assign(1, arguments[2]);
  Settings.Action = arguments[3];
  ReadModifiers(count, arguments, 4);
}

void ReadControlFile(int count, const char* const* arguments) {
  if (count < 3) ShowUsage();
  std::string name = arguments[1];
  StrDelete(name, 1, 1);
  Settings.Dir1Str.clear();
  Settings.Dir2Str.clear();
  LineReader file(name);
  if (!file.IsOpen()) RunAbort2("Could not open control file ", name);
  for (std::string line; file.ReadLine(line);) ReadControlLine(ControlLineAsUtf8(line));
  Settings.Action = arguments[2];
  ReadModifiers(count, arguments, 3);
}

void ReadControlLine(const std::string& line) {
  if (line.size() < 3) return;
  int tab = StrPos(line, "\t", 1);
  if (tab == 0 || tab == 1 || tab == static_cast<int>(line.size())) {
    RunWarning2("Could not parse ", line);
    return;
  }
  Settings.Dir1Str.push_back(line.substr(0, tab - 1));
  Settings.Dir2Str.push_back(line.substr(tab));
}

void CompleteBareDrive(std::string& text) {
  if (text.size() == 2 && text[1] == ':') text += '.';
}
