#include "lists/name_index.h"

#include <gtest/gtest.h>

#include <chrono>

#include "lists/file_list.h"
#include "support/strings.h"

namespace {

// Fixed generator, so the lists are the same on every library and run.
struct Lcg {
  uint32_t State;
  uint32_t Next() {
    State = State * 1664525u + 1013904223u;
    return State >> 8;
  }
};

std::string Letters(uint32_t key, int count) {
  std::string letters;
  for (int i = 0; i < count; ++i, key /= 26) letters += char('a' + key % 26);
  return letters;
}

std::string RandomCase(std::string name, Lcg& random) {
  for (char& c : name)
    if (c >= 'a' && c <= 'z' && random.Next() % 2) c = char(c - 'a' + 'A');
  return name;
}

// The reference: the first equal name, searched from index 0 upward.
int LinearFirstMatch(const std::vector<FileInf>& entries, const std::string& name) {
  for (size_t j = 0; j < entries.size(); ++j)
    if (StrEq(entries[j].Name, name)) return static_cast<int>(j);
  return -1;
}

}  // namespace

// Short names over a small alphabet, some behind a long shared prefix: many
// case variants and a crowded table.
TEST(NameIndex, AgreesWithALinearSearchOnEveryName) {
  Lcg random{7};
  std::vector<FileInf> entries;
  std::vector<std::string> queries;
  for (int i = 0; i < 3000; ++i) {
    std::string name = RandomCase(Letters(random.Next() % 2000, 1 + i % 3), random);
    if (i % 17 == 0) name += (i % 34 == 0) ? "\xe4" : "\xc4";
    if (i % 5 == 0) name = "Some Long Common Prefix " + name;
    entries.push_back(FileInf{.Name = name});
    queries.push_back(RandomCase(name, random));
    queries.push_back(name + "x");
  }
  NameIndex index;
  index.Build(entries);
  for (const std::string& query : queries)
    ASSERT_EQ(index.Find(entries, query), LinearFirstMatch(entries, query)) << query;
}

// Pairing two full-size lists: every Partner must be what a linear search
// from index 0 gives, and the pairing must not take quadratic time.
TEST(NameIndex, PairsTwoLargeListsLikeALinearSearch) {
  constexpr size_t kCount = 100000;
  constexpr uint32_t kKeys = 150000;  // about a third of each list has no partner
  FileList one(4), two(4);
  std::vector<bool> caseDuplicated;  // per list 1 entry

  // List 2: lower case; some names repeated in upper case further on, and
  // some with a high byte that only list 2 spells in its upper-case form.
  for (uint32_t j = 0; two.Entries.size() < kCount; ++j) {
    uint32_t key = (j * 7919u) % kKeys;
    std::string high = key % 11 ? "" : key % 22 ? "\xe4" : "\xc4";
    std::string name = Letters(key, 4) + high + ".txt";
    two.Entries.push_back(FileInf{.Name = name});
    if (key % 797 == 0 && two.Entries.size() < kCount)
      two.Entries.push_back(FileInf{.Name = FoldCase(name)});
  }
  // List 1: the same names in random case, some twice in different cases.
  Lcg random{2024};
  for (uint32_t i = 0; one.Entries.size() < kCount; ++i) {
    uint32_t key = (i * 104729u + 12345u) % kKeys;
    std::string name = Letters(key, 4) + (key % 11 ? "" : "\xe4") + ".txt";
    bool duplicated = key % 809 == 0 || key % 797 == 0;
    int copies = key % 809 == 0 ? 2 : 1;
    for (int c = 0; c < copies && one.Entries.size() < kCount; ++c) {
      one.Entries.push_back(FileInf{.Name = RandomCase(name, random)});
      caseDuplicated.push_back(duplicated);
    }
  }

  auto start = std::chrono::steady_clock::now();
  one.Mark(MatchOnly, two, false);
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took.count(), 1.0);

  std::vector<int> lastPairedBy(kCount, -1);
  int checked = 0, unpaired = 0, duplicates = 0;
  for (size_t i = 0; i < kCount; ++i) {
    const FileInf& entry = one.Entries[i];
    ASSERT_EQ(entry.Marked, entry.Partner < 0) << i;
    if (entry.Partner >= 0) {
      ASSERT_TRUE(StrEq(entry.Name, two.Entries[entry.Partner].Name)) << i;
      lastPairedBy[entry.Partner] = static_cast<int>(i);
    }
    unpaired += entry.Partner < 0;
    if (caseDuplicated[i] || i % 499 == 0) {
      ASSERT_EQ(entry.Partner, LinearFirstMatch(two.Entries, entry.Name)) << i;
      ++checked;
      duplicates += caseDuplicated[i];
    }
  }
  // A list 2 entry names the last list 1 entry that paired with it.
  for (size_t j = 0; j < kCount; ++j) {
    ASSERT_EQ(two.Entries[j].Partner, lastPairedBy[j]) << j;
    ASSERT_FALSE(two.Entries[j].Marked) << j;
  }
  EXPECT_GT(duplicates, 300);
  EXPECT_GT(checked, 500);
  EXPECT_GT(unpaired, 30000);
}
