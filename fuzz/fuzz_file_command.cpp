// The copy and move command lines, read back: every reading of any line
// rebuilds that very line, and a line built from two paths that end in the
// same name is always read back with those two paths.
#include <string_view>

#include "fuzz_support.h"
#include "support/file_command.h"

namespace {

std::string_view LastComponent(std::string_view path) {
  size_t separator = path.find_last_of("/\\");
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string Rebuild(const FileCommand& reading) {
  return reading.Kind == FileCommand::Verb::Copy ? BuildCopyCommand(reading.Source, reading.Target)
                                                 : BuildMoveCommand(reading.Source, reading.Target);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  for (const FileCommand& reading : ParseFileCommand(line))
    Require(Rebuild(reading) == line, "a reading rebuilds its line");

  std::vector<std::string> paths = Pieces(data, size);
  if (paths.size() != 2) return 0;
  const std::string& source = paths[0];
  const std::string& target = paths[1];
  for (bool copy : {true, false}) {
    const std::string command =
        copy ? BuildCopyCommand(source, target) : BuildMoveCommand(source, target);
    const std::vector<FileCommand> readings = ParseFileCommand(command);
    Require(!readings.empty(), "a built line is read back");
    bool found = false;
    for (const FileCommand& reading : readings) {
      Require((reading.Kind == FileCommand::Verb::Copy) == copy, "the verb is kept");
      found = found || (reading.Source == source && reading.Target == target);
    }
    if (LastComponent(source) == LastComponent(target))
      Require(found, "paths that end in the same name are among the readings");
  }
  return 0;
}
