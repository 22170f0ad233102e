#include "support/file_command.h"

#include <gtest/gtest.h>

namespace {

bool Offers(const std::vector<FileCommand>& readings, FileCommand::Verb kind,
            const std::string& source, const std::string& target) {
  for (const FileCommand& reading : readings)
    if (reading.Kind == kind && reading.Source == source && reading.Target == target) return true;
  return false;
}

}  // namespace

TEST(FileCommand, BuildsTheExactText) {
  EXPECT_EQ(BuildCopyCommand("a b/x", "c/x"), "copy \"a b/x\" \"c/x\" >nul");
  EXPECT_EQ(BuildMoveCommand("a", "b"), "Move \"a\" \"b\" >nul");
}

TEST(FileCommand, EveryBuiltCommandIsAmongItsReadings) {
  const char* names[] = {"plain", "with blank", "q\"uote", "sp\" \"lit", "\" \"",
                         "$HOME", "a;b", "a&b", "`id`", "new\nline", "-rf", "x >nul"};
  for (const char* name : names) {
    for (const char* directories : {"", "/", "d\" \"1/", "x\" \"b/"}) {
      std::string source = std::string("src dir/") + directories + name;
      std::string target = std::string("dst\" \"dir\\") + name;
      auto copy = ParseFileCommand(BuildCopyCommand(source, target));
      EXPECT_TRUE(Offers(copy, FileCommand::Verb::Copy, source, target)) << source;
      auto move = ParseFileCommand(BuildMoveCommand(source, target));
      EXPECT_TRUE(Offers(move, FileCommand::Verb::Move, source, target)) << source;
    }
  }
}

TEST(FileCommand, ReadingsEndingInOneNameComeFirstClass) {
  // A directory "x" "b" holding x: both splits end in the same name.
  auto readings = ParseFileCommand("copy \"d/x\" \"b/x\" \"c/x\" >nul");
  ASSERT_EQ(readings.size(), 2u);
  EXPECT_EQ(readings[0].Source, "d/x");
  EXPECT_EQ(readings[1].Source, "d/x\" \"b/x");
  // Only when no split ends in one name are the others offered.
  readings = ParseFileCommand("copy \"a\" \"b\" \"c\" >nul");
  EXPECT_EQ(readings.size(), 2u);
  readings = ParseFileCommand("copy \"\" \"\" >nul");
  ASSERT_EQ(readings.size(), 1u);
  EXPECT_EQ(readings[0].Target, "");
}

TEST(FileCommand, RejectsOtherForms) {
  const char* others[] = {"", "del x", "copy \"a\" \"b\"", "copy \"a\" \"b\" >nul ",
                          "COPY \"a\" \"b\" >nul", "move \"a\" \"b\" >nul",
                          "copy \"ab\" >nul", "copy \" >nul", "copy \"\" >nul",
                          "copy \"a\"  \"b\" >nul", " copy \"a\" \"b\" >nul", "Move \"",
                          "\" >nul"};
  for (const char* command : others) EXPECT_TRUE(ParseFileCommand(command).empty()) << command;
  std::string full = BuildCopyCommand("a", "b");
  for (size_t length = 0; length < full.size(); ++length)
    EXPECT_TRUE(ParseFileCommand(full.substr(0, length)).empty()) << length;
}
