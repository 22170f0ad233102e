// Copy, move and delete on one directory pair: the progress lines, what ends
// up on disk, and how failures stop the run or let it go on.
#include <sys/stat.h>
#include <unistd.h>

#include "scenario.h"

namespace {

const char* const kOld = "2020-02-02 02:02:02";
const char* const kNew = "2024-04-04 04:04:04";

// The error line of a failed copy ends with the bell and no line end.
std::string CopyFailed(const std::string& source) {
  return Lines({"ERROR: Unable to copy file " + source}) + "\a";
}

}  // namespace

using Operations = Scenario;

TEST_F(Operations, Copy1CopiesTheMarkedFilesOfListOneAndKeepsTheirTimes) {
  File("a/keep.txt", "list 1 version", kNew);
  File("a/new1.txt", "first", kOld);
  File("a/New2.txt", "second", kNew);
  File("b/keep.txt", "list 2 version", kOld);
  Expect({"a/", "b", "Copy1", "Only1"},
         Lines({"Copying a/new1.txt to b/new1.txt", "Copying a/New2.txt to b/New2.txt"}));
  EXPECT_EQ(Tree("b"), Lines({"New2.txt 6", "keep.txt 14", "new1.txt 5"}));
  EXPECT_EQ(Read("b/new1.txt"), "first");
  EXPECT_EQ(Read("b/New2.txt"), "second");
  EXPECT_EQ(Read("b/keep.txt"), "list 2 version");
  EXPECT_EQ(TimeOf("b/new1.txt"), kOld);
  EXPECT_EQ(TimeOf("b/New2.txt"), kNew);
  EXPECT_EQ(Tree("a"), Lines({"New2.txt 6", "keep.txt 14", "new1.txt 5"}));
}

TEST_F(Operations, Copy2AndCopyFromCopyListTwoIntoDirectoryOne) {
  File("a/x", "in a");
  File("b/y", "in b", kOld);
  Expect({"a/", "b", "Copy2", "Only2"}, Lines({"Copying b/y to a/y"}));
  EXPECT_EQ(Read("a/y"), "in b");
  EXPECT_EQ(TimeOf("a/y"), kOld);

  File("b/z", "later", kNew);
  Expect({"a/", "b", "CopyFrom2", "Only2"}, Lines({"Copying b/z to a/z"}));
  Expect({"a/", "b", "COPYFROM1", "Only1"}, Lines({"Copying a/x to b/x"}));
  EXPECT_EQ(Tree("a"), Lines({"x 4", "y 4", "z 5"}));
  EXPECT_EQ(Tree("b"), Lines({"x 4", "y 4", "z 5"}));
  EXPECT_EQ(TimeOf("a/z"), kNew);
}

TEST_F(Operations, CopyBCopiesEachSideOnceAndNothingBack) {
  File("a/both", "a side", kNew);
  File("a/x1", "from a", kOld);
  File("b/both", "b side", kNew);
  File("b/y2", "from b", kNew);
  Expect({"a/", "b", "CopyB", "OnlyB"},
         Lines({"Copying a/x1 to b/x1", "Copying b/y2 to a/y2"}));
  EXPECT_EQ(Tree("a"), Lines({"both 6", "x1 6", "y2 6"}));
  EXPECT_EQ(Tree("b"), Lines({"both 6", "x1 6", "y2 6"}));
  EXPECT_EQ(Read("a/both"), "a side");
  EXPECT_EQ(Read("b/both"), "b side");
  EXPECT_EQ(TimeOf("b/x1"), kOld);
  EXPECT_EQ(TimeOf("a/y2"), kNew);
  Expect({"a/", "b", "copyfromb", "OnlyB"}, "");
}

TEST_F(Operations, CopyReplacesAnOlderTarget) {
  File("a/f", "new", kNew);
  File("b/f", "much older content", kOld);
  Expect({"a/", "b", "Copy1", "Newer1"}, Lines({"Copying a/f to b/f"}));
  EXPECT_EQ(Read("b/f"), "new");
  EXPECT_EQ(TimeOf("b/f"), kNew);
  EXPECT_EQ(Tree("b"), Lines({"f 3"}));
}

TEST_F(Operations, CopyKeepsThePermissionBits) {
  File("a/tool", "#!/bin/sh\n");
  File("a/secret", "s");
  ASSERT_EQ(chmod(Abs("a/tool").c_str(), 0751), 0);
  ASSERT_EQ(chmod(Abs("a/secret").c_str(), 0600), 0);
  Dir("b");
  Expect({"a/", "b", "Copy1", "All1", "/q"}, "");
  struct stat tool, secret;
  ASSERT_EQ(stat(Abs("b/tool").c_str(), &tool), 0);
  ASSERT_EQ(stat(Abs("b/secret").c_str(), &secret), 0);
  EXPECT_EQ(tool.st_mode & 07777, 0751u);
  EXPECT_EQ(secret.st_mode & 07777, 0600u);
}

TEST_F(Operations, EmptyFilesAreNotCopied) {
  File("a/empty", "");
  File("a/full", "data");
  File("b/void", "");
  Expect({"a/", "b", "Copy1", "All1"}, Lines({"Copying a/full to b/full"}));
  Expect({"a/", "b", "CopyB", "OnlyB"}, "");
  EXPECT_EQ(Tree("a"), Lines({"empty 0", "full 4"}));
  EXPECT_EQ(Tree("b"), Lines({"full 4", "void 0"}));
}

TEST_F(Operations, MoveOnEitherSideCarriesFilesWithTheirTimes) {
  File("a/m1", "one", kOld);
  File("a/m2", "", kNew);  // moving has no size rule
  File("a/stay", "stays in a", kNew);
  File("b/stay", "old b", kOld);
  Expect({"a/", "b", "Move1", "Only1"}, Lines({"Moving a/m1 to b/m1", "Moving a/m2 to b/m2"}));
  EXPECT_EQ(Tree("a"), Lines({"stay 10"}));
  EXPECT_EQ(Tree("b"), Lines({"m1 3", "m2 0", "stay 5"}));
  EXPECT_EQ(TimeOf("b/m1"), kOld);
  EXPECT_EQ(TimeOf("b/m2"), kNew);

  // A target of the same name is replaced.
  Expect({"a/", "b", "MoveFrom2", "All2"},
         Lines({"Moving b/m1 to a/m1", "Moving b/m2 to a/m2", "Moving b/stay to a/stay"}));
  EXPECT_EQ(Tree("a"), Lines({"m1 3", "m2 0", "stay 5"}));
  EXPECT_EQ(Tree("b"), "");
  EXPECT_EQ(Read("a/stay"), "old b");
  EXPECT_EQ(TimeOf("a/stay"), kOld);
}

TEST_F(Operations, MoveBMovesEachSideAcrossAndNothingBack) {
  File("a/both", "a side");
  File("a/x", "from a", kOld);
  File("b/both", "b side");
  File("b/y", "from b", kNew);
  Expect({"a/", "b", "MoveB", "OnlyB"}, Lines({"Moving a/x to b/x", "Moving b/y to a/y"}));
  EXPECT_EQ(Tree("a"), Lines({"both 6", "y 6"}));
  EXPECT_EQ(Tree("b"), Lines({"both 6", "x 6"}));
  EXPECT_EQ(Read("b/x"), "from a");
  EXPECT_EQ(TimeOf("b/x"), kOld);
  EXPECT_EQ(TimeOf("a/y"), kNew);
}

TEST_F(Operations, DeleteVerbsDeleteOnlyTheMarkedFiles) {
  File("a/keep", "k");
  File("a/x", "x");
  File("a/y", "");
  File("b/keep", "k");
  File("b/z", "z");
  Expect({"a/", "b", "Delete1", "Only1"}, Lines({"Deleting a/x", "Deleting a/y"}));
  EXPECT_EQ(Tree("a"), Lines({"keep 1"}));
  Expect({"a/", "b", "Del2", "Only2"}, Lines({"Deleting b/z"}));
  EXPECT_EQ(Tree("b"), Lines({"keep 1"}));

  File("a/p", "p");
  File("b/q", "q");
  Expect({"a/", "b", "DelB", "OnlyB"}, Lines({"Deleting a/p", "Deleting b/q"}));
  Expect({"a/", "b", "DeleteB", "AllB"}, Lines({"Deleting a/keep", "Deleting b/keep"}));
  EXPECT_EQ(Tree("a"), "");
  EXPECT_EQ(Tree("b"), "");
}

TEST_F(Operations, QuietSilencesTheProgressLines) {
  File("a/c", "copied");
  File("a/m", "moved");
  File("a/d", "deleted");
  Dir("b");
  Expect({"a/", "b", "Copy1", "All1", "/q"}, "");
  Expect({"a/m", "b", "Move1", "All1", "/q"}, "");
  Expect({"a/d", "b", "Del1", "All1", "/q"}, "");
  EXPECT_EQ(Tree("a"), Lines({"c 6"}));
  EXPECT_EQ(Tree("b"), Lines({"c 6", "d 7", "m 5"}));
}

TEST_F(Operations, CarriedOverNameIsAMaskInTheSecondDirectory) {
  // "src" without a closing separator makes the second text dst/src; as no
  // such directory exists, that text is the mask "src" in dst/.
  File("src/a", "alpha", kOld);
  Dir("dst");
  Expect({"src", "dst", "Copy1", "All1"}, Lines({"Copying src/a to dst/a"}));
  EXPECT_EQ(Tree("dst"), Lines({"a 5"}));
  EXPECT_EQ(TimeOf("dst/a"), kOld);
}

TEST_F(Operations, CopyCreatesAMissingTargetDirectory) {
  // A bare drive text X: becomes X:. and the second directory X:./, which
  // does not exist until the first copy makes it.
  File("s/one", "1", kOld);
  File("s/two", "22", kNew);
  Dir("X:");
  Dir("Y:");
  Expect({"s/", "X:", "Copy1", "All1"},
         Lines({"Copying s/one to X:./one", "Creating target directory X:.",
                "Trying to create directory X:.", "Copying s/two to X:./two"}));
  EXPECT_EQ(Tree("X:."), Lines({"one 1", "two 2"}));
  EXPECT_EQ(TimeOf("X:./one"), kOld);
  EXPECT_EQ(TimeOf("X:./two"), kNew);
  EXPECT_EQ(Tree("X:"), "");

  Expect({"s/", "Y:", "Copy1", "All1", "/q"},
         Lines({"Creating target directory Y:.", "Trying to create directory Y:."}));
  EXPECT_EQ(Tree("Y:."), Lines({"one 1", "two 2"}));
  EXPECT_EQ(Tree("s"), Lines({"one 1", "two 2"}));
}

TEST_F(Operations, CopyCreatesEveryMissingLevelFromTheTopDown) {
  // The only way to a deeper missing chain is a subdirectory holding no
  // file of its own, reached through recursion.
  File("src/p/q/f", "deep", kOld);
  Dir("dst");
  Expect({"src/", "dst", "Copy1", "All1", "/r"},
         Lines({"Copying src/p/q/f to dst/p/q/f", "Creating target directory dst/p/q",
                "Trying to create directory dst/p/q", "Trying to create directory dst/p"}));
  EXPECT_EQ(Tree("dst"), Lines({"p/", "p/q/", "p/q/f 4"}));
  EXPECT_EQ(TimeOf("dst/p/q/f"), kOld);
}

TEST_F(Operations, CopyOntoADirectoryStopsTheRunUnderT) {
  File("a/a", "first");
  File("a/x", "blocked");
  File("a/z", "never");
  Dir("w/dst/x");
  const std::string failure =
      Lines({"WARNING: Target exists and was not compared: w/dst/x"}) + CopyFailed("a/x") +
      Abort("Copy error.");
  Expect({"a/", "w/dst", "Copy1", "All1"},
         Lines({"Copying a/a to w/dst/a", "Copying a/x to w/dst/x"}) + failure, 1);
  EXPECT_EQ(Tree("w"), Lines({"dst/", "dst/a 5", "dst/x/"}));
  Expect({"a/", "w/dst", "Copy1", "All1", "/q", "/t"}, failure, 1);
  EXPECT_EQ(Tree("w"), Lines({"dst/", "dst/a 5", "dst/x/"}));
  EXPECT_EQ(Tree("a"), Lines({"a 5", "x 7", "z 5"}));
}

constexpr const char* kTakenX = "WARNING: Target exists and was not compared: b/x";

TEST_F(Operations, CopyOntoADirectoryGoesOnUnderNt) {
  File("a/a", "first");
  File("a/x", "blocked");
  File("a/z", "goes on");
  Dir("b/x");
  Expect({"a/", "b", "Copy1", "All1", "/nt"},
         Lines({"Copying a/a to b/a", "Copying a/x to b/x", kTakenX}) + CopyFailed("a/x") +
             Lines({"Copying a/z to b/z"}));
  EXPECT_EQ(Tree("b"), Lines({"a 5", "x/", "z 7"}));
  Expect({"a/", "b", "Copy1", "All1", "/nt", "/q"}, Lines({kTakenX}) + CopyFailed("a/x"));
  EXPECT_EQ(Tree("b"), Lines({"a 5", "x/", "z 7"}));
}

TEST_F(Operations, CopyIntoAReadOnlyDirectoryFails) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  File("a/x", "data");
  Dir("b");
  ASSERT_EQ(chmod(Abs("b").c_str(), 0555), 0);
  Expect({"a/", "b", "Copy1", "All1"},
         Lines({"Copying a/x to b/x", "Creating target directory b",
                "Trying to create directory b"}) +
             CopyFailed("a/x") + Abort("Copy error."),
         1);
  EXPECT_EQ(Tree("b"), "");
}

TEST_F(Operations, MoveWithoutItsTargetDirectoryStopsTheRun) {
  // Both texts carry the drive X:, so this is a plain move, which makes no
  // missing directory.
  File("X:src/f", "kept", kOld);
  Dir("X:");
  Expect({"X:src/", "X:", "Move1", "All1"},
         Lines({"Moving X:src/f to X:./f"}) + Abort("Error moving file X:src/f"), 1);
  EXPECT_EQ(Tree("X:src"), Lines({"f 4"}));
  EXPECT_EQ(TimeOf("X:src/f"), kOld);
  EXPECT_FALSE(Exists("X:."));
}

TEST_F(Operations, MoveOntoADirectoryStopsTheRunAndKeepsEarlierMoves) {
  File("a/a", "moved");
  File("a/x", "blocked");
  File("a/z", "never");
  Dir("b/x");
  Expect({"a/", "b", "Move1", "All1"},
         Lines({"Moving a/a to b/a", "Moving a/x to b/x", kTakenX}) +
             Abort("Error moving file a/x"),
         1);
  EXPECT_EQ(Tree("a"), Lines({"x 7", "z 5"}));
  EXPECT_EQ(Tree("b"), Lines({"a 5", "x/"}));
  Expect({"a/", "b", "Move1", "All1", "/q", "/nt"},
         Lines({kTakenX}) + Abort("Error moving file a/x"), 1);
}

TEST_F(Operations, AnEntryGoneBeforeItsTurnStopsADeleteOrAMove) {
  // A file that two masks both match stands twice in the list; the second
  // turn finds it gone.
  File("a/f.txt", "f");
  File("a/g.txt", "g");
  File("a/h.dat", "h");
  Dir("b");
  Expect({"a/*.txt;*.txt", "b", "Move1", "All1"},
         Lines({"Moving a/f.txt to b/f.txt", "Moving a/g.txt to b/g.txt",
                "Moving a/f.txt to b/f.txt"}) +
             Abort("Error moving file a/f.txt"),
         1);
  EXPECT_EQ(Tree("b"), Lines({"f.txt 1", "g.txt 1"}));
  Expect({"b/*.txt;*.txt", "a", "Del1", "All1"},
         Lines({"Deleting b/f.txt", "Deleting b/g.txt", "Deleting b/f.txt"}) +
             Abort("Error deleting file b/f.txt"),
         1);
  EXPECT_EQ(Tree("b"), "");
  Expect({"a/*.dat;*.dat", "b", "Del1", "All1", "/q"}, Abort("Error deleting file a/h.dat"), 1);
  EXPECT_EQ(Tree("a"), "");
}

TEST_F(Operations, MoveToAnotherDriveCopiesEverythingThenDeletes) {
  File("s/a", "alpha", kOld);
  File("s/e", "");
  File("s/z", "zulu", kNew);
  Dir("X:");
  Expect({"s/", "X:", "Move1", "All1"},
         Lines({"Copying s/a to X:./a", "Creating target directory X:.",
                "Trying to create directory X:.", "Copying s/e to X:./e", "Copying s/z to X:./z",
                "Deleting s/a", "Deleting s/e", "Deleting s/z"}));
  EXPECT_EQ(Tree("s"), "");
  EXPECT_EQ(Tree("X:."), Lines({"a 5", "e 0", "z 4"}));
  EXPECT_EQ(TimeOf("X:./a"), kOld);
  EXPECT_EQ(TimeOf("X:./z"), kNew);
}

TEST_F(Operations, MoveToAnotherDriveKeepsWhatItCouldNotCopy) {
  File("s/a", "alpha");
  File("s/x", "blocked");
  Dir("X:");
  Dir("X:./x");
  Expect({"s/", "X:", "Move1", "All1", "/nt"},
         Lines({"Copying s/a to X:./a", "Copying s/x to X:./x",
                "WARNING: Target exists and was not compared: X:./x"}) +
             CopyFailed("s/x") + Lines({"Deleting s/a"}));
  EXPECT_EQ(Tree("s"), Lines({"x 7"}));
  EXPECT_EQ(Tree("X:."), Lines({"a 5", "x/"}));
}

TEST_F(Operations, ASourceGoneBeforeItsCopyIsReportedAndKept) {
  // List 2 holds a link to a file of directory 1; the first half of the
  // MoveB carries that file away before the second half copies the link.
  File("s/q", "target of the link");
  Dir("X:");
  Dir("X:.");
  ASSERT_EQ(symlink("../s/q", Abs("X:./L").c_str()), 0);
  Expect({"s/", "X:", "MoveB", "AllB", "/nt"},
         Lines({"Copying s/q to X:./q", "Deleting s/q", "Copying X:./L to s/L",
                "Creating target directory s", "Trying to create directory s"}) +
             CopyFailed("X:./L"));
  EXPECT_EQ(Tree("s"), "");
  EXPECT_TRUE(Exists("X:./L"));
  EXPECT_EQ(Read("X:./q"), "target of the link");
}
