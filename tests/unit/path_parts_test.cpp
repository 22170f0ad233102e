#include "support/path_parts.h"

#include <gtest/gtest.h>

namespace {

void ExpectParts(const std::string& path, const char* drive, const char* directory,
                 const char* name, const char* extension) {
  PathParts parts = SplitPath(path);
  EXPECT_EQ(parts.Drive, drive) << path;
  EXPECT_EQ(parts.Directory, directory) << path;
  EXPECT_EQ(parts.Name, name) << path;
  EXPECT_EQ(parts.Extension, extension) << path;
}

}  // namespace

TEST(PathParts, SplitPath) {
  ExpectParts("C:\\src\\sub\\main.cpp", "C:", "\\src\\sub\\", "main", ".cpp");
  ExpectParts("/home/u/lib.a/x", "", "/home/u/lib.a/", "x", "");
  ExpectParts("notes", "", "", "notes", "");
  ExpectParts("a.b.c", "", "", "a.b", ".c");
  ExpectParts("C:", "C:", "", "", "");
  ExpectParts("C:x.y", "C:", "", "x", ".y");
  ExpectParts("..\\x", "", "..\\", "x", "");
  ExpectParts("D:.", "D:", ".", "", "");
  ExpectParts("a/..", "", "a/..", "", "");
  ExpectParts("a/...", "", "a/", "..", ".");
  ExpectParts(".profile", "", "", "", ".profile");
  ExpectParts("dir/", "", "dir/", "", "");
  ExpectParts("", "", "", "", "");
}

TEST(PathParts, Separators) {
  EXPECT_TRUE(IsSeparator('/'));
  EXPECT_TRUE(IsSeparator('\\'));
  EXPECT_FALSE(IsSeparator(':'));
  EXPECT_TRUE(EndsInSeparator("a/"));
  EXPECT_TRUE(EndsInSeparator("a\\"));
  EXPECT_TRUE(EndsInSeparator("C:"));
  EXPECT_FALSE(EndsInSeparator("a"));
  EXPECT_FALSE(EndsInSeparator(""));
}
