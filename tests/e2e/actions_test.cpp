#include "scenario.h"

class Actions : public Scenario {
 protected:
  // x.txt on both sides, only.txt on side 1 alone.
  void SetUp() override {
    Scenario::SetUp();
    File("a/x.txt", "x");
    File("a/only.txt", "only");
    File("b/x.txt", "x");
  }

  // The action fails with the message and leaves both directories as they were.
  void ExpectRefused(const std::string& action, const std::string& message) {
    const std::string before = Tree("a") + Tree("b");
    Expect({"a/", "b", action, "AllB"}, Abort(message), 1);
    EXPECT_EQ(Tree("a") + Tree("b"), before) << action;
  }
};

TEST_F(Actions, WordWithoutSideSuffixIsRefused) {
  ExpectRefused("List", "Action List does not end in 1, 2, or B.");
  ExpectRefused("Update", "Action Update does not end in 1, 2, or B.");
  ExpectRefused("Copy", "Action Copy does not end in 1, 2, or B.");
  ExpectRefused("CopyX", "Action CopyX does not end in 1, 2, or B.");
  ExpectRefused("Copy3", "Action Copy3 does not end in 1, 2, or B.");
  ExpectRefused("CopyFrom", "Action CopyFrom does not end in 1, 2, or B.");
  ExpectRefused("Move", "Action Move does not end in 1, 2, or B.");
  ExpectRefused("Del", "Action Del does not end in 1, 2, or B.");
  ExpectRefused("Delete", "Action Delete does not end in 1, 2, or B.");
}

TEST_F(Actions, EmptyWordIsRefused) { ExpectRefused("", "Action  does not end in 1, 2, or B."); }

TEST_F(Actions, UnknownVerbIsNamedWithoutItsSuffix) {
  ExpectRefused("Frob1", "Unrecognized action: Frob");
  ExpectRefused("Frob2", "Unrecognized action: Frob");
  // A final b is the suffix for both sides.
  ExpectRefused("Frob", "Unrecognized action: Fro");
  ExpectRefused("CopyTo1", "Unrecognized action: CopyTo");
  ExpectRefused("Lis1", "Unrecognized action: Lis");
  ExpectRefused("1", "Unrecognized action: ");
}

TEST_F(Actions, FileMarkersAreCheckedBeforeTheAction) {
  Expect({"a/", "b", "Frob1", "Bogus1"}, Abort("Unrecognized FileMarker: Bogus"), 1);
  Expect({"a/", "b", "Update1", "Bogus1"}, Abort("Unrecognized FileMarker: Bogus"), 1);
}

TEST_F(Actions, CompositeActionsStillRunTheFileMarkersGiven) {
  // The comparison is made and reported although its marks are then cleared.
  Expect({"a/", "b", "Update1", "ByteMatches"}, "Comparing file a/x.txt with b/x.txt\n");
}

TEST_F(Actions, ListWordsIgnoreCase) {
  const std::string listing =
      Lines({"**************** In directory a/*.*:", "only.txt" + std::string(12, ' '),
             "**************** In directory b/*.*:", "x.txt" + std::string(15, ' ')});
  for (const char* action : {"ListB", "listb", "LISTB", "Listb"})
    Expect({"a/", "b", action, "Only1", "All2"}, listing);
  Expect({"a/", "b", "LIST1", "Only1"},
         Lines({"**************** In directory a/*.*:", "only.txt" + std::string(12, ' ')}));
}

TEST_F(Actions, ListWithoutFileMarkersPrintsNothing) {
  Expect({"a/", "b", "ListB"}, "");
  Expect({"a/", "b", "List1", "/q", "/nc"}, "");
}

TEST_F(Actions, CompositeActionsWithNothingToCopyPrintNothing) {
  // Side 1 holds the only and the newer files, so nothing comes from side 2.
  File("a/x.txt", "x", "2024-01-01 12:00:00");
  const std::string before = Tree("a") + Tree("b");
  for (const char* action : {"Update1", "Up1", "update1", "UP1"}) {
    Expect({"a/", "b", action}, "");
    // Command-line FileMarkers are cleared before the composite makes its own choice.
    Expect({"a/", "b", action, "AllB"}, "");
  }
  EXPECT_EQ(Tree("a") + Tree("b"), before);
}

TEST_F(Actions, EveryCompositeWordIsQuietOnIdenticalDirectories) {
  File("b/only.txt", "only");
  const std::string before = Tree("a") + Tree("b");
  for (const char* action : {"Update1", "Up1", "Update2", "Up2", "UpdateB", "Synchronize", "Synch",
                             "Sync", "Syn", "sync", "SYNCHRONIZE", "up2"})
    Expect({"a/", "b", action}, "");
  EXPECT_EQ(Tree("a") + Tree("b"), before);
}
