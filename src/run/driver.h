// The work of one directory pair: read, mark, act, and under /r the same for
// every subdirectory pair, depth first.
#pragma once

#include <string>

class FileList;

// How much of the tree below a pair is walked.
enum class Walk {
  Subdirectories,  // the pair and everything below it
  PairOnly,        // the pair alone: an earlier walk already covered below it
};

void DoDirPair(const std::string& first, const std::string& second,
               Walk walk = Walk::Subdirectories);
void RecurseInto(const FileList& walked, const FileList& list1, const FileList& list2);
bool IsRecurseSkip(char c);
void RemoveListDir(const std::string& directory);
