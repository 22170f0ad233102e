#include <sys/stat.h>
#include <unistd.h>

#include "scenario.h"

using Listing = Scenario;

namespace {

std::string Heading(const std::string& where) {
  return "**************** In directory " + where + ":";
}

// One name of a listing line that is not the line's fourth.
std::string Pad(const std::string& name) { return name + std::string(20 - name.size(), ' '); }

}  // namespace

TEST_F(Listing, FourNamesPerLineEachPaddedToTwenty) {
  for (const char* name : {"f1.go", "f2.go", "f3.go", "f4.go", "f5.go"})
    File(std::string("a/") + name, "x");
  Dir("b");
  const std::string blanks(15, ' ');
  Expect(
      {"a/", "b", "List1", "All1"},
      Lines({"**************** In directory a/*.*:",
             "f1.go" + blanks + "f2.go" + blanks + "f3.go" + blanks + "f4.go", "f5.go" + blanks}));
}

TEST_F(Listing, EightNamesFillExactlyTwoLines) {
  for (char c = '1'; c <= '8'; ++c) File(std::string("a/n") + c, "x");
  Dir("b");
  const std::string blanks(18, ' ');
  Expect({"a/", "b", "List1", "All1"},
         Lines({Heading("a/*.*"), "n1" + blanks + "n2" + blanks + "n3" + blanks + "n4",
                "n5" + blanks + "n6" + blanks + "n7" + blanks + "n8"}));
}

TEST_F(Listing, NamesOfTwentyOrMoreCharactersGetNoBlank) {
  File("a/abcdefghijklmnop.txt", "x");        // exactly 20
  File("a/abcdefghijklmnopqrstuv.txt", "x");  // 26
  File("a/z.txt", "x");
  Dir("b");
  Expect({"a/", "b", "List1", "All1"},
         Lines({Heading("a/*.*"),
                "abcdefghijklmnop.txtabcdefghijklmnopqrstuv.txtz.txt" + std::string(15, ' ')}));
}

TEST_F(Listing, ListWithoutMarkedEntriesPrintsNothing) {
  File("a/x.txt", "x");
  File("b/x.txt", "x");
  File("b/y.txt", "y");
  Expect({"a/", "b", "List1", "Only1"}, "");
  // The unmarked list gets no heading, the marked one is printed alone.
  Expect({"a/", "b", "ListB", "Only2"}, Lines({Heading("b/*.*"), Pad("y.txt")}));
}

TEST_F(Listing, ListBPrintsListOneThenListTwoAndIgnoresQuiet) {
  File("a/one.txt", "1");
  File("b/two.txt", "2");
  const std::string both =
      Lines({Heading("a/*.*"), Pad("one.txt"), Heading("b/*.*"), Pad("two.txt")});
  Expect({"a/", "b", "ListB", "AllB"}, both);
  Expect({"a/", "b", "ListB", "/q", "All1", "All2"}, both);
  Expect({"a/", "b", "List2", "AllB"}, Lines({Heading("b/*.*"), Pad("two.txt")}));
}

TEST_F(Listing, NamesComeInFoldedOrderWithTiesInByteOrder) {
  for (const char* name :
       {"B.txt", "a.txt", "A.txt", "_u.txt", "z.txt", "[q.txt", "1.txt", "ab.txt"})
    File(std::string("a/") + name, "x");
  Dir("b");
  Expect({"a/", "b", "List1", "All1"},
         Lines({Heading("a/*.*"), Pad("1.txt") + Pad("A.txt") + Pad("a.txt") + "ab.txt",
                Pad("B.txt") + Pad("z.txt") + Pad("[q.txt") + "_u.txt"}));
}

TEST_F(Listing, SeveralMasksAreJoinedInTheHeadingAndSearchedInTurn) {
  for (const char* name : {"x.c", "y.h", "a.h", "b.c", "readme.txt"})
    File(std::string("a/") + name, "x");
  File("b/k.h", "x");
  File("b/k.txt", "x");
  Expect({"a/*.c;*.h", "b", "ListB", "AllB"},
         Lines({Heading("a/*.c & *.h"), Pad("b.c") + Pad("x.c") + Pad("a.h") + "y.h",
                Heading("b/*.c & *.h"), Pad("k.h")}));
}

TEST_F(Listing, RepeatedMaskListsFilesTwiceAndTrailingSemicolonIsIgnored) {
  File("a/x.c", "x");
  File("a/y.h", "y");
  Dir("b");
  Expect({"a/*.c;*.c", "b", "List1", "All1"},
         Lines({Heading("a/*.c & *.c"), Pad("x.c") + Pad("x.c")}));
  Expect({"a/*.c;", "b", "List1", "All1"}, Lines({Heading("a/*.c"), Pad("x.c")}));
  Expect({"a/;*.h", "b", "List1", "All1"},
         Lines({Heading("a/*.* & *.h"), Pad("x.c") + Pad("y.h") + Pad("y.h")}));
}

TEST_F(Listing, LaterMaskMayNotNameADirectoryOrAnotherPath) {
  File("a/x.c", "x");
  File("a/y.h", "y");
  File("b/z.h", "z");
  Dir("c");
  Expect({"a/*.c;b/", "c", "List1", "All1"},
         Abort("Illegal to specify directory except in first position."), 1);
  // The empty piece between two semicolons is the current directory.
  Expect({"a/*.c;;*.h", "c", "List1", "All1"},
         Abort("Illegal to specify directory except in first position."), 1);
  Expect({"a/*.c;b/*.h", "c", "List1", "All1"},
         Abort("Illegal to change paths in a list: Check for comma in directory name."), 1);
  // The repeated path is compared without regard to case and searched as the first one.
  Expect({"a/*.c;A/*.h", "c", "List1", "All1"},
         Lines({Heading("a/*.c & *.h"), Pad("x.c") + Pad("y.h")}));
}

TEST_F(Listing, AtSignSecondRefusesOnlyThere) {
  File("a/k@1.txt", "x");
  Dir("b");
  Expect({"x@y", "b", "List1", "All1"}, Abort("Packed file lists not implemented."), 1);
  Expect({"a/k@1.txt", "b", "List1", "All1"}, Lines({Heading("a/k@1.txt"), Pad("k@1.txt")}));
}

TEST_F(Listing, FirstDirectoryWithoutClosingSeparatorIsCarriedIntoTheSecond) {
  File("src/s.txt", "s");
  File("dst/top.txt", "t");
  File("dst/src/inner.txt", "i");
  Expect({"src", "dst", "ListB", "AllB"},
         Lines({Heading("src/*.*"), Pad("s.txt"), Heading("dst/src/*.*"), Pad("inner.txt")}));
}

TEST_F(Listing, MasksWithoutDirectorySearchTheCurrentDirectory) {
  File("one.txt", "1");
  File("two.TXT", "2");
  File("three.doc", "3");
  File("b/one.txt", "1");
  Expect({"*.txt", "b", "ListB", "AllB"}, Lines({Heading("*.txt"), Pad("one.txt") + Pad("two.TXT"),
                                                 Heading("b/*.txt"), Pad("one.txt")}));
}

TEST_F(Listing, MaskMatchingRules) {
  for (const char* name : {"a.txt", "x.c", "xy.c", "[ab].c", "README"})
    File(std::string("a/") + name, "x");
  Dir("b");
  Expect({"a/*.TXT", "b", "List1", "All1"}, Lines({Heading("a/*.TXT"), Pad("a.txt")}));
  Expect({"a/?.c", "b", "List1", "All1"}, Lines({Heading("a/?.c"), Pad("x.c")}));
  Expect({"a/[ab].c", "b", "List1", "All1"}, Lines({Heading("a/[ab].c"), Pad("[ab].c")}));
  Expect({"a/*.", "b", "List1", "All1"}, Lines({Heading("a/*."), Pad("README")}));
  Expect(
      {"a/*.*", "b", "List1", "All1"},
      Lines({Heading("a/*.*"), Pad("a.txt") + Pad("README") + Pad("x.c") + "xy.c", Pad("[ab].c")}));
  Expect({"a/*.h", "b", "List1", "All1"}, "");
}

TEST_F(Listing, OnlyPlainFilesBecomeEntries) {
  File("a/real.txt", "r");
  File("a/.hidden", "h");
  File("a/sub/inside.txt", "i");
  ASSERT_EQ(mkfifo(Abs("a/pipe").c_str(), 0600), 0);
  ASSERT_EQ(symlink("nowhere", Abs("a/dangling").c_str()), 0);
  ASSERT_EQ(symlink("real.txt", Abs("a/link").c_str()), 0);
  ASSERT_EQ(symlink("sub", Abs("a/dirlink").c_str()), 0);
  Dir("b");
  Expect({"a/", "b", "List1", "All1"}, Lines({Heading("a/*.*"), Pad("link") + Pad("real.txt")}));
}
