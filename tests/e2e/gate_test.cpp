// The gate every disk operation passes per entry: marks, the /p draw and the
// /c confirmation read one character at a time from standard input.
#include <string>
#include <vector>

#include "scenario.h"

namespace {

std::string Prompt(const std::string& verb, const std::string& path) {
  return verb + " file " + path + "? ";
}

std::string Copying(const std::string& name) {
  return Lines({"Copying a/" + name + " to b/" + name});
}

size_t Count(const std::string& text, const std::string& piece) {
  size_t count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
    ++count;
  return count;
}

}  // namespace

class Gate : public Scenario {
 protected:
  // Files f01 .. fNN in a/, each holding its own name; b/ empty.
  std::vector<std::string> Numbered(int count) {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) {
      std::string name = (i < 10 ? "f0" : "f") + std::to_string(i);
      File("a/" + name, name);
      names.push_back(name);
    }
    Dir("b");
    return names;
  }
};

TEST_F(Gate, ConfirmProceedsOnlyOnAnAnswerOfY) {
  Numbered(6);
  Expect({"a/", "b", "Copy1", "All1", "/c"},
         Prompt("Copy", "a/f01") + Copying("f01") + Prompt("Copy", "a/f02") + Copying("f02") +
             Prompt("Copy", "a/f03") + Prompt("Copy", "a/f04") + Prompt("Copy", "a/f05") +
             Prompt("Copy", "a/f06"),
         0, "y\nY\nn\nN\nq\n7\n");
  EXPECT_EQ(Tree("b"), Lines({"f01 3", "f02 3"}));
}

TEST_F(Gate, EachPromptTakesOneCharacterSkippingWhiteSpace) {
  Numbered(4);
  Expect({"a/", "b", "Copy1", "All1", "/c"},
         Prompt("Copy", "a/f01") + Copying("f01") + Prompt("Copy", "a/f02") +
             Prompt("Copy", "a/f03") + Prompt("Copy", "a/f04") + Copying("f04"),
         0, "yes\n\n \t\r\n  y\n");
  EXPECT_EQ(Tree("b"), Lines({"f01 3", "f04 3"}));
}

TEST_F(Gate, EndOfInputAnswersNo) {
  Numbered(3);
  Expect({"a/", "b", "Copy1", "All1", "/c"},
         Prompt("Copy", "a/f01") + Copying("f01") + Prompt("Copy", "a/f02") +
             Prompt("Copy", "a/f03"),
         0, "y");
  Expect({"a/", "b", "Del1", "All1", "/c"},
         Prompt("Delete", "a/f01") + Prompt("Delete", "a/f02") + Prompt("Delete", "a/f03"), 0, "");
  EXPECT_EQ(Tree("a"), Lines({"f01 3", "f02 3", "f03 3"}));
  EXPECT_EQ(Tree("b"), Lines({"f01 3"}));
}

TEST_F(Gate, PromptNamesTheVerbAndTheFullPath) {
  File("a/x", "x");
  File("a/y", "y");
  File("b/z", "z");
  Expect({"a/", "b", "Move1", "Only1", "/c"},
         Prompt("Move", "a/x") + Lines({"Moving a/x to b/x"}) + Prompt("Move", "a/y"), 0, "yn");
  Expect({"a/", "b", "DelB", "AllB", "/c"},
         Prompt("Delete", "a/y") + Lines({"Deleting a/y"}) + Prompt("Delete", "b/x") +
             Prompt("Delete", "b/z") + Lines({"Deleting b/z"}),
         0, "yny");
  EXPECT_EQ(Tree("a"), "");
  EXPECT_EQ(Tree("b"), Lines({"x 1"}));
}

TEST_F(Gate, UnmarkedEntriesAreNeverOffered) {
  File("a/paired", "p");
  File("a/single", "s");
  File("b/paired", "p");
  Expect({"a/", "b", "Copy1", "Only1", "/c"}, Prompt("Copy", "a/single") + Copying("single"), 0,
         "y");
  Expect({"a/", "b", "Copy1", "/c"}, "", 0, "y");
  EXPECT_EQ(Tree("b"), Lines({"paired 1", "single 1"}));
}

TEST_F(Gate, AnEmptyFileIsOfferedButNotCopied) {
  File("a/empty", "");
  File("a/full", "data");
  Dir("b");
  Expect({"a/", "b", "Copy1", "All1", "/c"},
         Prompt("Copy", "a/empty") + Prompt("Copy", "a/full") + Copying("full"), 0, "yy");
  EXPECT_EQ(Tree("b"), Lines({"full 4"}));
}

TEST_F(Gate, QuietKeepsThePrompt) {
  Numbered(2);
  Expect({"a/", "b", "Copy1", "All1", "/q", "/c"},
         Prompt("Copy", "a/f01") + Prompt("Copy", "a/f02"), 0, "ny");
  EXPECT_EQ(Tree("b"), Lines({"f02 3"}));
}

TEST_F(Gate, ProbabilityOneHandlesEveryMarkedEntry) {
  std::vector<std::string> names = Numbered(20);
  std::string copied;
  for (const std::string& name : names) copied += Copying(name);
  Expect({"a/", "b", "Copy1", "All1", "/p1"}, copied);
  Expect({"a/", "b", "Del2", "All2", "/p1.0", "/q"}, "");
  EXPECT_EQ(Tree("b"), "");
}

TEST_F(Gate, ProbabilityZeroHandlesAlmostNothing) {
  Numbered(20);
  RunResult copy = Run({"a/", "b", "Copy1", "All1", "/p0"});
  EXPECT_EQ(copy.Status, 0);
  EXPECT_EQ(copy.Err, "");
  EXPECT_LE(Count(copy.Out, "Copying "), 3u);
  EXPECT_EQ(Count(copy.Out, "\n"), Count(copy.Out, "Copying "));
  EXPECT_EQ(Count(Tree("b"), "\n"), Count(copy.Out, "Copying "));

  RunResult remove = Run({"a/", "b", "Del1", "All1", "/p0", "/q"});
  EXPECT_EQ(remove.Out, "");
  EXPECT_EQ(remove.Status, 0);
  EXPECT_GE(Count(Tree("a"), "\n"), 17u);
}

TEST_F(Gate, AnEntryThatFailsTheDrawIsSkippedWithoutAPrompt) {
  Numbered(20);
  RunResult result = Run({"a/", "b", "Copy1", "All1", "/c", "/p0"}, std::string(20, 'y'));
  EXPECT_EQ(result.Status, 0);
  EXPECT_EQ(result.Err, "");
  size_t prompts = Count(result.Out, "Copy file a/f");
  EXPECT_LE(prompts, 3u);
  EXPECT_EQ(Count(result.Out, "Copying "), prompts);
  EXPECT_EQ(Count(Tree("b"), "\n"), prompts);
}

TEST_F(Gate, PartialProbabilityHandlesOnlyMarkedEntriesAndEachWhole) {
  std::vector<std::string> names = Numbered(40);
  File("b/f01", "partner");
  RunResult result = Run({"a/", "b", "Copy1", "Only1", "/p0.5"});
  EXPECT_EQ(result.Status, 0);
  EXPECT_EQ(result.Err, "");
  std::string expected;
  for (const std::string& name : names) {
    if (name == "f01") continue;
    if (Exists("b/" + name)) {
      expected += Copying(name);
      EXPECT_EQ(Read("b/" + name), name);
    }
  }
  EXPECT_EQ(result.Out, expected);
  EXPECT_EQ(Read("b/f01"), "partner");
}

TEST_F(Gate, AMoveToAnotherDriveAsksToCopyThenToDeleteWhatWasCopied) {
  // X: names another drive, so the move is a copy followed by a delete.
  File("s/a", "a");
  File("s/b", "b");
  File("s/c", "c");
  Dir("X:");
  Expect({"s/", "X:", "Move1", "All1", "/c"},
         Prompt("Copy", "s/a") +
             Lines({"Copying s/a to X:./a", "Creating target directory X:.",
                    "Trying to create directory X:."}) +
             Prompt("Copy", "s/b") + Lines({"Copying s/b to X:./b"}) + Prompt("Copy", "s/c") +
             Prompt("Delete", "s/a") + Prompt("Delete", "s/b") + Lines({"Deleting s/b"}),
         0, "yynny");
  EXPECT_EQ(Tree("s"), Lines({"a 1", "c 1"}));
  EXPECT_EQ(Tree("X:."), Lines({"a 1", "b 1"}));
}
