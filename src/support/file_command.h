// The two command lines the disk operations hand to the command interpreter:
//   copy "SOURCE" "TARGET" >nul
//   Move "SOURCE" "TARGET" >nul
#pragma once

#include <string>

std::string BuildCopyCommand(const std::string& source, const std::string& target);
std::string BuildMoveCommand(const std::string& source, const std::string& target);

struct FileCommand {
  enum class Verb { Copy, Move } Kind = Verb::Copy;
  std::string Source;
  std::string Target;
};

// Reads back a command line of one of the two forms; false for anything else.
// Paths may themselves hold quotes and blanks: of the possible splits, the
// first whose two paths end in the same name is taken.
bool ParseFileCommand(const std::string& command, FileCommand& parsed);
