// The two command lines the disk operations hand to the command interpreter:
//   copy "SOURCE" "TARGET" >nul
//   Move "SOURCE" "TARGET" >nul
#pragma once

#include <string>
#include <vector>

std::string BuildCopyCommand(const std::string& source, const std::string& target);
std::string BuildMoveCommand(const std::string& source, const std::string& target);

struct FileCommand {
  enum class Verb { Copy, Move } Kind = Verb::Copy;
  std::string Source;
  std::string Target;
};

// Reads back a command line of one of the two forms: every way of splitting
// it into two paths (paths may themselves hold quotes and blanks), those
// whose paths end in the same name first-class. Empty for anything else.
std::vector<FileCommand> ParseFileCommand(const std::string& command);
