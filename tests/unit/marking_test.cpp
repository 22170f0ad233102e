#include <gtest/gtest.h>

#include "lists/file_list.h"
#include "lists/file_markers.h"
#include "lists/handling.h"

namespace {

// Two in-memory lists of one directory pair, all files dated the same day
// unless a test says otherwise.
class Marking : public ::testing::Test {
 protected:
  void SetUp() override {
    Handling = FileHandling{};
    One.MyPath = "one/";
    Two.MyPath = "two/";
  }
  void TearDown() override { Handling = FileHandling{}; }

  static void Add(FileList& list, const char* name, int64_t size, int hour = 10,
                  int minute = 0, int second = 0, int day = 6) {
    list.Entries.push_back(FileInf{.Name = name, .Size = size, .Second = second,
                                   .Minute = minute, .Hour = hour, .Day = day,
                                   .Month = 5, .Year = 2020});
  }

  static std::string MarkedIn(const FileList& list) {
    std::string names;
    for (const FileInf& entry : list.Entries)
      if (entry.Marked) names += (names.empty() ? "" : " ") + entry.Name;
    return names;
  }

  // The selection of the FileMarkers alone, as "list 1 names | list 2 names".
  std::string Select(std::initializer_list<const char*> markers) {
    One.SetAllMarks(false);
    Two.SetAllMarks(false);
    for (const char* marker : markers) ApplyFileMarker(marker, One, Two);
    return MarkedIn(One) + " | " + MarkedIn(Two);
  }

  void WorkedExample() {
    Add(One, "a.txt", 100, 10, 0, 0);
    Add(One, "b.txt", 50, 10, 0, 0);
    Add(One, "c.txt", 10);
    Add(Two, "A.TXT", 100, 10, 0, 2);
    Add(Two, "b.txt", 60, 9, 0, 0);
    Add(Two, "d.txt", 5);
  }

  FileList One{4};
  FileList Two{4};
};

using MarkingDeathTest = Marking;

}  // namespace

TEST_F(Marking, WorkedExample) {
  WorkedExample();
  EXPECT_EQ(Select({"Only1"}), "c.txt | ");
  EXPECT_EQ(Select({"Only2"}), " | d.txt");
  EXPECT_EQ(Select({"OnlyB"}), "c.txt | d.txt");
  EXPECT_EQ(Select({"Newer1"}), "b.txt | ");
  EXPECT_EQ(Select({"Older2"}), " | b.txt");
  EXPECT_EQ(Select({"Older1", "Newer2"}), " | ");
  EXPECT_EQ(Select({"Shorter1"}), "b.txt | ");
  EXPECT_EQ(Select({"Larger2"}), " | b.txt");
  EXPECT_EQ(Select({"Matches"}), "a.txt | A.TXT");
  EXPECT_EQ(Select({"Mismatches"}), "b.txt | b.txt");
  EXPECT_EQ(Select({"Nonmatches"}), "b.txt c.txt | b.txt d.txt");
  EXPECT_EQ(Select({"SameLength"}), "a.txt | A.TXT");
  EXPECT_EQ(Select({"DifLen"}), "b.txt | b.txt");
  EXPECT_EQ(Select({"olderb", "SMALLER1"}), "b.txt | b.txt");
  EXPECT_EQ(One.Entries[0].Partner, 0);
  EXPECT_EQ(One.Entries[1].Partner, 1);
  EXPECT_EQ(One.Entries[2].Partner, -1);
  EXPECT_EQ(Two.Entries[2].Partner, -1);
}

TEST_F(Marking, SelectionsOnlyEverAddUp) {
  WorkedExample();
  EXPECT_EQ(Select({"Only1", "Newer1", "Only1", "Matches"}), "a.txt b.txt c.txt | A.TXT");
  EXPECT_EQ(Select({"Nonmatches", "Matches"}), "a.txt b.txt c.txt | A.TXT b.txt d.txt");
  EXPECT_EQ(Select({"All2", "Only1"}), "c.txt | A.TXT b.txt d.txt");
  EXPECT_EQ(Select({"allb"}), "a.txt b.txt c.txt | A.TXT b.txt d.txt");
}

TEST_F(Marking, TwoSecondsApartMatchFourSecondsApartDoNot) {
  Add(One, "x", 10, 10, 0, 0);
  Add(Two, "x", 10, 10, 0, 2);
  EXPECT_EQ(Select({"Matches"}), "x | x");
  EXPECT_EQ(Select({"Mismatches", "Nonmatches", "Older1", "Newer1", "OlderB"}), " | ");

  Two.Entries[0].Second = 4;
  EXPECT_EQ(Select({"Matches"}), " | ");
  EXPECT_EQ(Select({"Mismatches"}), "x | x");
  EXPECT_EQ(Select({"Older1"}), "x | ");
  EXPECT_EQ(Select({"Newer2"}), " | x");
}

TEST_F(Marking, EmptyOtherList) {
  Add(One, "a", 1);
  Add(One, "b", 2);
  EXPECT_EQ(Select({"Only1"}), "a b | ");
  EXPECT_EQ(Select({"Older1", "Newer1", "Longer1", "Matches", "Mismatches"}), " | ");
  EXPECT_EQ(Select({"Nonmatches"}), "a b | ");
  EXPECT_EQ(Select({"Only2", "All2", "Size02"}), " | ");
}

// Cheaper tests gate the content comparison: none of these pairs reaches
// the files (which do not exist), so nothing is reported.
TEST_F(Marking, ContentRulesReadNothingWhenCheaperTestsDecide) {
  Add(One, "sizes", 10);
  Add(Two, "sizes", 12);
  Add(One, "near", 10);
  Add(Two, "near", 11);
  Add(One, "dates", 10, 10);
  Add(Two, "dates", 11, 11);
  ::testing::internal::CaptureStdout();
  std::string byteRules = Select({"ByteMatches", "ByteMismatches"});
  std::string exactMismatches = Select({"ExactMismatches"});
  // One byte apart passes the Ctrl-Z size gate, but these rules demand
  // exactly equal sizes.
  Handling.AcceptCtrlZ = true;
  std::string exactRules = Select({"ExactMatches", "DateMismatches"});
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(byteRules, " | ");
  EXPECT_EQ(exactMismatches, "sizes near dates | sizes near dates");
  EXPECT_EQ(exactRules, " | ");
}

// A name pairs with its very own spelling first, else with the first name
// of the other list equal but for letter case; only a pair of one spelling
// is recorded on both sides.
TEST_F(Marking, ExactNamesPairBeforeCaseVariants) {
  Add(One, "dup.txt", 1);
  Add(One, "x", 1);
  Add(One, "DUP.TXT", 2);
  Add(Two, "other", 1);
  Add(Two, "Dup.Txt", 1);
  Add(Two, "dup.txt", 1);
  EXPECT_EQ(Select({"Only1"}), "x | ");
  EXPECT_EQ(One.Entries[0].Partner, 2);
  EXPECT_EQ(One.Entries[2].Partner, 1);
  EXPECT_EQ(Two.Entries[2].Partner, 0);
  EXPECT_EQ(Two.Entries[1].Partner, -1);
  EXPECT_EQ(Select({"Longer1"}), "DUP.TXT | ");
  EXPECT_EQ(Select({"Only2"}), " | other");
  EXPECT_EQ(Two.Entries[1].Partner, 0);
  EXPECT_EQ(One.Entries[0].Partner, 2);
  EXPECT_EQ(Select({"Matches"}), "dup.txt | dup.txt");
}

TEST_F(MarkingDeathTest, MalformedFileMarkersEndTheRun) {
  WorkedExample();
  for (const char* marker : {"Frob1", "Matches1", "1", "All3", "Only3", "All", "", "Older",
                             "/P0.5", "/R_", "OnlyC"}) {
    EXPECT_EXIT(ApplyFileMarker(marker, One, Two), ::testing::ExitedWithCode(1), "")
        << marker;
  }
  EXPECT_EXIT(One.Mark(static_cast<MatchType>(3), Two, true), ::testing::ExitedWithCode(1), "");
  EXPECT_EXIT(One.MarkUnary(MatchOnly), ::testing::ExitedWithCode(1), "");
}
