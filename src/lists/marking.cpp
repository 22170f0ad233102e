#include "disk/file_compare.h"
#include "lists/file_list.h"
#include "run/settings.h"
#include "support/console.h"

namespace {

// Sizes close enough for a content comparison: equal, or one trailing
// Ctrl-Z apart under /ctrlz.
bool SizeGatePasses(const FileInf& a, const FileInf& b) {
  int64_t difference = a.Size > b.Size ? a.Size - b.Size : b.Size - a.Size;
  return difference <= (Settings.AcceptCtrlZ ? 1 : 0);
}

[[noreturn]] void UnimplementedMatchType() { RunAbort("Unimplemented match type."); }

}  // namespace

bool FileList::ContentsMatch(int index, const FileList& other, int partner) const {
  return DiskFileCompare(FullPath(index), other.FullPath(partner)) == 0;
}

// The tests of each rule run cheapest first: contents are read only when
// every test before them has passed.
bool FileList::PairQualifies(MatchType code, int index, const FileList& other,
                             int partner) const {
  const FileInf& a = Entries[index];
  const FileInf& b = other.Entries[partner];
  switch (code) {
    case MatchOnly:
      return false;
    case MatchOlder:
      return CompareDateTime(a, b) == 1;
    case MatchNewer:
      return CompareDateTime(a, b) == -1;
    case MatchSameLength:
      return a.Size == b.Size;
    case MatchDifferentLength:
      return a.Size != b.Size;
    case MatchLonger:
      return a.Size > b.Size;
    case MatchShorter:
      return a.Size < b.Size;
    case MatchMatches:
      return CompareDateTime(a, b) == 0 && a.Size == b.Size;
    case MatchNonmatches:
    case MatchMismatches:
      return CompareDateTime(a, b) != 0 || a.Size != b.Size;
    case MatchByteMatches:
      return SizeGatePasses(a, b) && ContentsMatch(index, other, partner);
    case MatchByteMismatches:
      return SizeGatePasses(a, b) && !ContentsMatch(index, other, partner);
    case MatchExactMatches:
      return CompareDateTime(a, b) == 0 && a.Size == b.Size &&
             ContentsMatch(index, other, partner);
    case MatchExactMismatches:
      return CompareDateTime(a, b) != 0 || !SizeGatePasses(a, b) ||
             !ContentsMatch(index, other, partner);
    case MatchDateMismatches:
      return a.Size == b.Size && CompareDateTime(a, b) != 0 &&
             ContentsMatch(index, other, partner);
    default:
      UnimplementedMatchType();
  }
}

void FileList::Mark(MatchType code, FileList& other, bool markBoth) {
  for (int i = 0; i < NFiles(); ++i) {
    int partner = FindPartner(i, other);
    if (partner < 0) {
      if (code == MatchOnly || code == MatchNonmatches) MarkEntry(i);
      continue;
    }
    if (PairQualifies(code, i, other, partner)) {
      MarkEntry(i);
      if (markBoth) other.MarkEntry(partner);
    }
  }
}

void FileList::MarkUnary(MatchType code) {
  for (int i = 0; i < NFiles(); ++i) {
    const FileInf& entry = Entries[i];
    bool passes;
    switch (code) {
      case MatchSize0:
        passes = entry.Size == 0;
        break;
      case MatchNotSize0:
        passes = entry.Size != 0;
        break;
      case MatchEightDot3:
        passes = IsEightDot3(entry.Name);
        break;
      case MatchNotEightDot3:
        passes = !IsEightDot3(entry.Name);
        break;
      default:
        UnimplementedMatchType();
    }
    if (passes) MarkEntry(i);
  }
}
