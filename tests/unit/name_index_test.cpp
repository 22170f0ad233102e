#include "lists/name_index.h"

#include <gtest/gtest.h>


#include "lists/file_list.h"
#include "support/strings.h"

namespace {

// A fixed generator, so the lists are the same on every library and run.
uint32_t Next(uint32_t& state) { return (state = state * 1664525u + 1013904223u) >> 8; }

// Up to four letters in random case, some with a high byte only one case
// rule folds, some behind a long shared prefix: a crowded table.
std::string Name(uint32_t key, uint32_t& random) {
  std::string name = key % 5 ? "" : "Some Long Common Prefix ";
  for (int i = 0; i < 1 + int(key % 4); ++i, key /= 26) name += char((Next(random) % 2 ? 'a' : 'A') + key % 26);
  return name + (key % 11 ? "" : key % 2 ? "\xe4" : "\xc4");
}

// The rule: the very same name, else the first equal one, searched from
// index 0 upward.
int Linear(const std::vector<FileInf>& entries, const std::string& name) {
  for (size_t j = 0; j < entries.size(); ++j)
    if (entries[j].Name == name) return int(j);
  for (size_t j = 0; j < entries.size(); ++j)
    if (StrEq(entries[j].Name, name)) return int(j);
  return -1;
}

}  // namespace

TEST(NameIndex, FindsWhatTheLinearRuleFinds) {
  uint32_t random = 7;
  std::vector<FileInf> entries;
  for (int i = 0; i < 3000; ++i) entries.push_back(FileInf{.Name = Name(Next(random) % 3000, random)});
  NameIndex index;
  index.Build(entries);
  for (int i = 0; i < 6000; ++i) {
    const std::string query = Name(Next(random) % 3000, random) + (i % 7 ? "" : "x");
    ASSERT_EQ(index.Find(entries, query), Linear(entries, query)) << query;
  }
}

// Pairing two lists of 100,000: every partner is what the linear rule gives,
// and a list 2 entry names the last list 1 entry of its very name paired
// with it (one of another spelling may have a closer partner of its own).
TEST(NameIndex, PairsTwoLargeListsByTheLinearRule) {
  constexpr size_t kCount = 100000;
  FileList one(4), two(4);
  uint32_t random = 2024;
  for (size_t i = 0; i < kCount; ++i) {
    one.Entries.push_back(FileInf{.Name = Name(Next(random) % 150000, random)});
    two.Entries.push_back(FileInf{.Name = Name(Next(random) % 150000, random)});
  }
  one.Mark(MatchOnly, two, false);
  std::vector<int> lastPairedBy(kCount, -1);
  int unpaired = 0;
  for (size_t i = 0; i < kCount; ++i) {
    const FileInf& entry = one.Entries[i];
    ASSERT_EQ(entry.Marked, entry.Partner < 0) << i;
    if (i % 97 == 0) {
      ASSERT_EQ(entry.Partner, Linear(two.Entries, entry.Name)) << i;
    }
    if (entry.Partner >= 0 && entry.Name == two.Entries[entry.Partner].Name)
      lastPairedBy[entry.Partner] = int(i);
    unpaired += entry.Partner < 0;
  }
  for (size_t j = 0; j < kCount; ++j) ASSERT_EQ(two.Entries[j].Partner, lastPairedBy[j]) << j;
  EXPECT_GT(unpaired, 10000);
  EXPECT_LT(unpaired, 90000);
}
