#include <unistd.h>

#include "scenario.h"

namespace {

// The List output of one list whose marked names fit on one line; nothing
// when no name is marked.
std::string Comparing(const std::string& name) {
  return "Comparing file a/" + name + " with b/" + name + "\n";
}

const std::string kNotCtrlZ = "Failed to match because extra char not CtrlZ.\n";

// Contents that differ from block to block, so a misplaced block is noticed.
std::string Text(size_t size) {
  std::string text(size, ' ');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>('0' + (i / 7) % 75);
  return text;
}

}  // namespace

class Compare : public Scenario {
 protected:
  // Both sides of the pair a/, b listed under the given arguments.
  void ExpectListB(const std::vector<std::string>& markers, const std::string& before,
                   const std::vector<std::string>& both, int status = 0) {
    std::vector<std::string> arguments = {"a/", "b", "ListB"};
    arguments.insert(arguments.end(), markers.begin(), markers.end());
    Expect(arguments, before + Listed("a/*.*", both) + Listed("b/*.*", both), status);
  }

  void Pair(const std::string& name, const std::string& one, const std::string& two,
            const std::string& time2 = "2024-01-01 10:00:00") {
    File("a/" + name, one);
    File("b/" + name, two, time2);
  }
};

TEST_F(Compare, ByteMarkersCompareOnlyPairsOfEqualSize) {
  Pair("diff.txt", "hello", "hellp");
  Pair("long.txt", "hello", "hello!");
  Pair("same.txt", "hello", "hello", "2024-06-01 12:00:00");
  File("a/solo.txt", "hello");
  const std::string compared = Comparing("diff.txt") + Comparing("same.txt");
  ExpectListB({"ByteMatches"}, compared, {"same.txt"});
  ExpectListB({"ByteMatch"}, compared, {"same.txt"});
  ExpectListB({"ByteMismatches"}, compared, {"diff.txt"});
  ExpectListB({"bytemismatch"}, compared, {"diff.txt"});
}

TEST_F(Compare, QuietSilencesTheComparingLines) {
  Pair("diff.txt", "hello", "hellp");
  Pair("same.txt", "hello", "hello");
  ExpectListB({"/q", "ByteMismatches"}, "", {"diff.txt"});
  ExpectListB({"ExactMatches", "/q"}, "", {"same.txt"});
}

TEST_F(Compare, TheEntryOfListOneIsNamedFirst) {
  File("a/Data.bin", "12345");
  File("b/DATA.BIN", "12345");
  Expect({"a/", "b", "List2", "ByteMatches"},
         "Comparing file a/Data.bin with b/DATA.BIN\n" + Listed("b/*.*", {"DATA.BIN"}));
  Expect({"a/*.BIN", "b", "List1", "ByteMismatches"},
         "Comparing file a/Data.bin with b/DATA.BIN\n");
}

TEST_F(Compare, EachContentMarkerComparesAgain) {
  Pair("f.txt", "abc", "abc");
  ExpectListB({"ByteMatches", "ByteMismatches"}, Comparing("f.txt") + Comparing("f.txt"),
              {"f.txt"});
}

TEST_F(Compare, ExactMarkersTestTimeAndSizeBeforeContents) {
  Pair("p.txt", "same", "same");
  Pair("q.txt", "same", "same", "2024-01-01 11:00:00");
  Pair("r.txt", "same", "sane");
  Pair("s.txt", "same", "same!");
  const std::string compared = Comparing("p.txt") + Comparing("r.txt");
  ExpectListB({"ExactMatches"}, compared, {"p.txt"});
  ExpectListB({"ExactMatch"}, compared, {"p.txt"});
  ExpectListB({"ExactMismatches"}, compared, {"q.txt", "r.txt", "s.txt"});
  ExpectListB({"ExactMismatch"}, compared, {"q.txt", "r.txt", "s.txt"});
}

TEST_F(Compare, DateMismatchesFindsEqualContentsOfDifferentTimes) {
  Pair("p.txt", "same", "same");
  Pair("q.txt", "same", "same", "2024-01-01 11:00:00");
  Pair("r.txt", "same", "sane", "2024-01-01 11:00:00");
  Pair("s.txt", "same", "same!", "2024-01-01 11:00:00");
  const std::string compared = Comparing("q.txt") + Comparing("r.txt");
  ExpectListB({"DateMismatches"}, compared, {"q.txt"});
  ExpectListB({"DateMismatch"}, compared, {"q.txt"});
}

TEST_F(Compare, SizeGateAllowsOneExtraByteOnlyUnderCtrlZ) {
  Pair("g.txt", "0123456789", "0123456789X");
  Pair("h.txt", "0123456789", "0123456789XY");
  ExpectListB({"ByteMismatches"}, "", {});
  ExpectListB({"ByteMismatches", "/nctrlz"}, "", {});
  ExpectListB({"/ctrlz", "ByteMismatches"}, Comparing("g.txt") + kNotCtrlZ, {"g.txt"});
  ExpectListB({"/ctrlz", "ExactMismatches"}, Comparing("g.txt") + kNotCtrlZ, {"g.txt", "h.txt"});
  // The last switch given decides.
  ExpectListB({"/ctrlz", "/nctrlz", "ByteMismatches"}, "", {});
}

TEST_F(Compare, TrailingCtrlZIsAcceptedOnEitherSide) {
  const std::string body = Text(100);
  Pair("one.txt", body + "\x1A", body);
  Pair("two.txt", body, body + "\x1A");
  const std::string compared = Comparing("one.txt") + Comparing("two.txt");
  ExpectListB({"/ctrlz", "ByteMatches"}, compared, {"one.txt", "two.txt"});
  ExpectListB({"/ctrlz", "ExactMismatches"}, compared, {});
  // Exactly equal sizes are demanded here whatever the setting.
  ExpectListB({"/ctrlz", "ExactMatches", "DateMismatches"}, "", {});
  ExpectListB({"ByteMatches", "ByteMismatches"}, "", {});
}

TEST_F(Compare, ExtraByteThatIsNotCtrlZIsReportedEvenWhenQuiet) {
  const std::string body = Text(100);
  Pair("r.txt", body, body + "\r");
  ExpectListB({"/ctrlz", "ByteMismatches"}, Comparing("r.txt") + kNotCtrlZ, {"r.txt"});
  ExpectListB({"/ctrlz", "/q", "ByteMismatches"}, kNotCtrlZ, {"r.txt"});
  ExpectListB({"/ctrlz", "/q", "ByteMatches"}, kNotCtrlZ, {});
}

TEST_F(Compare, CtrlZMessageComesOnlyFromTheLastBlock) {
  const std::string small = Text(100), large = Text(40960);
  std::string smallChanged = small, largeChanged = large;
  smallChanged[5] = '#';
  largeChanged[5] = '#';
  // A difference in the last block does not hide the wrong extra byte ...
  Pair("late.txt", small, smallChanged + "\r");
  // ... but one in an earlier full block decides before it is reached.
  Pair("early.txt", large, largeChanged + "\r");
  // A Ctrl-Z does not make different contents equal.
  Pair("z.txt", small, smallChanged + "\x1A");
  ExpectListB({"/ctrlz", "/q", "ByteMismatches"}, kNotCtrlZ, {"early.txt", "late.txt", "z.txt"});
}

TEST_F(Compare, BlockBoundariesAreReadThrough) {
  const std::string block = Text(20480), twoBlocks = Text(40960);
  std::string lastByteChanged = twoBlocks;
  lastByteChanged.back() = '#';
  Pair("exact.bin", block, block);
  Pair("lastbyte.bin", twoBlocks, lastByteChanged);
  Pair("plusz.bin", block, block + "\x1A");
  ExpectListB({"/q", "ByteMatches"}, "", {"exact.bin"});
  ExpectListB({"/q", "ByteMismatches"}, "", {"lastbyte.bin"});
  ExpectListB({"/q", "/ctrlz", "ByteMatches"}, "", {"exact.bin", "plusz.bin"});
}

TEST_F(Compare, EmptyFilesAreEqual) {
  Pair("e.txt", "", "");
  Pair("z.txt", "", "\x1A");
  ExpectListB({"ByteMatches"}, Comparing("e.txt"), {"e.txt"});
  ExpectListB({"ExactMatches", "/q"}, "", {"e.txt"});
  ExpectListB({"/q", "/ctrlz", "ByteMatches"}, "", {"e.txt", "z.txt"});
}

TEST_F(Compare, UnreadableFileMakesThePairDiffer) {
  // Root reads past any permission, but this file opens and then fails
  // every read.
  Dir("a");
  ASSERT_EQ(symlink("/proc/self/mem", Abs("a/mem.bin").c_str()), 0);
  File("b/mem.bin", "");
  const std::string warning = "WARNING: Could not read file a/mem.bin\n";
  // The run goes on, and its status says something could not be read.
  ExpectListB({"ByteMismatches"}, Comparing("mem.bin") + warning, {"mem.bin"}, 2);
  ExpectListB({"ByteMatches"}, Comparing("mem.bin") + warning, {}, 2);
  ExpectListB({"/q", "ByteMatches"}, warning, {}, 2);
}

TEST_F(Compare, TwoUnreadableFilesAreNotEqual) {
  Dir("a");
  Dir("b");
  ASSERT_EQ(symlink("/proc/self/mem", Abs("a/mem.bin").c_str()), 0);
  ASSERT_EQ(symlink("/proc/thread-self/mem", Abs("b/mem.bin").c_str()), 0);
  ExpectListB({"/q", "ByteMismatches"},
              "WARNING: Could not read file a/mem.bin\nWARNING: Could not read file b/mem.bin\n",
              {"mem.bin"}, 2);
}

TEST_F(Compare, MarkersBeforeAnUnusableOneHaveCompared) {
  Pair("f.txt", "abc", "abc");
  Expect({"a/", "b", "ListB", "ByteMatches", "Bogus1"},
         Comparing("f.txt") + Lines({"Program halted by RunAbort, with following error message:",
                                     "  Unrecognized FileMarker: Bogus"}),
         1);
}

// A walk through both sides visits a subdirectory pair from each side; each
// visit reports every comparison its marking makes, with its messages, as
// if the files were read again.
TEST_F(Compare, EveryVisitOfASharedSubdirectoryReportsItsComparisons) {
  for (const std::string directory : {"s/", "s/t/"}) {
    Pair(directory + "eq.txt", "same", "same");
    Pair(directory + "ne.txt", "left", "rigt");
  }
  Pair("s/z.txt", "x", "xy");
  auto compared = [](const std::string& directory, const std::vector<std::string>& names) {
    std::string lines;
    for (const std::string& name : names) lines += Comparing(directory + name);
    return lines;
  };
  const std::string visitOfS = compared("s/", {"eq.txt", "ne.txt", "z.txt"}) + kNotCtrlZ +
                               Listed("a/s/*.*", {"ne.txt", "z.txt"}) +
                               Listed("b/s/*.*", {"ne.txt", "z.txt"});
  const std::string visitOfT = compared("s/t/", {"eq.txt", "ne.txt"}) +
                               Listed("a/s/t/*.*", {"ne.txt"}) + Listed("b/s/t/*.*", {"ne.txt"});
  Expect({"a/", "b", "ListB", "ByteMismatches", "/r", "/ctrlz"},
         visitOfS + visitOfT + visitOfT + visitOfS);
  const std::string quietS =
      kNotCtrlZ + Listed("a/s/*.*", {"ne.txt", "z.txt"}) + Listed("b/s/*.*", {"ne.txt", "z.txt"});
  const std::string quietT = Listed("a/s/t/*.*", {"ne.txt"}) + Listed("b/s/t/*.*", {"ne.txt"});
  Expect({"a/", "b", "ListB", "ByteMismatches", "/r", "/ctrlz", "/q"},
         quietS + quietT + quietT + quietS);
  // A second marker compares again within each visit.
  auto both = [](const std::string& directory) {
    return Listed("a/" + directory + "*.*", {"eq.txt", "ne.txt"}) +
           Listed("b/" + directory + "*.*", {"eq.txt", "ne.txt"});
  };
  Expect({"a/", "b", "ListB", "ByteMatches", "ByteMismatches", "/r", "/q"},
         both("s/") + both("s/t/") + both("s/t/") + both("s/"));
}
