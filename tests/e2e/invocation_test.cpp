#include "scenario.h"

using Invocation = Scenario;

TEST_F(Invocation, TooFewArgumentsShowTheUsage) {
  Expect({}, kUsage, 1);
  Expect({"a/", "b"}, kUsage, 1);
  Expect({"@pairs.txt"}, kUsage, 1);
}

TEST_F(Invocation, SecondTextMustBeADirectory) {
  Dir("a");
  File("b", "plain file");
  const std::string abort =
      Lines({"Program halted by RunAbort, with following error message:",
             "  Second parameter must be a directory."});
  Expect({"a/", "b", "List1", "All1"}, abort, 1);
  Expect({"a/", "nowhere", "List1", "All1"}, abort, 1);
}

TEST_F(Invocation, SameDirectoryIsRefusedHoweverItIsWritten) {
  Dir("a/sub");
  const std::string abort =
      Lines({"Program halted by RunAbort, with following error message:",
             "  Vorn must operate on two different directories."});
  Expect({"a/", "a/", "List1", "All1"}, abort, 1);
  Dir("A");  // the texts are compared without regard to case
  Expect({"a/*.*", "A/", "List1", "All1"}, abort, 1);
  Expect({"a/", "a", "List1", "All1"}, abort, 1);
  Expect({"a/sub/", "a/sub/../sub", "List1", "All1"}, abort, 1);
  Expect({"", ".", "List1", "All1"}, abort, 1);
}

TEST_F(Invocation, ControlFileThatCannotBeOpenedStopsTheRun) {
  Expect({"@missing.txt", "List1", "All1"},
         Lines({"Program halted by RunAbort, with following error message:",
                "  Could not open control file missing.txt"}),
         1);
}

TEST_F(Invocation, ControlFileLinesWithoutAUsableTabAreReported) {
  Dir("a");
  Dir("b");
  File("pairs.txt", "x\nab\n\nabc\n\ta/\tb\na/\t\n\t\n");
  Expect({"@pairs.txt", "List1", "All1"},
         Lines({"WARNING: Could not parse abc", "WARNING: Could not parse \ta/\tb",
                "WARNING: Could not parse a/\t"}));
  File("empty.txt", "");
  Expect({"@empty.txt", "List1", "All1"}, "");
}
