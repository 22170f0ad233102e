// Content comparisons kept from one visit of a directory pair for the next
// visit of the same pair in the same run. A walk through both sides visits
// every subdirectory pair once from each side and marks it each time, so
// without them every pair of files would be read twice.
#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "disk/file_compare.h"
#include "support/platform.h"

class ComparisonMemory {
 public:
  enum class Use {
    None,    // every comparison is made, and forgotten
    Keep,    // every comparison made is kept
    Recall,  // a comparison kept earlier answers, once, for files unchanged
  };

  // While one lives, CompareFiles uses memory as use says (nothing for a
  // null memory). Made and ended outside any shared work.
  class InUse {
   public:
    InUse(ComparisonMemory* memory, Use use);
    ~InUse();
    InUse(const InUse&) = delete;
    InUse& operator=(const InUse&) = delete;
  };

  void Keep(const FileStamp& first, const FileStamp& second, const Comparison& comparison);
  std::optional<Comparison> Recall(const std::string& first, const std::string& second);

 private:
  struct Key {
    DirIdentity First;
    DirIdentity Second;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& key) const;
  };
  struct Kept {
    FileStamp First;
    FileStamp Second;
    int Result;
    bool ExtraNotCtrlZ;
  };

  std::mutex Lock;  // comparisons run on two threads
  std::unordered_map<Key, Kept, KeyHash> Comparisons;
};

// For CompareFiles, safe on any thread: the comparison kept for the files
// at these paths, when the memory in use recalls and neither file has
// changed since it was kept (same identity, size and times).
std::optional<Comparison> RecallComparison(const std::string& first, const std::string& second);
// For CompareFiles, safe on any thread: keeps a comparison of the files
// with these stamps (as they were opened) when the memory in use keeps.
// Comparisons that met an unreadable file or one file under two names are
// never kept: a second look must report them again.
void KeepComparison(const FileStamp& first, const FileStamp& second,
                    const Comparison& comparison);
