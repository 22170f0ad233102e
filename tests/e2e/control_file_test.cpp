// Control files: many pairs, one per line, each processed whole (its tree
// included) before the next, whatever the line ends, lengths and bytes.
#include "scenario.h"

using ControlFile = Scenario;

namespace {

// The listing of one directory holding one file.
std::string Listed(const std::string& where, const std::string& name) {
  return ::Listed(where, std::vector<std::string>{name});
}

std::string Warning(const std::string& line) {
  return Lines({"WARNING: Could not parse " + line});
}

}  // namespace

TEST_F(ControlFile, PairsAreProcessedInLineOrderEachWithItsWholeTree) {
  File("a/f.txt", "f");
  File("a/s/g.txt", "g");
  File("c/h.txt", "h");
  File("c/t/i.txt", "i");
  Dir("b");
  Dir("d");
  File("pairs.txt", "c/\td\na/\tb\n");
  Expect({"@pairs.txt", "List1", "All1", "/r"},
         Listed("c/*.*", "h.txt") + Listed("c/t/*.*", "i.txt") + Listed("a/*.*", "f.txt") +
             Listed("a/s/*.*", "g.txt"));
  Expect({"@pairs.txt", "Update2", "/r"},
         Lines({"Copying c/h.txt to d/h.txt", "Copying c/t/i.txt to d/t/i.txt",
                "Creating target directory d/t", "Trying to create directory d/t",
                "Copying a/f.txt to b/f.txt", "Copying a/s/g.txt to b/s/g.txt",
                "Creating target directory b/s", "Trying to create directory b/s"}));
  EXPECT_EQ(Tree("b"), Lines({"f.txt 1", "s/", "s/g.txt 1"}));
  EXPECT_EQ(Tree("d"), Lines({"h.txt 1", "t/", "t/i.txt 1"}));
}

TEST_F(ControlFile, CarriageReturnsBeforeLineFeedsAreNotPartOfTheTexts) {
  File("a/s/g.txt", "g");
  File("c/h.txt", "h");
  Dir("b");
  Dir("d");
  File("pairs.txt", "a/\tb\r\nc/\td");  // the last line has no line end
  Expect({"@pairs.txt", "Update2", "/r", "/q"},
         Lines({"Creating target directory b/s", "Trying to create directory b/s"}));
  EXPECT_EQ(Tree("b"), Lines({"s/", "s/g.txt 1"}));
  EXPECT_EQ(Tree("d"), Lines({"h.txt 1"}));
}

TEST_F(ControlFile, BlankAndShortLinesAnywhereAreSkippedSilently) {
  File("a/f.txt", "f");
  File("c/h.txt", "h");
  Dir("b");
  Dir("d");
  File("pairs.txt", "\n\r\na/\tb\n\n\n\t\nx\t\nab\r\n\r\nc/\td\n\n");
  Expect({"@pairs.txt", "List1", "All1"}, Listed("a/*.*", "f.txt") + Listed("c/*.*", "h.txt"));
  File("pairs.txt", "a/\tb\nxy\t\n\t\t\t\nc/\td\n");  // a TAB at the end or the start
  Expect({"@pairs.txt", "List1", "All1"},
         Warning("xy\t") + Warning("\t\t\t") + Listed("a/*.*", "f.txt") +
             Listed("c/*.*", "h.txt"));
}

TEST_F(ControlFile, LinesOfThousandsOfCharactersAreReadWhole) {
  File("a/s/g.txt", "g");
  File("c/h.txt", "h");
  Dir("b");
  Dir("d");
  std::string detour;
  for (int i = 0; i < 1500; ++i) detour += "./";
  const std::string noTab(5000, 'x');
  File("pairs.txt", noTab + "\n" + detour + "a/\tb\nc/\t" + detour + "d\n");
  Expect({"@pairs.txt", "List1", "All1", "/r"},
         Warning(noTab) + Listed(detour + "a/s/*.*", "g.txt") + Listed("c/*.*", "h.txt"));
  Expect({"@pairs.txt", "Update2", "/r"},
         Warning(noTab) + Lines({"Copying " + detour + "a/s/g.txt to b/s/g.txt",
                                 "Creating target directory b/s", "Trying to create directory b/s",
                                 "Copying c/h.txt to " + detour + "d/h.txt"}));
}

TEST_F(ControlFile, GarbageLinesAreReportedByteForByte) {
  File("a/f.txt", "f");
  Dir("b");
  const std::string garbage = std::string("\x01\x02\x7f\xff\xfe\x80 bin", 10) + '\0' + "ary";
  const std::string highBytes = "\xc3\xa9\xe9\x1b[0m";
  const std::string tabFirst = "\t\xff\xfe\xfd";
  File("pairs.txt", garbage + "\n" + highBytes + "\r\n" + tabFirst + "\na/\tb\n");
  Expect({"@pairs.txt", "List1", "All1"},
         Warning(garbage) + Warning(highBytes) + Warning(tabFirst) + Listed("a/*.*", "f.txt"));
}

TEST_F(ControlFile, NonAsciiAndBlankDirectoryNamesAreUsedAsWritten) {
  File("caf\xc3\xa9/sub/u.txt", "u");
  File("\xe9t\xe9/l.txt", "l");
  File("my dir/m.txt", "m");
  Dir("b");
  Dir("your dir");
  File("pairs.txt", "caf\xc3\xa9/\tb\n\xe9t\xe9/\tb\nmy dir/\tyour dir\n");
  Expect({"@pairs.txt", "List1", "All1", "/r"},
         Listed("caf\xc3\xa9/sub/*.*", "u.txt") + Listed("\xe9t\xe9/*.*", "l.txt") +
             Listed("my dir/*.*", "m.txt"));
  Expect({"@pairs.txt", "Update2", "/r", "/q"},
         Lines({"Creating target directory b/sub", "Trying to create directory b/sub"}));
  EXPECT_EQ(Tree("b"), Lines({"l.txt 1", "sub/", "sub/u.txt 1"}));
  EXPECT_EQ(Tree("your dir"), Lines({"m.txt 1"}));
}

TEST_F(ControlFile, MasksOfALineAreCarriedThroughItsTree) {
  File("a/x.c", "x");
  File("a/y.txt", "y");
  File("a/s/p.h", "p");
  File("a/s/q.txt", "q");
  Dir("b");
  File("pairs.txt", "a/*.c;*.h\tb\n");
  Expect({"@pairs.txt", "List1", "All1", "/r"},
         Listed("a/*.c & *.h", "x.c") + Listed("a/s/*.c & *.h", "p.h"));
}

TEST_F(ControlFile, PairThatIsNotADirectoryStopsTheRunAfterTheEarlierPairs) {
  File("a/f.txt", "f");
  File("a/s/g.txt", "g");
  File("c/h.txt", "h");
  File("e/i.txt", "i");
  Dir("b");
  Dir("d");
  Dir("f");
  File("pairs.txt", "a/\tb\ne/\tnowhere\nc/\td\n");
  const std::string notADirectory = Abort("Second parameter must be a directory.");
  Expect({"@pairs.txt", "Update2", "/r"},
         Lines({"Copying a/f.txt to b/f.txt", "Copying a/s/g.txt to b/s/g.txt",
                "Creating target directory b/s", "Trying to create directory b/s"}) +
             notADirectory,
         1);
  EXPECT_EQ(Tree("b"), Lines({"f.txt 1", "s/", "s/g.txt 1"}));
  EXPECT_EQ(Tree("d"), "");

  File("pairs.txt", "c/\td\ne/\tf\tg\n");  // later TABs belong to the second text
  Expect({"@pairs.txt", "Update2", "/r"}, Lines({"Copying c/h.txt to d/h.txt"}) + notADirectory,
         1);
  EXPECT_EQ(Tree("f"), "");

  File("pairs.txt", "e/\tf\nc/\tc\n");
  Expect({"@pairs.txt", "Update2", "/r"},
         Lines({"Copying e/i.txt to f/i.txt"}) +
             Abort("Vorn must operate on two different directories."),
         1);
}
