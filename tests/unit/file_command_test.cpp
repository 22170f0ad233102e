#include "support/file_command.h"

#include <gtest/gtest.h>

TEST(FileCommand, BuildsTheExactText) {
  EXPECT_EQ(BuildCopyCommand("a b/x", "c/x"), "copy \"a b/x\" \"c/x\" >nul");
  EXPECT_EQ(BuildMoveCommand("a", "b"), "Move \"a\" \"b\" >nul");
}

TEST(FileCommand, ParseRoundTripsAwkwardNames) {
  const char* names[] = {"plain", "with blank", "q\"uote", "sp\" \"lit", "\" \"",
                         "$HOME", "a;b", "a&b", "`id`", "new\nline", "-rf", "x >nul"};
  for (const char* name : names) {
    for (const char* directories : {"", "/", "d\" \"1/"}) {
      std::string source = std::string("src dir/") + directories + name;
      std::string target = std::string("dst\" \"dir\\") + name;
      FileCommand parsed;
      ASSERT_TRUE(ParseFileCommand(BuildCopyCommand(source, target), parsed)) << source;
      EXPECT_EQ(parsed.Kind, FileCommand::Verb::Copy);
      EXPECT_EQ(parsed.Source, source);
      EXPECT_EQ(parsed.Target, target);
      ASSERT_TRUE(ParseFileCommand(BuildMoveCommand(source, target), parsed)) << source;
      EXPECT_EQ(parsed.Kind, FileCommand::Verb::Move);
      EXPECT_EQ(parsed.Source, source);
      EXPECT_EQ(parsed.Target, target);
    }
  }
}

TEST(FileCommand, DifferentNamesSplitAtTheFirstSeparator) {
  FileCommand parsed;
  ASSERT_TRUE(ParseFileCommand("copy \"a\" \"b\" \"c\" >nul", parsed));
  EXPECT_EQ(parsed.Source, "a");
  EXPECT_EQ(parsed.Target, "b\" \"c");
  ASSERT_TRUE(ParseFileCommand("copy \"\" \"\" >nul", parsed));
  EXPECT_EQ(parsed.Source, "");
  EXPECT_EQ(parsed.Target, "");
}

TEST(FileCommand, RejectsOtherForms) {
  FileCommand parsed;
  parsed.Source = "kept";
  const char* others[] = {"", "del x", "copy \"a\" \"b\"", "copy \"a\" \"b\" >nul ",
                          "COPY \"a\" \"b\" >nul", "move \"a\" \"b\" >nul",
                          "copy \"ab\" >nul", "copy \" >nul", "copy \"\" >nul",
                          "copy \"a\"  \"b\" >nul", " copy \"a\" \"b\" >nul", "Move \"",
                          "\" >nul"};
  for (const char* command : others) {
    EXPECT_FALSE(ParseFileCommand(command, parsed)) << command;
  }
  EXPECT_EQ(parsed.Source, "kept");
  std::string full = BuildCopyCommand("a", "b");
  for (size_t length = 0; length < full.size(); ++length) {
    EXPECT_FALSE(ParseFileCommand(full.substr(0, length), parsed)) << length;
  }
}
