#include "disk/comparison_memory.h"

#include <functional>

namespace {

ComparisonMemory* MemoryInUse = nullptr;
ComparisonMemory::Use UseOfMemory = ComparisonMemory::Use::None;

}  // namespace

ComparisonMemory::InUse::InUse(ComparisonMemory* memory, Use use) {
  MemoryInUse = memory;
  UseOfMemory = memory ? use : Use::None;
}

ComparisonMemory::InUse::~InUse() {
  MemoryInUse = nullptr;
  UseOfMemory = Use::None;
}

size_t ComparisonMemory::KeyHash::operator()(const Key& key) const {
  size_t hash = 0;
  for (uint64_t part : {key.First.Device, key.First.Inode, key.Second.Device, key.Second.Inode})
    hash = hash * 1000003 ^ std::hash<uint64_t>()(part);
  return hash;
}

void ComparisonMemory::Keep(const FileStamp& first, const FileStamp& second,
                            const Comparison& comparison) {
  std::lock_guard<std::mutex> hold(Lock);
  Comparisons.insert_or_assign(Key{first.Identity, second.Identity},
                               Kept{first, second, comparison.Result, comparison.ExtraNotCtrlZ});
}

std::optional<Comparison> ComparisonMemory::Recall(const std::string& first,
                                                   const std::string& second) {
  FileStamp now[2];
  if (!StampFile(first, now[0]) || !StampFile(second, now[1])) return std::nullopt;
  std::lock_guard<std::mutex> hold(Lock);
  auto found = Comparisons.find(Key{now[0].Identity, now[1].Identity});
  if (found == Comparisons.end()) return std::nullopt;
  // The second visit is the last that asks: what it has taken, or found
  // changed, is of no further use.
  Kept kept = found->second;
  Comparisons.erase(found);
  if (kept.First != now[0] || kept.Second != now[1]) return std::nullopt;
  Comparison comparison;
  comparison.Result = kept.Result;
  comparison.ExtraNotCtrlZ = kept.ExtraNotCtrlZ;
  return comparison;
}

std::optional<Comparison> RecallComparison(const std::string& first, const std::string& second) {
  if (UseOfMemory != ComparisonMemory::Use::Recall) return std::nullopt;
  return MemoryInUse->Recall(first, second);
}

void KeepComparison(const FileStamp& first, const FileStamp& second,
                    const Comparison& comparison) {
  if (UseOfMemory != ComparisonMemory::Use::Keep) return;
  if (!comparison.Unreadable.empty() || !comparison.SameFile.empty()) return;
  MemoryInUse->Keep(first, second, comparison);
}
