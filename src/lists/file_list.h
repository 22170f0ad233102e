// File entries and the list of entries read from one directory: the data
// that selection marks and every action works on.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lists/name_index.h"

struct FindRecord;

struct FileInf {
  std::string Name;  // as the directory scan delivered it
  int64_t Size = 0;
  int32_t Second = 0;
  int32_t Minute = 0;
  int32_t Hour = 0;
  int32_t Day = 0;
  int32_t Month = 0;
  int32_t Year = 0;
  int32_t Partner = -1;  // index of the same-named entry in the paired list
  // Last, where they fill the padding: a list may hold millions.
  bool Marked = false;
  bool MayBeShared = false;  // a link or a file of several names: see FindRecord
  bool OneFile = false;      // this entry and its partner are one and the same file

  void SetInfo(const FindRecord& record);
};

// Selection rules: negative codes judge one list, positive codes a pair.
enum MatchType : int {
  MatchSize0 = -1,
  MatchNotSize0 = -2,
  MatchEightDot3 = -3,
  MatchNotEightDot3 = -4,
  MatchOnly = 1,
  MatchOlder = 4,
  MatchNewer = 5,
  MatchSameLength = 6,
  MatchDifferentLength = 7,
  MatchLonger = 8,
  MatchShorter = 9,
  MatchMatches = 10,
  MatchNonmatches = 11,
  MatchMismatches = 12,
  MatchByteMatches = 13,
  MatchByteMismatches = 15,
  MatchExactMatches = 16,
  MatchExactMismatches = 17,
  MatchDateMismatches = 18,
};

class FileList {
 public:
  explicit FileList(int columns);
  virtual ~FileList() = default;
  FileList(const FileList&) = delete;
  FileList& operator=(const FileList&) = delete;

  std::string MyPath;   // empty, or ends in a separator or ':'
  std::string MyFiles;  // the masks joined by " & "
  std::vector<std::string> Masks;
  int Columns;
  int ColumnWidth;
  std::vector<FileInf> Entries;

  int NFiles() const { return static_cast<int>(Entries.size()); }
  std::string FullPath(int index) const { return MyPath + Entries[index].Name; }

  void SetAllMarks(bool value);
  void MarkEntry(int index);
  void Mark(MatchType code, FileList& other, bool markBoth);
  void MarkUnary(MatchType code);
  void List() const;
  bool MayHandle(std::string_view verb, int index) const;

  // True when the list holds an entry that a file of this name would pair
  // with: only such a file, compared or at least seen, may be replaced.
  bool Holds(const std::string& name);

  virtual int Delete();
  virtual int CopyTo(FileList& target);
  virtual int MoveTo(FileList& target);
  virtual int CopyFrom(const std::string& source);

 private:
  // Whether the contents of entry index and the other list's entry partner match.
  using ContentTest = std::function<bool(int index, int partner)>;

  // The entry a file of this name pairs with, or -1.
  int FindName(const std::string& name);
  // The partner of entry index in other, or -1; a pair of one file under
  // two names is reported when found.
  int FindPartner(int index, FileList& other);
  // Whether entry index has a partner that a pair rule may judge.
  bool IsJudgedPair(int index, int partner) const {
    return partner >= 0 && !Entries[index].OneFile;
  }
  bool PairQualifies(MatchType code, int index, const FileList& other, int partner,
                     const ContentTest& contentsMatch) const;
  // The pairs (index, partner) whose contents Mark(code, other, ...) asks
  // about, in the order it asks.
  std::vector<std::pair<int, int>> ContentQuestions(MatchType code, FileList& other);

  NameIndex Names;  // built on the first search for a partner in this list
};

bool IsEightDot3(const std::string& name);
int SecondsOfDay(int hour, int minute, int second);
// +1 when a is older than b, -1 when newer, 0 when equal within
// TimeTolerance on the same date.
int CompareDateTime(const FileInf& a, const FileInf& b);
constexpr int TimeTolerance = 2;
