#include "lists/file_list.h"

#include "support/console.h"
#include "support/platform.h"

void FileInf::SetInfo(const FindRecord& record) {
  Second = (record.Time & 0x1F) * 2;
  Minute = (record.Time >> 5) & 0x3F;
  Hour = (record.Time >> 11) & 0x1F;
  Day = record.Date & 0x1F;
  Month = (record.Date >> 5) & 0x0F;
  Year = ((record.Date >> 9) & 0x7F) + 1980;
  Size = static_cast<int64_t>(record.Size);
  MayBeShared = record.MayBeShared;
}

FileList::FileList(int columns) : Columns(columns), ColumnWidth(80 / columns) {}

void FileList::SetAllMarks(bool value) {
  for (FileInf& entry : Entries) entry.Marked = value;
}

void FileList::MarkEntry(int index) { Entries[index].Marked = true; }

int FileList::Delete() { RunAbort("FileList::Delete should not be called."); }

int FileList::CopyTo(FileList&) {
  RunAbort("FileList::CopyTo should not be called.");
}

int FileList::MoveTo(FileList& target) {
  CopyTo(target);
  Delete();
  return 0;
}

int FileList::CopyFrom(const std::string&) {
  RunAbort("FileList::CopyFrom should not be called.");
}

int FileList::FindPartner(int index, FileList& other) {
  FileInf& entry = Entries[index];
  if (entry.Partner >= 0) return entry.Partner;
  int partner = other.FindName(entry.Name);
  if (partner < 0) return partner;
  entry.Partner = partner;
  FileInf& found = other.Entries[partner];
  // A partner of another spelling may have one of its very own name here.
  const bool mutual = found.Name == entry.Name;
  if (mutual) found.Partner = index;
  // One file under two names is not two copies: no pair rule may select it,
  // or deleting the "duplicate" would delete the only copy there is.
  if ((entry.MayBeShared || found.MayBeShared) &&
      IsSameFile(FullPath(index), other.FullPath(partner))) {
    entry.OneFile = true;
    found.OneFile = mutual;
    RunWarning2(FullPath(index) + " and " + other.FullPath(partner), " are one and the same file");
  }
  return partner;
}

int FileList::FindName(const std::string& name) {
  if (!Names.IsBuilt()) Names.Build(Entries);
  return Names.Find(Entries, name);
}

bool FileList::Holds(const std::string& name) { return FindName(name) >= 0; }

bool IsEightDot3(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return name.size() <= 8;
  // The base is everything before the last dot, so it can hold no dot.
  return dot <= 8 && name.size() - dot <= 4 && name.find('.') == dot;
}

int SecondsOfDay(int hour, int minute, int second) {
  return hour * 3600 + minute * 60 + second;
}

int CompareDateTime(const FileInf& a, const FileInf& b) {
  const int dateA[] = {a.Year, a.Month, a.Day};
  const int dateB[] = {b.Year, b.Month, b.Day};
  for (int i = 0; i < 3; ++i) {
    if (dateA[i] < dateB[i]) return 1;
    if (dateA[i] > dateB[i]) return -1;
  }
  int ta = SecondsOfDay(a.Hour, a.Minute, a.Second);
  int tb = SecondsOfDay(b.Hour, b.Minute, b.Second);
  if (tb > ta + TimeTolerance) return 1;
  if (ta > tb + TimeTolerance) return -1;
  return 0;
}
