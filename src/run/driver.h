// The work of one directory pair: read, mark, act, and under /r the same for
// every subdirectory pair, depth first.
#pragma once

#include <memory>
#include <string>
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

// Processes the pair of directory-and-FileSet texts, and everything below.
void DoDirPair(const std::string& first, const std::string& second);
// Processes a pair of lists already read, and as much below as walk says;
// path holds the pairs above it. Its comparisons use the memory of the
// parent pair as use says.
void DoDirPair(std::unique_ptr<Disk_FileList> list1, std::unique_ptr<Disk_FileList> list2,
               Walk walk, WalkPath& path, ComparisonMemory* parentMemory = nullptr,
               ComparisonMemory::Use use = ComparisonMemory::Use::None);
// Walks the subdirectories of one side of a pair; memory lives as long as
// the pair's walks and serves its subdirectory pairs' comparisons.
void RecurseInto(const FileList& walked, const FileList& list1, const FileList& list2,
                 WalkPath& path, ComparisonMemory& memory);
bool IsRecurseSkip(char c);
void RemoveListDir(const std::string& directory);
