#include "support/file_command.h"

#include <string_view>
#include <utility>

namespace {

constexpr std::string_view CopyOpening = "copy \"";
constexpr std::string_view MoveOpening = "Move \"";
constexpr std::string_view PathSeparator = "\" \"";
constexpr std::string_view Closing = "\" >nul";

std::string BuildCommand(std::string_view opening, const std::string& source,
                         const std::string& target) {
  std::string command;
  command.reserve(opening.size() + source.size() + PathSeparator.size() +
                  target.size() + Closing.size());
  command.append(opening).append(source).append(PathSeparator).append(target).append(Closing);
  return command;
}

std::string_view LastComponent(std::string_view path) {
  size_t separator = path.find_last_of("/\\");
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

bool SplitPaths(std::string_view middle, FileCommand& parsed) {
  size_t chosen = middle.find(PathSeparator);
  if (chosen == std::string_view::npos) return false;
  for (size_t at = chosen; at != std::string_view::npos;
       at = middle.find(PathSeparator, at + 1)) {
    if (LastComponent(middle.substr(0, at)) ==
        LastComponent(middle.substr(at + PathSeparator.size()))) {
      chosen = at;
      break;
    }
  }
  parsed.Source = middle.substr(0, chosen);
  parsed.Target = middle.substr(chosen + PathSeparator.size());
  return true;
}

}  // namespace

std::string BuildCopyCommand(const std::string& source, const std::string& target) {
  return BuildCommand(CopyOpening, source, target);
}

std::string BuildMoveCommand(const std::string& source, const std::string& target) {
  return BuildCommand(MoveOpening, source, target);
}

bool ParseFileCommand(const std::string& command, FileCommand& parsed) {
  static_assert(CopyOpening.size() == MoveOpening.size());
  std::string_view text = command;
  if (text.size() < CopyOpening.size() + Closing.size() || !text.ends_with(Closing)) {
    return false;
  }
  FileCommand result;
  if (text.starts_with(CopyOpening)) {
    result.Kind = FileCommand::Verb::Copy;
  } else if (text.starts_with(MoveOpening)) {
    result.Kind = FileCommand::Verb::Move;
  } else {
    return false;
  }
  text.remove_prefix(CopyOpening.size());
  text.remove_suffix(Closing.size());
  if (!SplitPaths(text, result)) return false;
  parsed = std::move(result);
  return true;
}
