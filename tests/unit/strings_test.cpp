#include "support/strings.h"

#include <gtest/gtest.h>

namespace {

std::string Sub(Text source, int position, int length) {
  std::string dest = "stale";
  SubStr(dest, source, position, length);
  return dest;
}

std::string Deleted(std::string text, int position, int count) {
  StrDelete(text, position, count);
  return text;
}

}  // namespace

TEST(Strings, JoinReplacesAndAppendKeeps) {
  std::string dest = "old";
  StrJoin2(dest, "a", "b");
  EXPECT_EQ(dest, "ab");
  StrAppend2(dest, "c", "d");
  EXPECT_EQ(dest, "abcd");
  StrAppend3(dest, "e", "", "f");
  EXPECT_EQ(dest, "abcdef");
  StrAppend4(dest, "1", "2", "3", "4");
  EXPECT_EQ(dest, "abcdef1234");
  StrJoin5(dest, "v", "w", "x", "y", "z");
  EXPECT_EQ(dest, "vwxyz");
}

TEST(Strings, JoinOntoItsFirstPieceExtendsInPlace) {
  std::string dest = "dir/";
  StrJoin3(dest, dest, "sub", "/");
  EXPECT_EQ(dest, "dir/sub/");
  StrJoin2(dest, dest, "x");
  EXPECT_EQ(dest, "dir/sub/x");
  StrJoin5(dest, dest, ".", "t", "x", "t");
  EXPECT_EQ(dest, "dir/sub/x.txt");
}

TEST(Strings, SubStrCutsAtTheEndsOfTheSource) {
  EXPECT_EQ(Sub("abcdef", 3, 2), "cd");
  EXPECT_EQ(Sub("abcdef", 5, 10), "ef");
  EXPECT_EQ(Sub("abcdef", 6, 1), "f");
  EXPECT_EQ(Sub("abcdef", 7, 1), "");
  EXPECT_EQ(Sub("abcdef", 9, 1), "");
  EXPECT_EQ(Sub("abcdef", 0, 3), "");
  EXPECT_EQ(Sub("abcdef", 2, 0), "");
  EXPECT_EQ(Sub("abcdef", 2, -1), "");
  EXPECT_EQ(Sub("", 1, 1), "");
}

TEST(Strings, StrDeleteRemovesARunOrCutsTheTail) {
  EXPECT_EQ(Deleted("abcdef", 1, 2), "cdef");
  EXPECT_EQ(Deleted("abcdef", 3, 2), "abef");
  EXPECT_EQ(Deleted("abcdef", 3, 10), "ab");
  EXPECT_EQ(Deleted("abcdef", 6, 1), "abcde");
  EXPECT_EQ(Deleted("abcdef", 1, 6), "");
  EXPECT_EQ(Deleted("abcdef", 7, 1), "abcdef");
  EXPECT_EQ(Deleted("abcdef", 0, 1), "abcdef");
  EXPECT_EQ(Deleted("abcdef", 2, 0), "abcdef");
  EXPECT_EQ(Deleted("", 1, 1), "");
}

TEST(Strings, StrPosIsCaseSensitiveAndTriesTheLastCandidate) {
  EXPECT_EQ(StrPos("abcabc", "bc", 1), 2);
  EXPECT_EQ(StrPos("abcabc", "bc", 3), 5);
  EXPECT_EQ(StrPos("abcabc", "abc", 4), 4);
  EXPECT_EQ(StrPos("abcabc", "abc", 5), 0);
  EXPECT_EQ(StrPos("aaab", "aab", 1), 2);
  EXPECT_EQ(StrPos("abc", "abc", 1), 1);
  EXPECT_EQ(StrPos("abc", "abcd", 1), 0);
  EXPECT_EQ(StrPos("abc", "", 1), 0);
  EXPECT_EQ(StrPos("abc", "a", 0), 0);
  EXPECT_EQ(StrPos("abc", "c", 3), 3);
  EXPECT_EQ(StrPos("abc", "c", 4), 0);
  EXPECT_EQ(StrPos("ABC", "b", 1), 0);
  EXPECT_EQ(StrPos("/p0.5", "/P", 1), 0);
  EXPECT_EQ(StrPos("x\xe4y", "\xe4", 1), 2);
}

TEST(Strings, EqualityFoldsOnlyAsciiLetters) {
  EXPECT_TRUE(StrEq("List", "LIST"));
  EXPECT_TRUE(StrEq("older1", "OLDER1"));
  EXPECT_TRUE(StrEq("", ""));
  EXPECT_FALSE(StrEq("Copy1", "Copy"));
  EXPECT_FALSE(StrEq("Copy", "Copy1"));
  EXPECT_FALSE(StrEq("", "a"));
  // Bytes that a bit trick or a locale would wrongly fold together.
  EXPECT_FALSE(StrEq("@", "`"));
  EXPECT_FALSE(StrEq("[", "{"));
  EXPECT_FALSE(StrEq("^", "~"));
  EXPECT_FALSE(StrEq("\xe4", "\xc4"));
  EXPECT_TRUE(StrEq("\xe4z", "\xe4Z"));
  EXPECT_EQ(FoldCase("aZ@`{\xe4"), "AZ@`{\xe4");

  EXPECT_TRUE(StrEqAny2("SYNC", "Sync", "Synch"));
  EXPECT_TRUE(StrEqAny2("synch", "Sync", "Synch"));
  EXPECT_FALSE(StrEqAny2("Syn", "Sync", "Synch"));
  EXPECT_TRUE(StrEqAny5("e", "a", "b", "c", "d", "E"));
  EXPECT_TRUE(StrEqAny5("C", "a", "b", "c", "d", "e"));
  EXPECT_FALSE(StrEqAny5("f", "a", "b", "c", "d", "e"));
}
