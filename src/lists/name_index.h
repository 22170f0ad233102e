#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FileInf;

// Finds, for a name, the entry of a list of exactly that name, or else the
// first whose name equals it without regard to the case of ASCII letters:
// the answer a search from index 0 upward would give, in constant time.
class NameIndex {
 public:
  bool IsBuilt() const { return !Slots.empty(); }
  void Build(const std::vector<FileInf>& entries);
  // Index of the exactly equal name, else of the first equal one, or -1.
  int Find(const std::vector<FileInf>& entries, const std::string& name) const;

 private:
  std::vector<int32_t> Slots;  // entry indexes, -1 for a free slot
};
