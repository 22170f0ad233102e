#include "support/file_command.h"

#include <algorithm>
#include <iterator>
#include <string_view>

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

// Every reading of "SOURCE" "TARGET" that splits at a quote-blank-quote.
std::vector<FileCommand> SplitReadings(std::string_view middle, FileCommand::Verb kind) {
  std::vector<FileCommand> readings;
  for (size_t at = middle.find(PathSeparator); at != std::string_view::npos;
       at = middle.find(PathSeparator, at + 1)) {
    readings.push_back({kind, std::string(middle.substr(0, at)),
                        std::string(middle.substr(at + PathSeparator.size()))});
  }
  return readings;
}

bool SameLastComponent(const FileCommand& reading) {
  return LastComponent(reading.Source) == LastComponent(reading.Target);
}

}  // namespace

std::string BuildCopyCommand(const std::string& source, const std::string& target) {
  return BuildCommand(CopyOpening, source, target);
}

std::string BuildMoveCommand(const std::string& source, const std::string& target) {
  return BuildCommand(MoveOpening, source, target);
}

std::vector<FileCommand> ParseFileCommand(const std::string& command) {
  static_assert(CopyOpening.size() == MoveOpening.size());
  std::string_view text = command;
  if (text.size() < CopyOpening.size() + Closing.size() || !text.ends_with(Closing)) return {};
  FileCommand::Verb kind;
  if (text.starts_with(CopyOpening)) {
    kind = FileCommand::Verb::Copy;
  } else if (text.starts_with(MoveOpening)) {
    kind = FileCommand::Verb::Move;
  } else {
    return {};
  }
  text.remove_prefix(CopyOpening.size());
  text.remove_suffix(Closing.size());
  std::vector<FileCommand> readings = SplitReadings(text, kind);
  // Vorn copies and moves a file under its own name, so readings whose two
  // paths end in different names are kept only when there is no other.
  std::vector<FileCommand> sameName;
  std::copy_if(readings.begin(), readings.end(), std::back_inserter(sameName),
               SameLastComponent);
  return sameName.empty() ? readings : sameName;
}
