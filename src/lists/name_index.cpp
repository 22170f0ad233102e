#include "lists/name_index.h"

#include "lists/file_list.h"
#include "support/strings.h"

namespace {

uint64_t FoldedHash(const std::string& name) {
  uint64_t hash = 1469598103934665603ull;  // FNV-1a
  for (char c : name) {
    hash ^= static_cast<unsigned char>(FoldCase(c));
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

void NameIndex::Build(const std::vector<FileInf>& entries) {
  size_t capacity = 16;
  while (capacity < entries.size() * 2) capacity *= 2;
  Slots.assign(capacity, -1);
  const size_t mask = capacity - 1;
  // Names equal but for letter case share a probe sequence and stand along
  // it in list order, so the first of them met is the first in the list.
  for (size_t i = 0; i < entries.size(); ++i) {
    size_t slot = FoldedHash(entries[i].Name) & mask;
    while (Slots[slot] >= 0) slot = (slot + 1) & mask;
    Slots[slot] = static_cast<int32_t>(i);
  }
}

int NameIndex::Find(const std::vector<FileInf>& entries, const std::string& name) const {
  const size_t mask = Slots.size() - 1;
  int firstEqual = -1;
  for (size_t slot = FoldedHash(name) & mask; Slots[slot] >= 0; slot = (slot + 1) & mask) {
    const std::string& candidate = entries[Slots[slot]].Name;
    if (candidate == name) return Slots[slot];
    if (firstEqual < 0 && StrEq(candidate, name)) firstEqual = Slots[slot];
  }
  return firstEqual;
}
