#include "lists/file_list.h"

#include <gtest/gtest.h>

#include "support/platform.h"

namespace {

FileInf At(int year, int month, int day, int hour, int minute, int second) {
  FileInf entry;
  entry.Year = year;
  entry.Month = month;
  entry.Day = day;
  entry.Hour = hour;
  entry.Minute = minute;
  entry.Second = second;
  return entry;
}

FileInf Scanned(uint16_t date, uint16_t time, uint64_t size) {
  FindRecord record;
  record.Date = date;
  record.Time = time;
  record.Size = size;
  record.Attributes = AttrReadOnly;
  FileInf entry;
  entry.SetInfo(record);
  return entry;
}

// Records the order in which the base MoveTo reaches the operations.
class RecordingList : public FileList {
 public:
  RecordingList() : FileList(4) {}
  std::string Calls;
  int CopyTo(FileList& target) override {
    Calls += "CopyTo " + target.MyPath + ";";
    return 0;
  }
  int Delete() override {
    Calls += "Delete;";
    return 0;
  }
};

class CopyingList : public FileList {
 public:
  CopyingList() : FileList(4) {}
  int CopyTo(FileList&) override { return 0; }
};

}  // namespace

TEST(FileEntry, EightDot3) {
  for (const char* name : {"README", "readme.TXT", "ABCDEFGH.TXT", "my file.txt", "ABCDEFGH",
                           "a.", "x.y", "", "\xe4\xe4\xe4.\xe4\xe4\xe4"}) {
    EXPECT_TRUE(IsEightDot3(name)) << name;
  }
  for (const char* name : {"ABCDEFGHI.TXT", "ABCDEFGHI", "page.html", "a.b.c", ".profile",
                           "a..b", "..", "ABCDEFGHI."}) {
    EXPECT_FALSE(IsEightDot3(name)) << name;
  }
}

TEST(FileEntry, CompareDateTimeWithinOneDate) {
  EXPECT_EQ(SecondsOfDay(10, 2, 4), 36124);
  EXPECT_EQ(CompareDateTime(At(2020, 5, 6, 10, 0, 0), At(2020, 5, 6, 10, 0, 2)), 0);
  EXPECT_EQ(CompareDateTime(At(2020, 5, 6, 10, 0, 2), At(2020, 5, 6, 10, 0, 0)), 0);
  EXPECT_EQ(CompareDateTime(At(2020, 5, 6, 10, 0, 0), At(2020, 5, 6, 10, 0, 4)), 1);
  EXPECT_EQ(CompareDateTime(At(2020, 5, 6, 10, 0, 4), At(2020, 5, 6, 10, 0, 0)), -1);
  EXPECT_EQ(CompareDateTime(At(2020, 5, 6, 9, 59, 58), At(2020, 5, 6, 10, 0, 0)), 0);
  EXPECT_EQ(CompareDateTime(At(2020, 5, 6, 9, 0, 0), At(2020, 5, 6, 10, 0, 0)), 1);
}

TEST(FileEntry, CompareDateTimeAcrossDates) {
  // Two seconds apart, but on different dates: never equal.
  EXPECT_EQ(CompareDateTime(At(2020, 5, 6, 23, 59, 58), At(2020, 5, 7, 0, 0, 0)), 1);
  EXPECT_EQ(CompareDateTime(At(2020, 5, 7, 0, 0, 0), At(2020, 5, 6, 23, 59, 58)), -1);
  // The larger field decides alone, whatever the smaller ones say.
  EXPECT_EQ(CompareDateTime(At(2001, 1, 1, 0, 0, 0), At(2000, 12, 31, 23, 59, 58)), -1);
  EXPECT_EQ(CompareDateTime(At(2000, 2, 1, 0, 0, 0), At(2000, 1, 31, 23, 0, 0)), -1);
  EXPECT_EQ(CompareDateTime(At(2000, 1, 30, 23, 0, 0), At(2000, 1, 31, 0, 0, 0)), 1);
}

TEST(FileEntry, SetInfoUnpacksTheDosWords) {
  FileInf entry = Scanned((23 << 9) | (7 << 5) | 14, (13 << 11) | (45 << 5) | 15, 5000000000ull);
  EXPECT_EQ(entry.Year, 2003);
  EXPECT_EQ(entry.Month, 7);
  EXPECT_EQ(entry.Day, 14);
  EXPECT_EQ(entry.Hour, 13);
  EXPECT_EQ(entry.Minute, 45);
  EXPECT_EQ(entry.Second, 30);
  EXPECT_EQ(entry.Size, 5000000000);  // sizes are not cut to 32 bits
  EXPECT_FALSE(entry.Marked);
  EXPECT_EQ(entry.Partner, -1);

  // Every bit set: no range check or clamping.
  entry = Scanned(0xFFFF, 0xFFFF, 0);
  EXPECT_EQ(entry.Second, 62);
  EXPECT_EQ(entry.Minute, 63);
  EXPECT_EQ(entry.Hour, 31);
  EXPECT_EQ(entry.Day, 31);
  EXPECT_EQ(entry.Month, 15);
  EXPECT_EQ(entry.Year, 2107);
}

TEST(FileListBase, ColumnsAndMarks) {
  FileList list(4);
  EXPECT_EQ(list.ColumnWidth, 20);
  EXPECT_EQ(FileList(3).ColumnWidth, 26);
  EXPECT_EQ(list.NFiles(), 0);
  list.SetAllMarks(true);  // nothing to mark, nothing to fail

  for (const char* name : {"a", "b", "c"}) list.Entries.push_back(FileInf{.Name = name});
  list.MyPath = "dir/";
  EXPECT_EQ(list.FullPath(1), "dir/b");
  list.MarkEntry(1);
  EXPECT_TRUE(list.Entries[1].Marked);
  EXPECT_FALSE(list.Entries[0].Marked || list.Entries[2].Marked);
  list.SetAllMarks(true);
  for (const FileInf& entry : list.Entries) EXPECT_TRUE(entry.Marked);
  list.SetAllMarks(false);
  for (const FileInf& entry : list.Entries) EXPECT_FALSE(entry.Marked);
}

TEST(FileListBase, MoveToCopiesThenDeletesThroughTheSubclass) {
  RecordingList list;
  FileList target(4);
  target.MyPath = "target/";
  list.MoveTo(target);
  EXPECT_EQ(list.Calls, "CopyTo target/;Delete;");
}

TEST(FileListBaseDeathTest, BaseOperationsRefuse) {
  FileList list(4), target(4);
  EXPECT_EXIT(list.Delete(), ::testing::ExitedWithCode(1), "");
  EXPECT_EXIT(list.CopyTo(target), ::testing::ExitedWithCode(1), "");
  EXPECT_EXIT(list.CopyFrom("s/*"), ::testing::ExitedWithCode(1), "");
  EXPECT_EXIT(list.MoveTo(target), ::testing::ExitedWithCode(1), "");
  // With only CopyTo overridden, the move gets as far as the base Delete.
  CopyingList copying;
  EXPECT_EXIT(copying.MoveTo(target), ::testing::ExitedWithCode(1), "");
}
