// Runs that once cost a file: each tree is the one the fault was seen on.
#include <sys/stat.h>
#include <unistd.h>

#include "scenario.h"

namespace {

class Safety : public Scenario {
 protected:
  void Link(const std::string& target, const std::string& path) {
    ASSERT_EQ(symlink(target.c_str(), Abs(path).c_str()), 0) << path;
  }
};

const char* const kOld = "2020-01-01 10:00:00";
const char* const kNew = "2024-01-01 10:00:00";

TEST_F(Safety, AQuoteBlankQuoteNameIsMovedAsOneNameOrNotAtAll) {
  File("a/s/q\" \"q", "moved");
  File("a/s/q\" \"q\" \"b/s/q", "inner");
  File("q", "unrelated");
  Dir("b");
  Expect({"a/*.*", "b", "Move1", "All1", "/r"},
         Lines({"Moving a/s/q\" \"q to b/s/q\" \"q"}) + Abort("Error moving file a/s/q\" \"q"), 1);
  EXPECT_EQ(Read("q"), "unrelated");
  EXPECT_EQ(Tree("a"), Lines({"s/", "s/q\" \"q 5", "s/q\" \"q\" \"b/", "s/q\" \"q\" \"b/s/",
                              "s/q\" \"q\" \"b/s/q 5"}));
  EXPECT_EQ(Tree("b"), "");
}

// A link on one side to the other side's file is one file, not two copies:
// no pair rule selects it, so deleting "the duplicates" deletes nothing.
TEST_F(Safety, ALinkToItsPartnerIsNeverADuplicate) {
  File("b/x.txt", "the only copy");
  File("a/y.txt", "y");
  Link("../b/x.txt", "a/x.txt");
  const std::string same = Lines({"WARNING: a/x.txt and b/x.txt are one and the same file"});
  const std::pair<const char*, const char*> selecting[] = {
      {"ByteMismatches", "z"}, {"ByteMatches", "y"}, {"Matches", "y"}, {"SameLength", "z"}};
  for (auto [marker, content] : selecting) {
    SCOPED_TRACE(marker);
    File("b/y.txt", content);
    Expect({"a/*.*", "b", "List2", marker, "/q"}, same + Listed("b/*.*", {"y.txt"}));
    Expect({"a/*.*", "b", "Del2", marker, "/q"}, same);
    EXPECT_EQ(Tree("b"), Lines({"x.txt 13"}));
    EXPECT_EQ(Read("b/x.txt"), "the only copy");
  }
}

TEST_F(Safety, AHardLinkPairIsOneFileToEveryRule) {
  File("a/h", "one file");
  Dir("b");
  ASSERT_EQ(link(Abs("a/h").c_str(), Abs("b/h").c_str()), 0);
  Expect({"a/", "b", "DelB", "Matches", "Older1", "Newer1", "SameLength", "ExactMatches", "/q"},
         Lines({"WARNING: a/h and b/h are one and the same file"}));
  EXPECT_EQ(Tree("b"), Lines({"h 8"}));
}

TEST_F(Safety, ADeleteNeverFollowsALinkOutOfTheTree) {
  File("precious/important.txt", "keep");
  File("a/sub/x", "x");
  File("b/y", "y");
  Link("../precious", "a/link");
  Link("../precious", "b/link");
  Expect({"a/", "b", "Del1", "All1", "/r"},
         Lines({"Deleting a/sub/x", "Deleting directory a/sub"}));
  Expect({"a/", "b", "DelB", "AllB", "/r", "/q"}, "");
  EXPECT_FALSE(Exists("b/y"));
  Expect({"a/", "b", "Move2", "All2", "/r", "/q"}, "");
  EXPECT_EQ(Tree("precious"), Lines({"important.txt 4"}));
  // Listing and copying still go through links.
  ASSERT_EQ(unlink(Abs("b/link").c_str()), 0);
  Expect({"a/", "b", "Copy1", "All1", "/r"},
         Lines({"Copying a/link/important.txt to b/link/important.txt", "Creating target directory b/link",
                "Trying to create directory b/link"}));
}

TEST_F(Safety, AControlFileThatIsADirectoryStopsTheRun) {
  Dir("cfg");
  Expect({"@cfg", "ListB", "AllB"}, Abort("Could not open control file cfg"), 1);
}

// On a file system that tells letter case apart, x.txt pairs with x.txt.
TEST_F(Safety, ANamePairsWithItsOwnSpellingFirst) {
  File("a/X.txt", "a upper", kNew);
  File("a/x.txt", "a lower", kOld);
  File("b/X.txt", "b upper", "2019-01-01 10:00:00");
  File("b/x.txt", "b lower, the newest", "2023-01-01 10:00:00");
  Expect({"a/", "b", "Update2"}, Lines({"Copying a/X.txt to b/X.txt"}));
  EXPECT_EQ(Read("b/x.txt"), "b lower, the newest");
  EXPECT_EQ(Read("b/X.txt"), "a upper");
}

// Only what the target list holds may be replaced: a name taken by
// anything else is reported and left as it is.
TEST_F(Safety, ATargetTheScanDidNotSeeIsNeverReplaced) {
  File("a/x", "new");
  File("a/z", "z");
  Dir("b");
  Link("nowhere", "b/x");
  Expect({"a/", "b", "Copy1", "All1", "/nt"},
         Lines({"Copying a/x to b/x", "WARNING: Target exists and was not compared: b/x",
                "ERROR: Unable to copy file a/x", "\aCopying a/z to b/z"}));
  Expect({"a/", "b", "Move1", "Only1", "/q"},
         Lines({"WARNING: Target exists and was not compared: b/x"}) +
             Abort("Error moving file a/x"),
         1);
  struct stat info;
  ASSERT_EQ(lstat(Abs("b/x").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(Read("a/x"), "new");
}

}  // namespace
