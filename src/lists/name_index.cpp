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
  for (size_t i = 0; i < entries.size(); ++i) {
    // Only the first of several equal names is kept: it is the one a search
    // from the front finds.
    size_t slot = FoldedHash(entries[i].Name) & mask;
    while (Slots[slot] >= 0 && !StrEq(entries[Slots[slot]].Name, entries[i].Name))
      slot = (slot + 1) & mask;
    if (Slots[slot] < 0) Slots[slot] = static_cast<int32_t>(i);
  }
}

int NameIndex::Find(const std::vector<FileInf>& entries, const std::string& name) const {
  const size_t mask = Slots.size() - 1;
  for (size_t slot = FoldedHash(name) & mask; Slots[slot] >= 0; slot = (slot + 1) & mask) {
    if (StrEq(entries[Slots[slot]].Name, name)) return Slots[slot];
  }
  return -1;
}
