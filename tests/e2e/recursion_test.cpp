// Recursion through whole trees: the order of the walk, the sides walked,
// the skips, the removal of emptied directories and the guards against
// loops, nesting and trees deeper than the system's path limit.
#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <map>
#include <sstream>

#include "scenario.h"

namespace {

const std::string kHeading = "**************** In directory ";

std::string In(const std::string& directory) { return kHeading + directory + ":"; }

// One listing line of at most four names: the fourth ends the line unpadded.
std::string Row(const std::vector<std::string>& names) {
  std::string line;
  for (size_t i = 0; i < names.size(); ++i) {
    line += names[i];
    if (i < 3 && names[i].size() < 20) line += std::string(20 - names[i].size(), ' ');
  }
  return line;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// How often each directory and mask of a listing got a heading.
std::map<std::string, int> HeadingCounts(const std::string& out) {
  std::map<std::string, int> counts;
  for (const std::string& line : SplitLines(out))
    if (line.rfind(kHeading, 0) == 0 && line.back() == ':')
      ++counts[line.substr(kHeading.size(), line.size() - kHeading.size() - 1)];
  return counts;
}

// Removes a tree through descriptors, so that paths longer than the system
// accepts are no obstacle.
void RemoveBelow(int parent, const char* name) {
  int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
  if (fd < 0) {
    unlinkat(parent, name, 0);
    return;
  }
  DIR* stream = fdopendir(fd);
  std::vector<std::string> names;
  while (dirent* entry = readdir(stream))
    if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
      names.push_back(entry->d_name);
  for (const std::string& child : names) RemoveBelow(fd, child.c_str());
  closedir(stream);
  unlinkat(parent, name, AT_REMOVEDIR);
}

}  // namespace

class Recursion : public Scenario {
 protected:
  void Link(const std::string& target, const std::string& path) {
    ASSERT_EQ(symlink(target.c_str(), Abs(path).c_str()), 0) << path;
  }

  // Five levels of subdirectories s1/s2/s3/s4/s5 on both sides. Every level
  // has a file equal on both sides, one newer on each side, a subtree only
  // side 1 has (p<L>/q) and a subtree only side 2 has (t<L>/u).
  void BuildSharedTree() {
    std::string level;
    for (int depth = 0; depth <= 5; ++depth) {
      const std::string n = std::to_string(depth);
      File("a/" + level + "c" + n + ".txt", "same " + n);
      File("b/" + level + "c" + n + ".txt", "same " + n);
      File("a/" + level + "n" + n + ".txt", "newer in a " + n, "2024-03-01 10:00:00");
      File("b/" + level + "n" + n + ".txt", "old " + n);
      File("a/" + level + "m" + n + ".txt", "old " + n);
      File("b/" + level + "m" + n + ".txt", "newer in b " + n, "2024-03-01 10:00:00");
      File("a/" + level + "p" + n + "/p.txt", "only a " + n);
      File("a/" + level + "p" + n + "/q/r.txt", "only a deeper " + n);
      File("b/" + level + "t" + n + "/t.txt", "only b " + n);
      File("b/" + level + "t" + n + "/u/v.txt", "only b deeper " + n);
      level += "s" + std::to_string(depth + 1) + "/";
    }
  }

  // Runs vorn without the capabilities that let root read every directory,
  // so that a directory of mode 000 really cannot be read. False when they
  // cannot be given up here.
  bool RunWithoutReadOverride(const std::vector<std::string>& arguments, RunResult& result) {
    if (geteuid() != 0) {
      result = Run(arguments);
      return true;
    }
    const std::string outPath = Root + ".capped-out", errPath = Root + ".capped-err";
    pid_t child = fork();
    if (child == 0) {
      if (prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) != 0 ||
          prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) != 0)
        _exit(255);
      RunResult capped = Run(arguments);
      std::ofstream(outPath, std::ios::binary) << capped.Out;
      std::ofstream(errPath, std::ios::binary) << capped.Err;
      _exit(capped.Status);
    }
    int status = 0;
    waitpid(child, &status, 0);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream out(outPath, std::ios::binary), err(errPath, std::ios::binary);
    std::stringstream outText, errText;
    outText << out.rdbuf();
    errText << err.rdbuf();
    result.Out = outText.str();
    result.Err = errText.str();
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return result.Status != 255;
  }
};

// ---------------------------------------------------------------------------
// Order and sides of the walk

TEST_F(Recursion, ListOneWalksEveryLevelDepthFirstInFoldedNameOrder) {
  File("a/top.txt", "t");
  File("a/alpha/a1.txt", "a");
  File("a/alpha/deep/d1.txt", "d");
  File("a/Beta/b1.txt", "b");
  File("a/cat/c1.txt", "c");
  File("a/empty/inner/i1.txt", "i");  // a level without files is still walked
  File("a/my dir/m1.txt", "m");
  Link("nowhere", "a/dangling");
  File("b/alpha/other.txt", "o");
  File("b/only2/o.txt", "o");  // not walked: List1 walks side 1 only
  const std::string all = Lines({In("a/*.*"), Row({"top.txt"}),
                                 In("a/alpha/*.*"), Row({"a1.txt"}),
                                 In("a/alpha/deep/*.*"), Row({"d1.txt"}),
                                 In("a/Beta/*.*"), Row({"b1.txt"}),
                                 In("a/cat/*.*"), Row({"c1.txt"}),
                                 In("a/empty/inner/*.*"), Row({"i1.txt"}),
                                 In("a/my dir/*.*"), Row({"m1.txt"})});
  Expect({"a/", "b", "List1", "All1", "/r"}, all);
  Expect({"a/", "b", "list1", "all1", "/R"}, all);
  Expect({"a/", "b", "List1", "All1"}, Lines({In("a/*.*"), Row({"top.txt"})}));
}

TEST_F(Recursion, HiddenSubdirectoriesAreWalkedButHiddenFilesNeverListed) {
  File("a/v.txt", "v");
  File("a/.top", "hidden");
  File("a/.config/settings.txt", "s");
  File("a/.config/.secret", "hidden");
  File("a/.config/inner/x.txt", "x");
  File("a/.only_hidden/.h", "hidden");
  Dir("b");
  Expect({"a/", "b", "List1", "All1", "/r"},
         Lines({In("a/*.*"), Row({"v.txt"}), In("a/.config/*.*"), Row({"settings.txt"}),
                In("a/.config/inner/*.*"), Row({"x.txt"})}));
}

TEST_F(Recursion, BothSidesListASharedSubdirectoryOnceInEachWalk) {
  File("a/f.txt", "f");
  File("a/o1/h.txt", "h");
  File("a/s/g.txt", "g");
  File("b/s/k.txt", "k");
  File("b/o2/m.txt", "m");
  Expect({"a/", "b", "ListB", "All1", "/r"},
         Lines({In("a/*.*"), Row({"f.txt"}), In("a/o1/*.*"), Row({"h.txt"}),
                In("a/s/*.*"), Row({"g.txt"}), In("a/s/*.*"), Row({"g.txt"})}));
  Expect({"a/", "b", "ListB", "AllB", "/r"},
         Lines({In("a/*.*"), Row({"f.txt"}), In("a/o1/*.*"), Row({"h.txt"}),
                In("a/s/*.*"), Row({"g.txt"}), In("b/s/*.*"), Row({"k.txt"}),
                In("b/o2/*.*"), Row({"m.txt"}),
                In("a/s/*.*"), Row({"g.txt"}), In("b/s/*.*"), Row({"k.txt"})}));
}

TEST_F(Recursion, FiveLevelsDeepEverySharedDirectoryIsListedTwiceAndNoMore) {
  BuildSharedTree();
  std::map<std::string, int> expected = {{"a/*.*", 1}, {"b/*.*", 1}};
  std::string level;
  for (int depth = 0; depth <= 5; ++depth) {
    const std::string n = std::to_string(depth);
    if (depth > 0) expected["a/" + level + "*.*"] = expected["b/" + level + "*.*"] = 2;
    expected["a/" + level + "p" + n + "/*.*"] = expected["a/" + level + "p" + n + "/q/*.*"] = 1;
    expected["b/" + level + "t" + n + "/*.*"] = expected["b/" + level + "t" + n + "/u/*.*"] = 1;
    level += "s" + std::to_string(depth + 1) + "/";
  }
  RunResult result = Run({"a/", "b", "ListB", "AllB", "/r"});
  EXPECT_EQ(HeadingCounts(result.Out), expected);
  EXPECT_EQ(result.Err, "");
  EXPECT_EQ(result.Status, 0);
}

TEST_F(Recursion, SyncThroughFiveLevelsCopiesEachFileOnceAndLeavesEqualTrees) {
  BuildSharedTree();
  RunResult result = Run({"a/", "b", "Sync", "/r"});
  EXPECT_EQ(result.Err, "");
  EXPECT_EQ(result.Status, 0);
  std::map<std::string, int> copies, expected;
  for (const std::string& line : SplitLines(result.Out))
    if (line.rfind("Copying ", 0) == 0) ++copies[line];
  std::string level;
  for (int depth = 0; depth <= 5; ++depth) {
    const std::string n = std::to_string(depth), a = "a/" + level, b = "b/" + level;
    for (const std::string& name : {"n" + n + ".txt", "p" + n + "/p.txt", "p" + n + "/q/r.txt"})
      expected["Copying " + a + name + " to " + b + name] = 1;
    for (const std::string& name : {"m" + n + ".txt", "t" + n + "/t.txt", "t" + n + "/u/v.txt"})
      expected["Copying " + b + name + " to " + a + name] = 1;
    level += "s" + std::to_string(depth + 1) + "/";
  }
  EXPECT_EQ(copies, expected);
  EXPECT_EQ(Tree("a"), Tree("b"));
  EXPECT_EQ(Read("a/s1/s2/s3/s4/s5/m5.txt"), "newer in b 5");
  EXPECT_EQ(Read("b/s1/s2/s3/s4/s5/n5.txt"), "newer in a 5");
  EXPECT_EQ(Read("b/s1/s2/t2/u/v.txt"), Read("a/s1/s2/t2/u/v.txt"));
  EXPECT_EQ(TimeOf("b/s1/s2/s3/n3.txt"), "2024-03-01 10:00:00");
  Expect({"a/", "b", "Sync", "/r"}, "");
}

TEST_F(Recursion, SyncCreatesMissingDirectoriesOnBothSidesInWalkOrder) {
  File("a/only1/x.txt", "x");
  File("a/s/new1.txt", "newer", "2024-02-01 00:00:00");
  File("b/s/new1.txt", "old");
  File("a/s/new2.txt", "old");
  File("b/s/new2.txt", "newer", "2024-02-01 00:00:00");
  File("a/s/deep1/z.txt", "z");
  File("b/only2/y.txt", "y");
  Expect({"a/", "b", "Sync", "/r"},
         Lines({"Copying a/only1/x.txt to b/only1/x.txt",
                "Creating target directory b/only1",
                "Trying to create directory b/only1",
                "Copying a/s/new1.txt to b/s/new1.txt",
                "Copying b/s/new2.txt to a/s/new2.txt",
                "Copying a/s/deep1/z.txt to b/s/deep1/z.txt",
                "Creating target directory b/s/deep1",
                "Trying to create directory b/s/deep1",
                "Copying b/only2/y.txt to a/only2/y.txt",
                "Creating target directory a/only2",
                "Trying to create directory a/only2"}));
  EXPECT_EQ(Tree("a"), Tree("b"));
  EXPECT_EQ(Read("a/s/new2.txt"), "newer");
  Expect({"a/", "b", "Sync", "/r"}, "");
}

// ---------------------------------------------------------------------------
// Skips and the recursion switches

TEST_F(Recursion, SkipCharactersLeaveWholeSubtreesAloneAtEveryLevel) {
  File("a/f.txt", "f");
  File("a/_old/o.txt", "o");
  File("a/keep/k.txt", "k");
  File("a/keep/_old/o2.txt", "o");
  File("a/keep/_tmp/t.txt", "t");
  File("a/~bak/w.txt", "w");
  Dir("b");
  const std::string top = Lines({In("a/*.*"), Row({"f.txt"})});
  const std::string keep = Lines({In("a/keep/*.*"), Row({"k.txt"})});
  const std::string bak = Lines({In("a/~bak/*.*"), Row({"w.txt"})});
  const std::string everything =
      top + keep + Lines({In("a/keep/_old/*.*"), Row({"o2.txt"}), In("a/keep/_tmp/*.*"),
                          Row({"t.txt"}), In("a/_old/*.*"), Row({"o.txt"})}) + bak;
  Expect({"a/", "b", "List1", "All1", "/r_"}, top + keep + bak);
  Expect({"a/", "b", "List1", "All1", "/r_~"}, top + keep);
  Expect({"a/", "b", "List1", "All1", "/r_", "/r"}, everything);
  Expect({"a/", "b", "List1", "All1", "/r", "/nr"}, top);
  Expect({"a/", "b", "List1", "All1", "/r_", "/nr"}, top);
  Expect({"a/", "b", "List1", "All1", "/nr", "/r"}, everything);
  Expect({"a/", "b", "List1", "All1", "/r.", "/r_"}, top + keep + bak);
}

TEST_F(Recursion, LetterSkipsIgnoreCase) {
  File("a/f.txt", "f");
  File("a/Xfiles/1.txt", "1");
  File("a/xtra/2.txt", "2");
  File("a/box/3.txt", "3");
  File("a/box/Xdeep/4.txt", "4");
  Dir("b");
  const std::string kept =
      Lines({In("a/*.*"), Row({"f.txt"}), In("a/box/*.*"), Row({"3.txt"})});
  Expect({"a/", "b", "List1", "All1", "/rx"}, kept);
  Expect({"a/", "b", "List1", "All1", "/rX"}, kept);
}

// ---------------------------------------------------------------------------
// Removal of emptied directories

TEST_F(Recursion, DelRemovesEmptiedDirectoriesDeepestFirstAndTheTopLast) {
  File("a/f.txt", "f");
  File("a/s/g.txt", "g");
  File("a/s/t/h.txt", "h");
  File("a/u/i.txt", "i");
  File("b/s/keep.txt", "k");
  Expect({"a/", "b", "Del1", "All1", "/r"},
         Lines({"Deleting a/f.txt", "Deleting a/s/g.txt", "Deleting a/s/t/h.txt",
                "Deleting directory a/s/t", "Deleting directory a/s", "Deleting a/u/i.txt",
                "Deleting directory a/u", "Deleting directory a"}));
  EXPECT_FALSE(Exists("a"));
  EXPECT_EQ(Tree("b"), Lines({"s/", "s/keep.txt 1"}));
}

TEST_F(Recursion, DirectoryRemovalIsReportedEvenWhenQuiet) {
  File("a/f.txt", "f");
  File("a/s/t/h.txt", "h");
  Dir("b");
  Expect({"a/", "b", "Del1", "All1", "/r", "/q"},
         Lines({"Deleting directory a/s/t", "Deleting directory a/s", "Deleting directory a"}));
  EXPECT_FALSE(Exists("a"));
}

TEST_F(Recursion, HiddenFileKeepsItsDirectoryAndEveryParentSilently) {
  File("a/f.txt", "f");
  File("a/s/g.txt", "g");
  File("a/s/t/.keep", "hidden");
  File("a/u/i.txt", "i");
  Dir("b");
  Expect({"a/", "b", "Del1", "All1", "/r"},
         Lines({"Deleting a/f.txt", "Deleting a/s/g.txt", "Deleting a/u/i.txt",
                "Deleting directory a/u"}));
  EXPECT_EQ(Tree("a"), Lines({"s/", "s/t/", "s/t/.keep 6"}));
}

TEST_F(Recursion, SkippedSubtreeStaysAndSoDoesTheTop) {
  File("a/f.txt", "f");
  File("a/_old/o.txt", "o");
  File("a/s/g.txt", "g");
  Dir("b");
  Expect({"a/", "b", "Del1", "All1", "/r_"},
         Lines({"Deleting a/f.txt", "Deleting a/s/g.txt", "Deleting directory a/s"}));
  EXPECT_EQ(Tree("a"), Lines({"_old/", "_old/o.txt 1"}));
}

TEST_F(Recursion, LongFormDeleteRemovesTheSameFilesButNoDirectory) {
  File("a/f.txt", "f");
  File("a/s/g.txt", "g");
  File("a/s/t/h.txt", "h");
  File("a/u/i.txt", "i");
  File("b/s/keep.txt", "k");
  Expect({"a/", "b", "Delete1", "All1", "/r"},
         Lines({"Deleting a/f.txt", "Deleting a/s/g.txt", "Deleting a/s/t/h.txt",
                "Deleting a/u/i.txt"}));
  EXPECT_EQ(Tree("a"), Lines({"s/", "s/t/", "u/"}));
  Expect({"a/", "b", "DeleteB", "AllB", "/r", "/q"}, "");
  EXPECT_EQ(Tree("a"), Lines({"s/", "s/t/", "u/"}));
  EXPECT_EQ(Tree("b"), Lines({"s/"}));
}

TEST_F(Recursion, DelWithoutFileMarkersRemovesOnlyDirectoriesAlreadyEmpty) {
  File("a/f.txt", "f");
  Dir("a/e1");
  Dir("a/e2/e3");
  File("a/s/g.txt", "g");
  Dir("a/s/e4");
  Dir("b");
  Expect({"a/", "b", "Del1", "/r"},
         Lines({"Deleting directory a/e1", "Deleting directory a/e2/e3",
                "Deleting directory a/e2", "Deleting directory a/s/e4"}));
  EXPECT_EQ(Tree("a"), Lines({"f.txt 1", "s/", "s/g.txt 1"}));
}

TEST_F(Recursion, DelFromTheCurrentDirectoryNeverRemovesItNorEntersTheOtherSide) {
  Dir("b/e");
  Dir("e1");
  File("keep/k.txt", "k");
  Dir("keep/e2");
  Expect({"", "b", "Del1", "/r"},
         Lines({"Deleting directory e1", "Deleting directory keep/e2"}));
  EXPECT_EQ(Tree(""), Lines({"b/", "b/e/", "keep/", "keep/k.txt 1"}));
}

TEST_F(Recursion, DelTwoAndDelBothRemoveTheWalkedSides) {
  File("a/f.txt", "f");
  File("a/s/t/h.txt", "h");
  File("a/o1/i.txt", "i");
  File("b/F2.txt", "F");
  File("b/s/g.txt", "g");
  File("b/s/t/j.txt", "j");
  File("b/o2/x/l.txt", "l");
  Expect({"a/", "b", "Del2", "All2", "/r", "/q"},
         Lines({"Deleting directory b/o2/x", "Deleting directory b/o2",
                "Deleting directory b/s/t", "Deleting directory b/s", "Deleting directory b"}));
  EXPECT_EQ(Tree("a"), Lines({"f.txt 1", "o1/", "o1/i.txt 1", "s/", "s/t/", "s/t/h.txt 1"}));

  File("b/F2.txt", "F");
  File("b/s/t/j.txt", "j");
  File("b/o2/k.txt", "k");
  Expect({"a/", "b", "DelB", "AllB", "/r"},
         Lines({"Deleting a/f.txt", "Deleting b/F2.txt",
                "Deleting a/o1/i.txt", "Deleting directory a/o1",
                "Deleting a/s/t/h.txt", "Deleting b/s/t/j.txt",
                "Deleting directory a/s/t", "Deleting directory b/s/t",
                "Deleting directory a/s", "Deleting directory b/s",
                "Deleting directory a",
                "Deleting b/o2/k.txt", "Deleting directory b/o2", "Deleting directory b"}));
  EXPECT_FALSE(Exists("a"));
  EXPECT_FALSE(Exists("b"));
}

// ---------------------------------------------------------------------------
// Updates through trees

TEST_F(Recursion, UpdateOneCreatesTheDirectoriesOnlySideTwoHas) {
  File("a/only1/f.txt", "f");
  File("a/s/old.txt", "old");
  File("b/s/old.txt", "newer", "2024-02-01 00:00:00");
  File("a/s/same.txt", "same");
  File("b/s/same.txt", "same");
  File("b/new/g.txt", "g");
  File("b/new/empty.txt", "");
  File("b/new/deeper/h.txt", "h", "2023-05-06 07:08:10");
  File("b/zero/z.txt", "");  // nothing to copy, so no directory either
  Expect({"a/", "b", "Update1", "/r"},
         Lines({"Copying b/new/g.txt to a/new/g.txt", "Creating target directory a/new",
                "Trying to create directory a/new",
                "Copying b/new/deeper/h.txt to a/new/deeper/h.txt",
                "Creating target directory a/new/deeper",
                "Trying to create directory a/new/deeper",
                "Copying b/s/old.txt to a/s/old.txt"}));
  EXPECT_EQ(Tree("a"), Lines({"new/", "new/deeper/", "new/deeper/h.txt 1", "new/g.txt 1",
                              "only1/", "only1/f.txt 1", "s/", "s/old.txt 5", "s/same.txt 4"}));
  EXPECT_EQ(TimeOf("a/new/deeper/h.txt"), "2023-05-06 07:08:10");
  EXPECT_FALSE(Exists("b/only1"));
  Expect({"a/", "b", "Update1", "/r"}, "");
}

TEST_F(Recursion, UpdateTwoMirrorsATreeIntoAnEmptyDirectory) {
  File("a/top.txt", "top");
  File("a/d1/x.txt", "xx", "2022-01-02 03:04:06");
  File("a/d1/d2/y.txt", "yyy");
  File("a/d1/d2/d3/z.txt", "zzzz", "2021-12-31 23:59:58");
  File("a/zero/0.txt", "");
  Dir("e");
  Expect({"a/", "e", "Update2", "/r", "/q"},
         Lines({"Creating target directory e/d1", "Trying to create directory e/d1",
                "Creating target directory e/d1/d2", "Trying to create directory e/d1/d2",
                "Creating target directory e/d1/d2/d3",
                "Trying to create directory e/d1/d2/d3"}));
  EXPECT_EQ(Tree("e"), Lines({"d1/", "d1/d2/", "d1/d2/d3/", "d1/d2/d3/z.txt 4",
                              "d1/d2/y.txt 3", "d1/x.txt 2", "top.txt 3"}));
  EXPECT_EQ(Read("e/d1/d2/d3/z.txt"), "zzzz");
  EXPECT_EQ(TimeOf("e/d1/d2/d3/z.txt"), "2021-12-31 23:59:58");
  EXPECT_EQ(TimeOf("e/d1/x.txt"), "2022-01-02 03:04:06");
  Expect({"a/", "e", "Update2", "/r", "/q"}, "");
}

TEST_F(Recursion, MoveDoesNotCreateAMissingSubdirectory) {
  File("a/s/m.txt", "m");
  Dir("b");
  Expect({"a/", "b", "Move1", "All1", "/r"},
         "Moving a/s/m.txt to b/s/m.txt\n" + Abort("Error moving file a/s/m.txt"), 1);
  EXPECT_TRUE(Exists("a/s/m.txt"));
}

// ---------------------------------------------------------------------------
// Masks

TEST_F(Recursion, EverySubdirectoryPairIsReadWithAllMasksInOrder) {
  File("a/x.c", "x");
  File("a/y.h", "y");
  File("a/z.txt", "z");
  File("a/sub/q.h", "q");
  File("a/sub/p.c", "p");
  File("a/sub/r.txt", "r");
  File("a/sub/deep/s.H", "s");
  File("b/sub/t.c", "t");
  File("b/sub/u.txt", "u");
  Expect({"a/*.c;*.h", "b", "List1", "All1", "/r"},
         Lines({In("a/*.c & *.h"), Row({"x.c", "y.h"}), In("a/sub/*.c & *.h"),
                Row({"p.c", "q.h"}), In("a/sub/deep/*.c & *.h"), Row({"s.H"})}));
  Expect({"a/*.c;*.h", "b", "ListB", "AllB", "/r"},
         Lines({In("a/*.c & *.h"), Row({"x.c", "y.h"}),
                In("a/sub/*.c & *.h"), Row({"p.c", "q.h"}), In("b/sub/*.c & *.h"), Row({"t.c"}),
                In("a/sub/deep/*.c & *.h"), Row({"s.H"}),
                In("a/sub/*.c & *.h"), Row({"p.c", "q.h"}), In("b/sub/*.c & *.h"), Row({"t.c"})}));
  Expect({"a/*.txt", "b", "List2", "All2", "/r"},
         Lines({In("b/sub/*.txt"), Row({"u.txt"})}));
}

TEST_F(Recursion, SubdirectoryNamesAreNeverReadAsFileSets) {
  // A ';' would split the subdirectory's text into pieces, and an '@' as its
  // second character would read as a packed list: names are names.
  File("x@y/k.txt", "k");
  File("x@y/a;b/m.txt", "m");
  Dir("d");
  Expect({"", "d", "Update2", "/r", "/q"},
         Lines({"Creating target directory d/x@y", "Trying to create directory d/x@y",
                "Creating target directory d/x@y/a;b", "Trying to create directory d/x@y/a;b"}));
  EXPECT_EQ(Read("d/x@y/a;b/m.txt"), "m");
  Dir("s");
  std::rename(Abs("x@y").c_str(), Abs("s/x@y").c_str());
  Expect({"s/", "d", "ListB", "AllB", "/r"},
         Lines({In("s/x@y/*.*"), Row({"k.txt"}), In("d/x@y/*.*"), Row({"k.txt"}),
                In("s/x@y/a;b/*.*"), Row({"m.txt"}), In("d/x@y/a;b/*.*"), Row({"m.txt"}),
                In("s/x@y/a;b/*.*"), Row({"m.txt"}), In("d/x@y/a;b/*.*"), Row({"m.txt"}),
                In("s/x@y/*.*"), Row({"k.txt"}), In("d/x@y/*.*"), Row({"k.txt"})}));
}

// ---------------------------------------------------------------------------
// Guards

TEST_F(Recursion, LinkLoopsAreNeverFollowedBackUpThePath) {
  File("a/f.txt", "f");
  File("a/sub/g.txt", "g");
  Link("..", "a/sub/loop");
  File("b/h.txt", "h");
  Link("../a", "b/up");  // leads into the other side's top directory
  Expect({"a/", "b", "ListB", "AllB", "/r"},
         Lines({In("a/*.*"), Row({"f.txt"}), In("b/*.*"), Row({"h.txt"}), In("a/sub/*.*"),
                Row({"g.txt"})}));
  Expect({"a/", "b", "Sync", "/r", "/q"},
         Lines({"Creating target directory b/sub", "Trying to create directory b/sub"}));
  EXPECT_EQ(Read("b/sub/g.txt"), "g");
  EXPECT_EQ(Read("a/h.txt"), "h");
  EXPECT_FALSE(Exists("b/sub/loop"));
  EXPECT_FALSE(Exists("a/up"));
  Expect({"a/", "b", "Sync", "/r"}, "");

  ASSERT_EQ(unlink(Abs("a/sub/loop").c_str()), 0);
  Link(".", "a/sub/self");
  Expect({"a/", "b", "List1", "All1", "/r"},
         Lines({In("a/*.*"), Row({"f.txt", "h.txt"}), In("a/sub/*.*"), Row({"g.txt"})}));
}

TEST_F(Recursion, LinkToASiblingIsWalkedAsADirectoryOfItsOwn) {
  File("a/sub/g.txt", "g");
  Link("sub", "a/alias");
  Dir("b");
  Expect({"a/", "b", "List1", "All1", "/r"},
         Lines({In("a/alias/*.*"), Row({"g.txt"}), In("a/sub/*.*"), Row({"g.txt"})}));
}

TEST_F(Recursion, BackupInsideTheSourceIsNeverCopiedIntoItself) {
  File("data/f.txt", "f");
  File("data/sub/g.txt", "g");
  File("data/backup/old.txt", "old");
  Expect({"data/", "data/backup", "Update2", "/r"},
         Lines({"Copying data/f.txt to data/backup/f.txt",
                "Copying data/sub/g.txt to data/backup/sub/g.txt",
                "Creating target directory data/backup/sub",
                "Trying to create directory data/backup/sub"}));
  EXPECT_EQ(Tree("data"), Lines({"backup/", "backup/f.txt 1", "backup/old.txt 3",
                                 "backup/sub/", "backup/sub/g.txt 1", "f.txt 1", "sub/",
                                 "sub/g.txt 1"}));
  Expect({"data/", "data/backup", "Update2", "/r"}, "");
  Expect({"data/", "data/backup", "Sync", "/r"},
         Lines({"Copying data/backup/old.txt to data/old.txt"}));
  EXPECT_FALSE(Exists("data/backup/backup"));
}

TEST_F(Recursion, SourceInsideTheTargetIsNeverCopiedIntoItself) {
  File("data/f.txt", "f");
  File("data/sub/g.txt", "g");
  File("data/backup/old.txt", "old");
  Expect({"data/backup/", "data", "Update1", "/r"},
         Lines({"Copying data/f.txt to data/backup/f.txt",
                "Copying data/sub/g.txt to data/backup/sub/g.txt",
                "Creating target directory data/backup/sub",
                "Trying to create directory data/backup/sub"}));
  EXPECT_EQ(Tree("data"), Lines({"backup/", "backup/f.txt 1", "backup/old.txt 3",
                                 "backup/sub/", "backup/sub/g.txt 1", "f.txt 1", "sub/",
                                 "sub/g.txt 1"}));
  Expect({"data/backup/", "data", "Update1", "/r"}, "");
}

TEST_F(Recursion, OneDirectoryNamedTwoWaysIsRefused) {
  File("a/f.txt", "f");
  File("a/sub/g.txt", "g");
  Link("a", "alias");
  const std::string refused = Abort("Vorn must operate on two different directories.");
  Expect({"a/", "alias", "List1", "All1"}, refused, 1);
  Expect({"alias/", "a/", "Update2", "/r"}, refused, 1);
  Expect({"a/sub/", "alias/sub", "Sync", "/r"}, refused, 1);
  Expect({"a/", Abs("a"), "Del2", "All2", "/r"}, refused, 1);
  EXPECT_EQ(Tree("a"), Lines({"f.txt 1", "sub/", "sub/g.txt 1"}));
}

// ---------------------------------------------------------------------------
// Robustness

// A directory that cannot be read is reported and left alone, with all below
// it, and the run's status says it is incomplete.
TEST_F(Recursion, UnreadableSubdirectoryIsReportedAndLeftAlone) {
  File("a/f.txt", "f");
  File("a/locked/x.txt", "x");
  File("a/locked/inner/y.txt", "y");
  File("a/open/z.txt", "z");
  Dir("b");
  ASSERT_EQ(chmod(Abs("a/locked").c_str(), 0), 0);
  RunResult result;
  if (!RunWithoutReadOverride({"a/", "b", "List1", "All1", "/r"}, result))
    GTEST_SKIP() << "cannot make a directory unreadable here";
  EXPECT_EQ(result.Out,
            Lines({In("a/*.*"), Row({"f.txt"}), "WARNING: Could not read directory a/locked/",
                   In("a/open/*.*"), Row({"z.txt"})}));
  EXPECT_EQ(result.Err, "");
  EXPECT_EQ(result.Status, 2);

  ASSERT_TRUE(RunWithoutReadOverride({"a/", "b", "Del1", "All1", "/r"}, result));
  EXPECT_EQ(result.Out, Lines({"Deleting a/f.txt", "WARNING: Could not read directory a/locked/",
                               "Deleting a/open/z.txt", "Deleting directory a/open"}));
  EXPECT_EQ(result.Err, "");
  EXPECT_EQ(result.Status, 2);
  ASSERT_EQ(chmod(Abs("a/locked").c_str(), 0755), 0);
  EXPECT_EQ(Tree("a"), Lines({"locked/", "locked/inner/", "locked/inner/y.txt 1",
                              "locked/x.txt 1"}));
}

// Sixty levels of 100-character names reach far past the longest path the
// system resolves. Every level whose path it does resolve is listed, once and
// in order; the levels beyond are directories that cannot be read, so they
// are passed over without a message.
class DeepTree : public Recursion {
 protected:
  static constexpr int kLevels = 60;
  const std::string Name = std::string(100, 'n');

  void SetUp() override {
    Recursion::SetUp();
    File("a/f0", "0");
    Dir("b");
    int fd = open(Abs("a").c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 1; level <= kLevels && fd >= 0; ++level) {
      ASSERT_EQ(mkdirat(fd, Name.c_str(), 0755), 0);
      int next = openat(fd, Name.c_str(), O_RDONLY | O_DIRECTORY);
      close(fd);
      fd = next;
      const std::string file = "f" + std::to_string(level);
      int out = openat(fd, file.c_str(), O_WRONLY | O_CREAT, 0644);
      ASSERT_EQ(write(out, file.data(), file.size()), static_cast<ssize_t>(file.size()));
      close(out);
    }
    close(fd);
  }
  void TearDown() override {
    int root = open(Root.c_str(), O_RDONLY | O_DIRECTORY);
    RemoveBelow(root, "a");
    RemoveBelow(root, "b");
    close(root);
    Recursion::TearDown();
  }
  std::string LevelDir(const std::string& top, int level) const {
    std::string path = top + "/";
    for (int i = 0; i < level; ++i) path += Name + "/";
    return path;
  }
};

TEST_F(DeepTree, ListsEveryLevelTheSystemCanReachAndReportsTheRest) {
  RunResult result = Run({"a/", "b", "List1", "All1", "/r"});
  EXPECT_EQ(result.Err, "");
  EXPECT_EQ(result.Status, 2);
  const int listed = static_cast<int>(HeadingCounts(result.Out).size());
  std::string expected;
  for (int level = 0; level < listed; ++level)
    expected += Lines({In(LevelDir("a", level) + "*.*"), Row({"f" + std::to_string(level)})});
  // The first level out of reach is reported, on both sides, and nothing below it.
  expected += Lines({"WARNING: Could not read directory " + LevelDir("a", listed),
                     "WARNING: Could not read directory " + LevelDir("b", listed)});
  EXPECT_TRUE(result.Out == expected) << "output differs from the expected listing";
  int reachable = 0;
  while (reachable < kLevels && LevelDir("a", reachable + 1).size() < PATH_MAX) ++reachable;
  EXPECT_GT(listed, reachable) << "a level within the path limit was not listed";
}

TEST_F(DeepTree, MirroringStopsWhereTheSystemCannotReachAndSaysSo) {
  RunResult result = Run({"a/", "b", "Update2", "/r", "/q"});
  EXPECT_EQ(result.Err, "");
  EXPECT_EQ(result.Status, 2);
  for (const std::string& line : SplitLines(result.Out))
    EXPECT_TRUE(line.rfind("Creating target directory b/", 0) == 0 ||
                line.rfind("Trying to create directory b/", 0) == 0 ||
                line.rfind("WARNING: Could not read directory ", 0) == 0)
        << line.substr(0, 80);
  EXPECT_EQ(Read("b/f0"), "0");
  EXPECT_EQ(Read("b/" + Name + "/" + Name + "/f2"), "f2");
}
