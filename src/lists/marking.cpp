#include "disk/file_compare.h"
#include "lists/file_list.h"
#include "lists/handling.h"
#include "support/console.h"
#include "support/platform.h"

namespace {

// Sizes close enough for a content comparison: equal, or one trailing
// Ctrl-Z apart under /ctrlz.
bool SizeGatePasses(const FileInf& a, const FileInf& b) {
  int64_t difference = a.Size > b.Size ? a.Size - b.Size : b.Size - a.Size;
  return difference <= (Handling.AcceptCtrlZ ? 1 : 0);
}

[[noreturn]] void UnimplementedMatchType() { RunAbort("Unimplemented match type."); }

std::vector<Comparison> CompareAll(const FileList& list, const FileList& other,
                                   const std::vector<std::pair<int, int>>& pairs) {
  std::vector<Comparison> comparisons(pairs.size());
  ShareWork(pairs.size(), [&](size_t k) {
    comparisons[k] = CompareFiles(list.FullPath(pairs[k].first), other.FullPath(pairs[k].second));
  });
  return comparisons;
}

}  // namespace

// The tests of each rule run cheapest first: contents are read only when
// every test before them has passed.
bool FileList::PairQualifies(MatchType code, int index, const FileList& other, int partner,
                             const ContentTest& contentsMatch) const {
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
      return SizeGatePasses(a, b) && contentsMatch(index, partner);
    case MatchByteMismatches:
      return SizeGatePasses(a, b) && !contentsMatch(index, partner);
    case MatchExactMatches:
      return CompareDateTime(a, b) == 0 && a.Size == b.Size &&
             contentsMatch(index, partner);
    case MatchExactMismatches:
      return CompareDateTime(a, b) != 0 || !SizeGatePasses(a, b) ||
             !contentsMatch(index, partner);
    case MatchDateMismatches:
      return a.Size == b.Size && CompareDateTime(a, b) != 0 &&
             contentsMatch(index, partner);
    default:
      UnimplementedMatchType();
  }
}

std::vector<std::pair<int, int>> FileList::ContentQuestions(MatchType code, FileList& other) {
  std::vector<std::pair<int, int>> questions;
  // Whether a rule asks about contents depends on the cheaper tests alone,
  // never on an earlier answer, so any answer will do here.
  ContentTest ask = [&questions](int index, int partner) {
    questions.emplace_back(index, partner);
    return false;
  };
  for (int i = 0; i < NFiles(); ++i) {
    int partner = FindPartner(i, other);
    if (IsJudgedPair(i, partner)) PairQualifies(code, i, other, partner, ask);
  }
  return questions;
}

void FileList::Mark(MatchType code, FileList& other, bool markBoth) {
  ContentTest contentsMatch = [this, &other](int index, int partner) {
    return DiskFileCompare(FullPath(index), other.FullPath(partner)) == 0;
  };
  // Under /q no progress line announces a comparison, so at the first
  // question about contents every comparison this marking needs is made,
  // two at a time where a second processor is free. Their answers, and any
  // messages with them, are then taken in the order the marking asks. A
  // rule that never reads contents costs no extra pass.
  std::vector<Comparison> ahead;
  size_t answered = 0;
  if (Handling.Quiet) {
    contentsMatch = [this, &other, code, &ahead, &answered](int, int) {
      if (answered == 0) ahead = CompareAll(*this, other, ContentQuestions(code, other));
      const Comparison& comparison = ahead[answered++];
      ReportComparison(comparison);
      return comparison.Result == 0;
    };
  }
  for (int i = 0; i < NFiles(); ++i) {
    int partner = FindPartner(i, other);
    if (partner < 0) {
      if (code == MatchOnly || code == MatchNonmatches) MarkEntry(i);
      continue;
    }
    if (IsJudgedPair(i, partner) && PairQualifies(code, i, other, partner, contentsMatch)) {
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
