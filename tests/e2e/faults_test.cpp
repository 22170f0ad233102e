// Faults injected below the platform layer: a full disk, I/O errors, failing
// renames, deletions and directory creations, unreadable directories and
// files that vanish after the scan. Every failure is reported with the right
// status, the source stays intact, and a target is its old self or absent,
// never partial; no temporary file is left behind.
#include "../fault/fault_scenario.h"

namespace {

const char* const kOld = "2020-02-02 02:02:02";
const char* const kNew = "2024-04-04 04:04:04";

// The status of a run that went to its end but could not read everything.
constexpr int kIncomplete = 2;

// Keeps the kernel from copying, so the bytes go through read and write.
const std::string kPlainCopy = "ioctl:errno=EOPNOTSUPP;copy_file_range:errno=EXDEV;";

std::string CopyLines(const std::string& name) {
  return Lines({"Copying a/" + name + " to b/" + name, "Creating target directory b",
                "Trying to create directory b"});
}

}  // namespace

class Faults : public FaultScenario {
 protected:
  // a/big goes over an older b/big, a/new to a fresh name.
  void MakePair() {
    FileOfSize("a/big", 300000, kNew);
    File("a/new", std::string(100000, 'n'), kNew);
    File("b/big", "old target", kOld);
  }
  void ExpectPairUntouched() {
    EXPECT_EQ(Tree("a"), Lines({"big 300000", "new 100000"}));
    EXPECT_EQ(Tree("b"), Lines({"big 10"}));
    EXPECT_EQ(Read("b/big"), "old target");
    EXPECT_EQ(TimeOf("b/big"), kOld);
  }
};

TEST_F(Faults, EveryFailingStepOfACopyLeavesTheOldTargetOrNone) {
  MakePair();
  const std::string source = Read("a/big");
  const std::vector<std::string> steps = {
      kPlainCopy + "write:after=65536:errno=ENOSPC",
      kPlainCopy + "write:after=65536:errno=EIO",
      kPlainCopy + "read:path=/a/:after=65536:errno=EIO",
      "ioctl:errno=EOPNOTSUPP;copy_file_range:after=65536:errno=ENOSPC;write:errno=ENOSPC",
      // A fresh name gets a file that is named only once it is whole; an old
      // target is replaced by renaming a temporary onto it.
      "tmpfile:errno=ENOSPC;mkostemp:errno=ENOSPC",
      "fchmod:errno=EPERM",
      "futimens:errno=EIO",
      "close:path=/.vorn-:errno=EIO;close:path= (deleted)$:errno=EIO",
      "linkat:errno=EIO;rename:errno=EIO",
      "linkat:errno=ENOSPC;rename:errno=ENOSPC"};
  for (const std::string& rules : steps) {
    SCOPED_TRACE(rules);
    ExpectFault({"a/", "b", "Copy1", "All1"}, rules,
                CopyLines("big") + CopyFailed("a/big") + Abort("Copy error."), 1);
    ExpectPairUntouched();
    ExpectFault({"a/", "b", "Copy1", "All1", "/nt"}, rules,
                CopyLines("big") + CopyFailed("a/big") + CopyLines("new") + CopyFailed("a/new"));
    ExpectPairUntouched();
    EXPECT_EQ(Read("a/big"), source);
  }
}

TEST_F(Faults, WhereAFileCannotBeMadeUnnamedTheCopyGoesThroughATemporaryName) {
  MakePair();
  const std::vector<std::string> unavailable = {
      "tmpfile:errno=EOPNOTSUPP",  // the file system has no unnamed files
      "tmpfile:errno=EISDIR",      // the system does not know them
      "linkat:times=2:errno=ENOENT"};  // neither the descriptor nor /proc can name it
  for (const std::string& rules : unavailable) {
    SCOPED_TRACE(rules);
    std::filesystem::remove(Abs("b/new"));
    ExpectFault({"a/", "b", "Copy1", "All1", "/q"}, kPlainCopy + rules, "");
    EXPECT_EQ(Read("b/new"), Read("a/new"));
    EXPECT_EQ(Read("b/big"), Read("a/big"));
    EXPECT_EQ(TimeOf("b/new"), kNew);
    EXPECT_EQ(Tree("b"), Lines({"big 300000", "new 100000"}));
    File("b/big", "old target", kOld);
  }
  // A system that cannot name the descriptor itself names it through /proc,
  // still without a temporary name.
  std::filesystem::remove(Abs("b/new"));
  ExpectFault({"a/new", "b", "Copy1", "All1", "/q"},
              "linkat:times=1:errno=ENOENT;mkostemp:errno=EIO", "");
  EXPECT_EQ(Read("b/new"), Read("a/new"));
}

TEST_F(Faults, AKernelCopyThatStopsPartwayIsFinishedByThePlainLoop) {
  MakePair();
  ExpectFault({"a/", "b", "Copy1", "All1", "/q"},
              "ioctl:errno=EOPNOTSUPP;copy_file_range:after=65536:errno=EIO", "");
  EXPECT_EQ(Read("b/big"), Read("a/big"));
  EXPECT_EQ(Read("b/new"), Read("a/new"));
  EXPECT_EQ(TimeOf("b/big"), kNew);
  EXPECT_EQ(Tree("b"), Lines({"big 300000", "new 100000"}));
}

TEST_F(Faults, AReadErrorNeverMakesTwoFilesEqual) {
  File("a/x", "same bytes", kOld);
  File("b/x", "same bytes", kOld);
  const std::string warning = Lines({"WARNING: Could not read file b/x"});
  const std::string rules = "read:path=/b/x$:errno=EIO";
  ExpectFault({"a/", "b", "Del2", "ByteMatches", "/q"}, rules, warning, kIncomplete);
  ExpectFault({"a/", "b", "Del2", "ExactMatches", "/q"}, rules, warning, kIncomplete);
  ExpectFault({"a/", "b", "Del1", "DateMismatches", "ByteMatches", "/q"}, rules, warning,
              kIncomplete);
  EXPECT_EQ(Tree("a") + Tree("b"), Lines({"x 10", "x 10"}));
}

TEST_F(Faults, AFailedDeletionStopsTheRunAndKeepsTheFile) {
  File("a/x", "first");
  File("a/y", "second");
  Dir("b");
  for (const char* error : {"EIO", "EACCES", "EROFS"}) {
    ExpectFault({"a/", "b", "Del1", "All1"}, std::string("unlink:errno=") + error,
                Lines({"Deleting a/x"}) + Abort("Error deleting file a/x"), 1);
    EXPECT_EQ(Tree("a"), Lines({"x 5", "y 6"}));
  }
}

TEST_F(Faults, AFailedMoveStopsTheRunWithTheFileWholeInOnePlaceAtLeast) {
  File("a/x", std::string(200000, 'x'), kNew);
  File("b/x", "old target", kOld);
  const std::string failed = Lines({"Moving a/x to b/x"}) + Abort("Error moving file a/x");
  // Within one file system a move is one rename.
  ExpectFault({"a/", "b", "Move1", "All1"}, "rename:errno=EIO", failed, 1);
  EXPECT_EQ(Tree("a") + Tree("b"), Lines({"x 200000", "x 10"}));
  // Across file systems it is a copy, then the source's removal.
  const std::string acrossDevices = "rename:path=a/x$:errno=EXDEV;";
  ExpectFault({"a/", "b", "Move1", "All1"},
              acrossDevices + kPlainCopy + "write:after=4096:errno=ENOSPC", failed, 1);
  EXPECT_EQ(Tree("a") + Tree("b"), Lines({"x 200000", "x 10"}));
  ExpectFault({"a/", "b", "Move1", "All1"}, acrossDevices + "unlink:path=a/x$:errno=EIO", failed,
              1);
  EXPECT_EQ(Tree("a") + Tree("b"), Lines({"x 200000", "x 200000"}));
  EXPECT_EQ(Read("b/x"), Read("a/x"));
  File("b/x", "old target", kOld);
  ExpectFault({"a/", "b", "Move1", "All1", "/q"}, acrossDevices, "");
  EXPECT_EQ(Tree("a") + Tree("b"), Lines({"x 200000"}));
  EXPECT_EQ(TimeOf("b/x"), kNew);
}

TEST_F(Faults, ATargetDirectoryThatCannotBeMadeFailsTheCopyCleanly) {
  File("a/sub/x", "data");
  Dir("b");
  ExpectFault({"a/", "b", "Copy1", "All1", "/r"}, "mkdir:errno=ENOSPC",
              Lines({"Copying a/sub/x to b/sub/x", "Creating target directory b/sub",
                     "Trying to create directory b/sub", "Trying to create directory b"}) +
                  CopyFailed("a/sub/x") + Abort("Copy error."),
              1);
  EXPECT_EQ(Tree("b"), "");
  EXPECT_EQ(Tree("a"), Lines({"sub/", "sub/x 4"}));
}

TEST_F(Faults, ADirectoryThatCannotBeReadIsReportedAndItsPairLeftAlone) {
  File("a/x", "in a");
  File("a/sub/y", "in a/sub");
  File("b/x", "in b");
  File("b/sub/y", "in b/sub");
  for (const char* rules : {"readdir:path=/b$:errno=EIO", "fdopendir:path=/b$:errno=ENOMEM"}) {
    SCOPED_TRACE(rules);
    ExpectFault({"a/", "b", "ListB", "All1", "All2"}, rules,
                Lines({"WARNING: Could not read directory b/"}), 2);
  }
  // The pair is reported from each side's walk, and the run goes on.
  ExpectFault({"a/", "b", "ListB", "All1", "All2", "/r"}, "readdir:path=/a/sub$:errno=EIO",
              Lines({"**************** In directory a/*.*:", "x                   ",
                     "**************** In directory b/*.*:", "x                   ",
                     "WARNING: Could not read directory a/sub/",
                     "WARNING: Could not read directory a/sub/"}),
              2);
}

// A directory that could not be read holds files all the same: taking it for
// empty would make every file of the other side look unpaired.
TEST_F(Faults, AnUnreadableDirectoryNeverCostsAFile) {
  File("a/sub/x", "older, in a", kOld);
  File("b/sub/x", "newer, in b", kNew);
  const std::string rules = "readdir:path=/b/sub$:errno=EIO";
  RunResult update = RunWithFault({"a/", "b", "Update2", "/r", "/q"}, rules);
  EXPECT_GT(Injected(), 0);
  EXPECT_EQ(Read("b/sub/x"), "newer, in b");
  RunResult deletion = RunWithFault({"a/", "b", "Del1", "Only1", "/r", "/q"}, rules);
  EXPECT_GT(Injected(), 0);
  EXPECT_TRUE(Exists("a/sub/x"));
  EXPECT_EQ(update.Err + deletion.Err, "");
}

TEST_F(Faults, AFileThatVanishesAfterTheScanIsReportedAndTheRunGoesOn) {
  File("a/gone", "vanishes");
  File("a/stays", "copied");
  Dir("b");
  ExpectFault({"a/", "b", "Copy1", "All1", "/nt"}, "open:path=a/gone$:errno=ENOENT",
              Lines({"Copying a/gone to b/gone", "Creating target directory b",
                     "Trying to create directory b"}) +
                  CopyFailed("a/gone") + Lines({"Copying a/stays to b/stays"}));
  EXPECT_EQ(Tree("b"), Lines({"stays 6"}));
  ExpectFault({"a/", "b", "Move1", "All1"}, "rename:path=a/gone$:errno=ENOENT",
              Lines({"Moving a/gone to b/gone"}) + Abort("Error moving file a/gone"), 1);
  // Gone between reading the directory and looking at the entry.
  ExpectFault({"a/", "b", "List1", "All1"}, "fstatat:path=gone$:errno=ENOENT",
              Lines({"**************** In directory a/*.*:", "stays               "}));
  EXPECT_EQ(Tree("a"), Lines({"gone 8", "stays 6"}));
}

TEST_F(Faults, ADirectoryThatCannotBeRemovedAfterDeletionStaysQuietly) {
  File("a/sub/x", "data");
  Dir("b");
  ExpectFault({"a/", "b", "Del1", "All1", "/r"}, "rmdir:errno=EBUSY",
              Lines({"Deleting a/sub/x"}));
  EXPECT_EQ(Tree("a"), Lines({"sub/"}));
}
