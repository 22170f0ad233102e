// The work of one directory pair: read, mark, act, and under /r the same for
// every subdirectory pair, depth first.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "disk/comparison_memory.h"
#include "support/platform.h"

class FileList;
class Disk_FileList;

// How much of the tree below a pair is walked.
enum class Walk {
  Subdirectories,  // the pair and everything below it
  PairOnly,        // the pair alone: an earlier walk already covered below it
};

// The directories, of both sides, of every pair on the path now being
// walked. The walk never enters one of them again: a link back up the tree
// would loop, and with one directory of the pair inside the other the tree
// would be copied into itself.
struct WalkPath {
  std::vector<DirIdentity> Directories;
  bool Holds(const DirIdentity& identity) const;
};

// What a walk through both sides learns on a subdirectory pair's first
// visit for its second, kept while the walks below their parent last.
struct SubdirectoryMemory {
  ComparisonMemory Comparisons;
  // The pairs whose first visit marked, printed and changed nothing, each
  // with the count of changes the run had tried by then. While the count
  // stays, the run has changed nothing and a second visit would find the
  // same lists, mark the same nothing and do nothing.
  std::map<std::pair<DirIdentity, DirIdentity>, uint64_t> IdleVisits;

  bool WasIdle(const DirIdentity& first, const DirIdentity& second) const;
};

// Processes the pair of directory-and-FileSet texts, and everything below.
void DoDirPair(const std::string& first, const std::string& second);
// Processes a pair of lists already read, and as much below as walk says;
// path holds the pairs above it. Its comparisons use the memory of the
// parent pair as use says. True when the pair's own visit was idle: it
// marked no file, printed nothing and tried no change.
bool DoDirPair(std::unique_ptr<Disk_FileList> list1, std::unique_ptr<Disk_FileList> list2,
               Walk walk, WalkPath& path, ComparisonMemory* parentMemory = nullptr,
               ComparisonMemory::Use use = ComparisonMemory::Use::None);
// Walks the subdirectories of one side of a pair; memory lives as long as
// the pair's walks and serves its subdirectory pairs' second visits.
void RecurseInto(const FileList& walked, const FileList& list1, const FileList& list2,
                 WalkPath& path, SubdirectoryMemory& memory);
bool IsRecurseSkip(char c);
void RemoveListDir(const std::string& directory);
