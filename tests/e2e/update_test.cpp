// The composite actions: Update1, Update2 and the synchronising words make
// their own selection of missing and newer files and copy them.
#include <algorithm>
#include <string>
#include <vector>

#include "scenario.h"

namespace {

const char* const kOld = "2020-02-02 02:02:02";
const char* const kMid = "2022-02-02 02:02:02";
const char* const kNew = "2024-04-04 04:04:04";

}  // namespace

class Updates : public Scenario {
 protected:
  // One pair at/a and at/b: a file only each side has, one newer on each
  // side, one alike on both, and an empty file only b has.
  void Layout(const std::string& at) {
    File(at + "/a/newer1.txt", "a newer", kNew);
    File(at + "/a/older1.txt", "a old", kOld);
    File(at + "/a/only1.txt", "a only", kMid);
    File(at + "/a/same.txt", "same", kMid);
    File(at + "/b/empty2.txt", "", kNew);
    File(at + "/b/newer1.txt", "b older", kOld);
    File(at + "/b/older1.txt", "b new", kNew);
    File(at + "/b/only2.txt", "b only", kOld);
    File(at + "/b/same.txt", "same", kMid);
  }

  std::string Copied(const std::string& at, const std::string& from, const std::string& to,
                     const std::string& name) {
    return Lines({"Copying " + at + "/" + from + "/" + name + " to " + at + "/" + to + "/" + name});
  }

  // What list 2 brings into directory 1, and what list 1 brings into 2.
  std::string IntoOne(const std::string& at) {
    return Copied(at, "b", "a", "older1.txt") + Copied(at, "b", "a", "only2.txt");
  }
  std::string IntoTwo(const std::string& at) {
    return Copied(at, "a", "b", "newer1.txt") + Copied(at, "a", "b", "only1.txt");
  }

  void ExpectDirectoryOneUpdated(const std::string& at) {
    EXPECT_EQ(Tree(at + "/a"),
              Lines({"newer1.txt 7", "older1.txt 5", "only1.txt 6", "only2.txt 6", "same.txt 4"}));
    EXPECT_EQ(Read(at + "/a/older1.txt"), "b new");
    EXPECT_EQ(TimeOf(at + "/a/older1.txt"), kNew);
    EXPECT_EQ(TimeOf(at + "/a/only2.txt"), kOld);
  }
  void ExpectDirectoryTwoUpdated(const std::string& at) {
    EXPECT_EQ(Tree(at + "/b"), Lines({"empty2.txt 0", "newer1.txt 7", "older1.txt 5",
                                      "only1.txt 6", "only2.txt 6", "same.txt 4"}));
    EXPECT_EQ(Read(at + "/b/newer1.txt"), "a newer");
    EXPECT_EQ(TimeOf(at + "/b/newer1.txt"), kNew);
    EXPECT_EQ(TimeOf(at + "/b/only1.txt"), kMid);
  }
  // The side's older file is the one a copy in the wrong direction replaces.
  void ExpectUntouched(const std::string& at, const std::string& side) {
    if (side == "a") {
      EXPECT_EQ(Tree(at + "/a"),
                Lines({"newer1.txt 7", "older1.txt 5", "only1.txt 6", "same.txt 4"}));
      EXPECT_EQ(Read(at + "/a/older1.txt"), "a old");
    } else {
      EXPECT_EQ(Tree(at + "/b"), Lines({"empty2.txt 0", "newer1.txt 7", "older1.txt 5",
                                        "only2.txt 6", "same.txt 4"}));
      EXPECT_EQ(Read(at + "/b/newer1.txt"), "b older");
    }
  }
};

TEST_F(Updates, Update1BringsWhatIsOnlyOrNewerInDirectoryTwo) {
  for (const std::string word : {"Update1", "Up1", "up1", "UPDATE1"}) {
    SCOPED_TRACE(word);
    Layout(word);
    Expect({word + "/a/", word + "/b", word}, IntoOne(word));
    ExpectDirectoryOneUpdated(word);
    ExpectUntouched(word, "b");
  }
}

TEST_F(Updates, Update2BringsWhatIsOnlyOrNewerInDirectoryOne) {
  for (const std::string word : {"Update2", "Up2", "UP2", "update2"}) {
    SCOPED_TRACE(word);
    Layout(word);
    Expect({word + "/a/", word + "/b", word}, IntoTwo(word));
    ExpectDirectoryTwoUpdated(word);
    ExpectUntouched(word, "a");
  }
}

TEST_F(Updates, SynchronisingWordsCopyBothWaysSideOneFirst) {
  for (const std::string word :
       {"Synchronize", "Synch", "Sync", "Syn", "UpdateB", "sync", "SYNCHRONIZE", "updateb"}) {
    SCOPED_TRACE(word);
    Layout(word);
    Expect({word + "/a/", word + "/b", word}, IntoTwo(word) + IntoOne(word));
    ExpectDirectoryOneUpdated(word);
    ExpectDirectoryTwoUpdated(word);
  }
}

TEST_F(Updates, GivenFileMarkersDoNotChangeTheSelection) {
  Layout("o");
  Expect({"o/a/", "o/b", "Update1", "Older1"}, IntoOne("o"));
  ExpectDirectoryOneUpdated("o");
  Layout("all");
  Expect({"all/a/", "all/b", "Up1", "All2", "Older2", "Nonmatches"}, IntoOne("all"));
  ExpectDirectoryOneUpdated("all");
  ExpectUntouched("all", "b");
  Layout("two");
  Expect({"two/a/", "two/b", "Update2", "All1", "Only2"}, IntoTwo("two"));
  ExpectUntouched("two", "a");
  Layout("sync");
  Expect({"sync/a/", "sync/b", "Sync", "AllB", "SameLength"}, IntoTwo("sync") + IntoOne("sync"));
  ExpectDirectoryOneUpdated("sync");
  ExpectDirectoryTwoUpdated("sync");
  // The FileMarkers are still checked before anything is copied.
  Layout("bad");
  Expect({"bad/a/", "bad/b", "Sync", "Frob1"},
         Lines({"Program halted by RunAbort, with following error message:",
                "  Unrecognized FileMarker: Frob"}),
         1);
  ExpectUntouched("bad", "a");
  ExpectUntouched("bad", "b");
}

TEST_F(Updates, ASecondRunCopiesNothing) {
  Layout("p");
  Expect({"p/a/", "p/b", "Sync"}, IntoTwo("p") + IntoOne("p"));
  for (const std::string word : {"Sync", "Update1", "Update2", "UpdateB"}) {
    SCOPED_TRACE(word);
    Expect({"p/a/", "p/b", word}, "");
  }
  ExpectDirectoryOneUpdated("p");
  ExpectDirectoryTwoUpdated("p");
}

TEST_F(Updates, NamesTheShellWouldInterpretAreCopiedAndMovedWhole) {
  const std::vector<std::string> names = {
      "-dash",   "n1 two  blanks", "n2\"quoted\"", "n3 it's", "n4$HOME",
      "n5;ls",   "n6 a&b|c>d<e",   "n7`id`",      "n8\" \"n8", "n9\nline"};
  std::string copies, moves;
  std::vector<std::string> tree;
  for (const std::string& name : names) {
    const std::string content = "content of " + name;
    File("b/" + name, content, kOld);
    copies += Lines({"Copying b/" + name + " to a/" + name});
    moves += Lines({"Moving a/" + name + " to c/" + name});
    tree.push_back(name + " " + std::to_string(content.size()));
  }
  std::sort(tree.begin(), tree.end());
  Dir("a");
  Dir("c");
  Expect({"a/", "b", "Update1"}, copies);
  Expect({"a/", "c", "Move1", "All1"}, moves);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Read("c/" + name), "content of " + name);
    EXPECT_EQ(TimeOf("c/" + name), kOld);
  }
  EXPECT_EQ(Tree("a"), "");
  EXPECT_EQ(Tree("b"), Lines(tree));
  EXPECT_EQ(Tree("c"), Lines(tree));
}

TEST_F(Updates, AQuoteBlankQuoteInADirectoryNameIsPartOfThePath) {
  // The name x before the quotes equals the file's name, so the command line
  // reads the same when split right after d/x.
  File("d/x\" \"b/x", "copied", kOld);
  File("e/x\" \"b/x", "moved", kNew);
  Dir("c");
  Dir("m");
  Expect({"d/x\" \"b/", "c", "Update2"}, Lines({"Copying d/x\" \"b/x to c/x"}));
  Expect({"e/x\" \"b/", "m", "Move1", "All1"}, Lines({"Moving e/x\" \"b/x to m/x"}));
  EXPECT_EQ(Read("c/x"), "copied");
  EXPECT_EQ(TimeOf("c/x"), kOld);
  EXPECT_EQ(Read("m/x"), "moved");
  EXPECT_EQ(TimeOf("m/x"), kNew);
  EXPECT_EQ(Tree("c"), Lines({"x 6"}));
  EXPECT_EQ(Tree("d"), Lines({"x\" \"b/", "x\" \"b/x 6"}));
  EXPECT_EQ(Tree("e"), Lines({"x\" \"b/"}));
}
