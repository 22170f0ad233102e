#include "lists/file_markers.h"

#include "lists/file_list.h"
#include "support/console.h"
#include "support/strings.h"

namespace {

struct MarkerWord {
  const char* Name;
  const char* Alias;  // nullptr when the word has none
  MatchType Code;
};

const MarkerWord kPairMarkers[] = {
    {"SameLength", "SameLen", MatchSameLength},
    {"DifferentLength", "DifLen", MatchDifferentLength},
    {"Matches", "Match", MatchMatches},
    {"Nonmatches", "Nonmatch", MatchNonmatches},
    {"Mismatches", "Mismatch", MatchMismatches},
    {"ByteMatches", "ByteMatch", MatchByteMatches},
    {"ByteMismatches", "ByteMismatch", MatchByteMismatches},
    {"ExactMatches", "ExactMatch", MatchExactMatches},
    {"ExactMismatches", "ExactMismatch", MatchExactMismatches},
    {"DateMismatches", "DateMismatch", MatchDateMismatches},
};

const MarkerWord kUnaryMarkers[] = {
    {"Size0", nullptr, MatchSize0},
    {"NotSize0", nullptr, MatchNotSize0},
    {"EightDot3", nullptr, MatchEightDot3},
    {"NotEightDot3", nullptr, MatchNotEightDot3},
};

const MarkerWord kSidedMarkers[] = {
    {"Only", nullptr, MatchOnly},
    {"Older", nullptr, MatchOlder},
    {"Newer", nullptr, MatchNewer},
    {"Shorter", "Smaller", MatchShorter},
    {"Longer", "Larger", MatchLonger},
};

template <size_t N>
const MarkerWord* FindWord(const MarkerWord (&table)[N], const std::string& text) {
  for (const MarkerWord& marker : table)
    if (StrEq(text, marker.Name) || (marker.Alias && StrEq(text, marker.Alias)))
      return &marker;
  return nullptr;
}

void ApplyPairMarker(MatchType code, FileList& list1, FileList& list2) {
  if (code == MatchNonmatches) {
    // Each list marks its own entries: unpaired ones count too.
    list1.Mark(code, list2, false);
    list2.Mark(code, list1, false);
  } else {
    list1.Mark(code, list2, true);
  }
}

}  // namespace

void ApplyFileMarker(const std::string& marker, FileList& list1, FileList& list2) {
  if (const MarkerWord* pair = FindWord(kPairMarkers, marker)) {
    ApplyPairMarker(pair->Code, list1, list2);
    return;
  }
  char suffix = marker.empty() ? '\0' : marker.back();
  std::string keyword = marker.substr(0, marker.empty() ? 0 : marker.size() - 1);
  if (suffix == '1') {
    ApplySidedMarker(keyword, list1, list2);
  } else if (suffix == '2') {
    ApplySidedMarker(keyword, list2, list1);
  } else if (suffix == 'B' || suffix == 'b') {
    ApplySidedMarker(keyword, list1, list2);
    ApplySidedMarker(keyword, list2, list1);
  } else {
    RunAbort3("FileMarker ", marker, " does not end in 1, 2, or B.");
  }
}

void ApplySidedMarker(const std::string& keyword, FileList& list, FileList& other) {
  if (StrEq(keyword, "All")) {
    list.SetAllMarks(true);
  } else if (const MarkerWord* unary = FindWord(kUnaryMarkers, keyword)) {
    list.MarkUnary(unary->Code);
  } else if (const MarkerWord* sided = FindWord(kSidedMarkers, keyword)) {
    list.Mark(sided->Code, other, false);
  } else {
    RunAbort2("Unrecognized FileMarker: ", keyword);
  }
}
