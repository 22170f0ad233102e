#include "scenario.h"

namespace {

// The List output of one list whose marked names fit on one line; nothing
// when no name is marked.
}  // namespace

class Markers : public Scenario {
 protected:
  // Two lists of one day: a.txt pairs with A.TXT (equal size, 2 seconds
  // apart), b.txt with b.txt (list 1's newer and shorter), c.txt and d.txt
  // stand alone.
  void WorkedExample() {
    FileOfSize("a/a.txt", 100, "2024-03-05 10:00:00");
    FileOfSize("a/b.txt", 50, "2024-03-05 10:00:00");
    FileOfSize("a/c.txt", 10, "2024-03-05 10:00:00");
    FileOfSize("b/A.TXT", 100, "2024-03-05 10:00:02");
    FileOfSize("b/b.txt", 60, "2024-03-05 09:00:00");
    FileOfSize("b/d.txt", 5, "2024-03-05 10:00:00");
  }

  // Lists both sides of the pair a/, b under the given FileMarkers.
  void ExpectListB(const std::vector<std::string>& markers, const std::vector<std::string>& one,
                   const std::vector<std::string>& two) {
    std::vector<std::string> arguments = {"a/", "b", "ListB"};
    arguments.insert(arguments.end(), markers.begin(), markers.end());
    Expect(arguments, Listed("a/*.*", one) + Listed("b/*.*", two));
  }

  // One file of the same name and size on each side, with the given times.
  void PairAt(const std::string& time1, const std::string& time2) {
    File("a/f.txt", "same", time1);
    File("b/f.txt", "same", time2);
  }
};

TEST_F(Markers, WorkedExampleSidedMarkers) {
  WorkedExample();
  ExpectListB({"Only1"}, {"c.txt"}, {});
  ExpectListB({"Only2"}, {}, {"d.txt"});
  ExpectListB({"OnlyB"}, {"c.txt"}, {"d.txt"});
  ExpectListB({"Newer1"}, {"b.txt"}, {});
  ExpectListB({"Older2"}, {}, {"b.txt"});
  ExpectListB({"Shorter1"}, {"b.txt"}, {});
  ExpectListB({"Smaller1"}, {"b.txt"}, {});
  ExpectListB({"Longer2"}, {}, {"b.txt"});
  ExpectListB({"Larger2"}, {}, {"b.txt"});
}

TEST_F(Markers, WorkedExampleSidedMarkersThatSelectNothing) {
  WorkedExample();
  // a.txt and A.TXT are 2 seconds apart, equal; list 1's b.txt is newer and shorter.
  ExpectListB({"Older1"}, {}, {});
  ExpectListB({"Newer2"}, {}, {});
  ExpectListB({"Longer1"}, {}, {});
  ExpectListB({"Shorter2"}, {}, {});
}

TEST_F(Markers, WorkedExamplePairMarkers) {
  WorkedExample();
  ExpectListB({"Matches"}, {"a.txt"}, {"A.TXT"});
  ExpectListB({"Match"}, {"a.txt"}, {"A.TXT"});
  ExpectListB({"Mismatches"}, {"b.txt"}, {"b.txt"});
  ExpectListB({"Mismatch"}, {"b.txt"}, {"b.txt"});
  ExpectListB({"Nonmatches"}, {"b.txt", "c.txt"}, {"b.txt", "d.txt"});
  ExpectListB({"Nonmatch"}, {"b.txt", "c.txt"}, {"b.txt", "d.txt"});
  ExpectListB({"SameLength"}, {"a.txt"}, {"A.TXT"});
  ExpectListB({"SameLen"}, {"a.txt"}, {"A.TXT"});
  ExpectListB({"DifferentLength"}, {"b.txt"}, {"b.txt"});
  ExpectListB({"DifLen"}, {"b.txt"}, {"b.txt"});
}

TEST_F(Markers, WorkedExampleListsTheNamedSideOnly) {
  WorkedExample();
  Expect({"a/", "b", "List1", "Nonmatches"}, Listed("a/*.*", {"b.txt", "c.txt"}));
  Expect({"a/", "b", "List2", "Nonmatches"}, Listed("b/*.*", {"b.txt", "d.txt"}));
  Expect({"a/", "b", "List2", "Only1"}, "");
  Expect({"a/", "b", "List1", "Matches"}, Listed("a/*.*", {"a.txt"}));
}

TEST_F(Markers, MarkersCombineAsAUnionInListOrder) {
  WorkedExample();
  ExpectListB({"Only1", "Newer1"}, {"b.txt", "c.txt"}, {});
  ExpectListB({"Newer1", "Only1"}, {"b.txt", "c.txt"}, {});
  ExpectListB({"Only2", "Matches"}, {"a.txt"}, {"A.TXT", "d.txt"});
  ExpectListB({"Only1", "Only1", "OnlyB"}, {"c.txt"}, {"d.txt"});
  ExpectListB({"Matches", "Mismatches", "OnlyB"}, {"a.txt", "b.txt", "c.txt"},
              {"A.TXT", "b.txt", "d.txt"});
  // A FileMarker that selects nothing leaves earlier marks alone.
  ExpectListB({"Only1", "Older1"}, {"c.txt"}, {});
}

TEST_F(Markers, TimesTwoSecondsApartAreEqual) {
  PairAt("2024-03-05 10:00:00", "2024-03-05 10:00:02");
  ExpectListB({"Matches"}, {"f.txt"}, {"f.txt"});
  ExpectListB({"Mismatches", "Nonmatches", "OlderB", "NewerB"}, {}, {});
}

TEST_F(Markers, TimesFourSecondsApartDiffer) {
  PairAt("2024-03-05 10:00:00", "2024-03-05 10:00:04");
  ExpectListB({"Matches"}, {}, {});
  ExpectListB({"Mismatches"}, {"f.txt"}, {"f.txt"});
  ExpectListB({"Nonmatches"}, {"f.txt"}, {"f.txt"});
  ExpectListB({"Older1"}, {"f.txt"}, {});
  ExpectListB({"Newer2"}, {}, {"f.txt"});
  ExpectListB({"Newer1", "Older2"}, {}, {});
}

TEST_F(Markers, TimesAreComparedAtTwoSecondResolution) {
  // 10:00:01 is held as 10:00:00, so it stands 4 seconds before 10:00:04.
  PairAt("2024-03-05 10:00:01", "2024-03-05 10:00:04");
  ExpectListB({"Older1"}, {"f.txt"}, {});
  SetTime("a/f.txt", "2024-03-05 10:00:03");
  ExpectListB({"Matches"}, {"f.txt"}, {"f.txt"});
}

TEST_F(Markers, TimesOnDifferentDaysAreNeverEqual) {
  PairAt("2024-03-05 23:59:58", "2024-03-06 00:00:00");
  ExpectListB({"Matches"}, {}, {});
  ExpectListB({"Older1", "Newer2"}, {"f.txt"}, {"f.txt"});
  // The later year decides on its own.
  SetTime("a/f.txt", "2001-01-01 00:00:00");
  SetTime("b/f.txt", "2000-12-31 23:59:58");
  ExpectListB({"Newer1", "Older2"}, {"f.txt"}, {"f.txt"});
  // The month decides before the day.
  SetTime("a/f.txt", "2024-02-28 10:00:00");
  SetTime("b/f.txt", "2024-01-30 10:00:00");
  ExpectListB({"NewerB"}, {"f.txt"}, {});
}

TEST_F(Markers, SizeMarkers) {
  File("a/empty.txt", "");
  File("a/full.txt", "abc");
  File("b/empty.txt", "x");
  File("b/nil.txt", "");
  ExpectListB({"Size01"}, {"empty.txt"}, {});
  ExpectListB({"NotSize01"}, {"full.txt"}, {});
  ExpectListB({"Size0B"}, {"empty.txt"}, {"nil.txt"});
  ExpectListB({"NotSize02"}, {}, {"empty.txt"});
  ExpectListB({"Longer2", "Shorter1"}, {"empty.txt"}, {"empty.txt"});
  ExpectListB({"LargerB"}, {}, {"empty.txt"});
}

TEST_F(Markers, EightDotThreeMarkers) {
  for (const char* name :
       {"README", "ABCDEFGH.TXT", "ABCDEFGHI.TXT", "page.html", "a.b.c", "my file.txt"})
    File(std::string("a/") + name, "x");
  File("b/longer name.text", "x");
  ExpectListB({"EightDot31"}, {"ABCDEFGH.TXT", "my file.txt", "README"}, {});
  ExpectListB({"NotEightDot31"}, {"a.b.c", "ABCDEFGHI.TXT", "page.html"}, {});
  ExpectListB({"NotEightDot3B"}, {"a.b.c", "ABCDEFGHI.TXT", "page.html"}, {"longer name.text"});
  ExpectListB({"EightDot32"}, {}, {});
}

TEST_F(Markers, AllMarksEveryEntryOfTheNamedSide) {
  File("a/x.txt", "x");
  File("b/y.txt", "y");
  ExpectListB({"All1"}, {"x.txt"}, {});
  ExpectListB({"All2"}, {}, {"y.txt"});
  ExpectListB({"AllB"}, {"x.txt"}, {"y.txt"});
  ExpectListB({"allb"}, {"x.txt"}, {"y.txt"});
}

TEST_F(Markers, OnlyAgainstAnEmptyOrMissingSecondDirectory) {
  File("a/x.txt", "x", "2024-03-05 10:00:00");
  File("a/y.txt", "y", "2024-03-05 10:00:00");
  Dir("b");
  ExpectListB({"Only1"}, {"x.txt", "y.txt"}, {});
  ExpectListB({"Older1", "Newer1", "Mismatches", "Longer1"}, {}, {});
  // dst/a does not exist: list 2 holds nothing.
  Dir("dst");
  Expect({"a", "dst", "ListB", "Only1"}, Listed("a/*.*", {"x.txt", "y.txt"}));
}

TEST_F(Markers, KeywordsAndNamesPairWithoutRegardToCase) {
  File("a/Readme.txt", "r", "2024-03-05 10:00:00");
  File("a/x.txt", "x", "2024-03-05 09:00:00");
  File("a/y.txt", "y", "2024-03-05 11:00:00");
  File("b/README.TXT", "r", "2024-03-05 10:00:00");
  File("b/x.txt", "x", "2024-03-05 10:00:00");
  File("b/y.txt", "y", "2024-03-05 10:00:00");
  ExpectListB({"OnlyB"}, {}, {});
  ExpectListB({"matches"}, {"Readme.txt"}, {"README.TXT"});
  for (const char* older : {"OlderB", "olderb", "OLDERB"})
    ExpectListB({older}, {"x.txt"}, {"y.txt"});
  ExpectListB({"older1"}, {"x.txt"}, {});
  ExpectListB({"OLDER2"}, {}, {"y.txt"});
}

TEST_F(Markers, UnusableFileMarkersStopTheRun) {
  WorkedExample();
  Expect({"a/", "b", "ListB", "Matches1"}, Abort("Unrecognized FileMarker: Matches"), 1);
  Expect({"a/", "b", "ListB", "All"}, Abort("FileMarker All does not end in 1, 2, or B."), 1);
  Expect({"a/", "b", "ListB", "Only3"}, Abort("FileMarker Only3 does not end in 1, 2, or B."), 1);
  Expect({"a/", "b", "ListB", "1"}, Abort("Unrecognized FileMarker: "), 1);
  Expect({"a/", "b", "ListB", ""}, Abort("FileMarker  does not end in 1, 2, or B."), 1);
  Expect({"a/", "b", "ListB", "Onlyx"}, Abort("FileMarker Onlyx does not end in 1, 2, or B."), 1);
}

TEST_F(Markers, AnUnusableFileMarkerStopsTheRunBeforeAnythingIsListed) {
  WorkedExample();
  Expect({"a/", "b", "ListB", "Only1", "Bogus2", "Only2"}, Abort("Unrecognized FileMarker: Bogus"),
         1);
}
