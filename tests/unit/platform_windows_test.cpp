#include "support/platform.h"

#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "support/console.h"
#include "platform_fixture.h"

namespace {

namespace fs = std::filesystem;
using Names = PlatformFixture::Names;

uint16_t PackedDate(int year, int month, int day) {
  return uint16_t(((year - 1980) << 9) | (month << 5) | day);
}
uint16_t PackedTime(int hour, int minute, int second) {
  return uint16_t((hour << 11) | (minute << 5) | (second / 2));
}

class Platform : public PlatformFixture {
 protected:
  void SetUp() override {
    char base[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, base), 0u);
    for (unsigned n = GetTickCount();; ++n) {
      Dir = std::string(base) + "vorn-platform-" + std::to_string(n);
      if (CreateDirectoryA(Dir.c_str(), nullptr)) break;
      ASSERT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    }
    Dir += "\\";
    Previous = fs::current_path();
  }
  void TearDown() override {
    fs::current_path(Previous);
    for (const auto& entry : fs::recursive_directory_iterator(Dir))
      SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(Dir);
  }

  void SetAttributes(const std::string& name, DWORD attributes) const {
    ASSERT_TRUE(SetFileAttributesA(At(name).c_str(), attributes)) << name;
  }
  // Sets the last-write time to a local calendar time.
  void SetLocalTime(const std::string& name, WORD year, WORD month, WORD day, WORD hour,
                    WORD minute, WORD second) const {
    SYSTEMTIME calendar{year, month, 0, day, hour, minute, second, 0};
    FILETIME local, universal;
    ASSERT_TRUE(SystemTimeToFileTime(&calendar, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &universal));
    HANDLE file = CreateFileA(At(name).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &universal));
    CloseHandle(file);
  }
  fs::path Previous;
};

TEST_F(Platform, SearchOrdersAndFiltersEntries) {
  for (const char* name : {"b.txt", "A.txt", "_u", "c", "hid", "sys", "ro"}) Write(name, "12345");
  ASSERT_TRUE(CreateDirectoryA(At("Sub").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(At("hdir").c_str(), nullptr));
  SetAttributes("hid", FILE_ATTRIBUTE_HIDDEN);
  SetAttributes("sys", FILE_ATTRIBUTE_SYSTEM);
  SetAttributes("hdir", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
  SetAttributes("ro", FILE_ATTRIBUTE_READONLY);

  EXPECT_EQ(List("*", 0), (Names{"A.txt", "b.txt", "c", "ro", "_u"}));
  EXPECT_EQ(List("*.*", AttrDirectory),
            (Names{".", "..", "A.txt", "b.txt", "c", "hdir", "ro", "Sub", "_u"}));
  EXPECT_EQ(List("*", AttrHidden), (Names{"A.txt", "b.txt", "c", "hdir", "hid", "ro", "_u"}));
  EXPECT_EQ(List("*", AttrSystem), (Names{"A.txt", "b.txt", "c", "ro", "sys", "_u"}));
  EXPECT_EQ(List("*.TXT", 0), (Names{"A.txt", "b.txt"}));

  EXPECT_EQ(Find("ro").Attributes & (AttrReadOnly | AttrSpecial), AttrReadOnly);
  EXPECT_EQ(Find("hid").Attributes & AttrSpecial, AttrHidden);
  EXPECT_EQ(Find("Sub").Attributes & AttrSpecial, AttrDirectory);
  EXPECT_EQ(Find("b.txt").Size, 5u);
  EXPECT_EQ(Find("Sub").Size, 0u);
}

TEST_F(Platform, SubdirectoriesAreTheDirectoriesASearchDelivers) {
  for (const char* name : {"sub", "_x", "Hid", "B"})
    ASSERT_TRUE(CreateDirectoryA(At(name).c_str(), nullptr));
  SetAttributes("Hid", FILE_ATTRIBUTE_HIDDEN);
  Write("file", "");
  Write("a.dir", "");
  Names names = {"stale"};
  ASSERT_TRUE(ListSubdirectories(Dir, names));
  EXPECT_EQ(names, (Names{"B", "Hid", "sub", "_x"}));
  ASSERT_TRUE(ListSubdirectories(Dir + "sub", names));
  EXPECT_EQ(names, Names{});
  fs::current_path(Dir);
  ASSERT_TRUE(ListSubdirectories("", names));
  EXPECT_EQ(names, (Names{"B", "Hid", "sub", "_x"}));
  // A directory that is not there has no subdirectories.
  names = {"stale"};
  EXPECT_TRUE(ListSubdirectories(Dir + "missing\\", names));
  EXPECT_EQ(names, Names{});
}

TEST_F(Platform, SearchWithoutMatchesOrDirectory) { ExpectSearchesFindNothing(); }

TEST_F(Platform, PatternWithoutDirectoryReadsTheCurrentOne) {
  Write("here.txt", "");
  fs::current_path(Dir);
  FindRecord record;
  ASSERT_EQ(SearchStart("*.txt", 0, record), 0);
  EXPECT_EQ(record.Name, "here.txt");
  SearchClose(record);
}

TEST_F(Platform, LastWriteTimeIsPackedInLocalTimeAndClamped) {
  for (const char* name : {"t", "old", "late"}) Write(name, "");
  SetLocalTime("t", 2001, 2, 3, 4, 5, 7);
  SetLocalTime("old", 1970, 1, 2, 0, 0, 0);
  SetLocalTime("late", 2200, 6, 1, 12, 0, 0);
  FindRecord record = Find("t");
  EXPECT_EQ(record.Date, PackedDate(2001, 2, 3));
  EXPECT_EQ(record.Time, PackedTime(4, 5, 6));
  record = Find("old");
  EXPECT_EQ(record.Date, PackedDate(1980, 1, 1));
  EXPECT_EQ(record.Time, PackedTime(0, 0, 0));
  record = Find("late");
  EXPECT_EQ(record.Date, PackedDate(2107, 12, 31));
  EXPECT_EQ(record.Time, PackedTime(23, 59, 58));
}

TEST_F(Platform, SizeBeyondFourGigabytes) {
  HANDLE file = CreateFileA(At("big").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD ignored;
  // Sparse, so that NTFS does not set aside five gigabytes for it.
  DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
  LARGE_INTEGER size;
  size.QuadPart = 5LL << 30;
  EXPECT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file));
  CloseHandle(file);
  EXPECT_EQ(Find("big").Size, 5ULL << 30);
}

TEST_F(Platform, DirectoryChecksAndChanges) {
  Write("file", "");
  EXPECT_TRUE(OpenListing(Dir));
  EXPECT_TRUE(OpenListing(Dir.substr(0, Dir.size() - 1)));
  EXPECT_FALSE(OpenListing(At("file")));
  EXPECT_FALSE(OpenListing(At("missing")));
  fs::current_path(Dir);
  EXPECT_TRUE(OpenListing(""));

  DirIdentity a, b;
  ASSERT_TRUE(IdentifyDir(Dir, a));
  ASSERT_TRUE(IdentifyDir(Dir + ".\\", b));
  EXPECT_EQ(a, b);
  ASSERT_TRUE(IdentifyDir("", b));
  EXPECT_EQ(a, b);
  ASSERT_TRUE(IdentifyDir(Dir + "..", b));
  EXPECT_NE(a, b);
  EXPECT_FALSE(IdentifyDir(At("file"), b));
  EXPECT_FALSE(IdentifyDir(At("missing"), b));

  EXPECT_EQ(MakeDir(At("new")), 0);
  EXPECT_NE(MakeDir(At("new")), 0);
  Write("new\\x", "");
  EXPECT_NE(RemoveDir(At("new")), 0);
  EXPECT_EQ(RemoveFile(At("new\\x")), 0);
  EXPECT_NE(RemoveFile(At("new\\x")), 0);
  EXPECT_EQ(RemoveDir(At("new")), 0);
}

// A UTF-8 text as a path of the file system, whatever the code page.
fs::path Native(const std::string& utf8) {
  return fs::path(reinterpret_cast<const char8_t*>(utf8.c_str()));
}

TEST_F(Platform, CopiesAppearWholeKeepTimeAndReadOnlyAndReplaceOnlyWhereAllowed) {
  std::string content(3 << 20, 'x');
  content[12345] = '\0';
  Write("src", content);
  SetLocalTime("src", 2001, 2, 3, 4, 5, 6);
  SetAttributes("src", FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(CreateDirectoryA(At("out").c_str(), nullptr));
  Write("out\\src", "old");

  EXPECT_EQ(CopyOneFile(At("src"), At("out\\src"), false), FileOpStatus::TargetTaken);
  EXPECT_EQ(Read("out\\src"), "old");
  ASSERT_EQ(CopyOneFile(At("src"), At("out\\src"), true), FileOpStatus::Done);
  EXPECT_TRUE(Read("out\\src") == content);
  FindRecord copy = Find("out\\src");
  EXPECT_EQ(copy.Date, PackedDate(2001, 2, 3));
  EXPECT_EQ(copy.Time, PackedTime(4, 5, 6));
  EXPECT_TRUE(copy.Attributes & AttrReadOnly);
  EXPECT_EQ(List("out\\*", AttrHidden | AttrSystem), Names{"src"});  // no temporary left

  Write("other", "other");
  ASSERT_TRUE(CreateDirectoryA(At("out\\dir").c_str(), nullptr));
  EXPECT_EQ(CopyOneFile(At("other"), At("out\\dir"), true), FileOpStatus::TargetTaken);
  EXPECT_EQ(CopyOneFile(At("other"), At("missing\\other"), true), FileOpStatus::Failed);
  EXPECT_EQ(CopyOneFile(At("none"), At("out\\none"), true), FileOpStatus::Failed);
  EXPECT_EQ(CopyOneFile(At("out"), At("out2"), true), FileOpStatus::Failed);
  // A name the file system folds onto another (é and É) is that other's.
  std::ofstream(fs::path(Dir) / Native("CAF\xC3\x89"), std::ios::binary) << "newest";
  EXPECT_EQ(CopyOneFile(At("other"), At("caf\xC3\xA9"), false), FileOpStatus::TargetTaken);
  EXPECT_EQ(MoveOneFile(At("other"), At("caf\xC3\xA9"), false), FileOpStatus::TargetTaken);
  std::string kept;
  std::ifstream(fs::path(Dir) / Native("CAF\xC3\x89")) >> kept;
  EXPECT_EQ(kept, "newest");
  // Onto itself, under a name that differs in letter case: nothing to write.
  EXPECT_EQ(CopyOneFile(At("other"), At("OTHER"), false), FileOpStatus::Done);
  EXPECT_EQ(Read("other"), "other");
}

TEST_F(Platform, MovesRenameAndReplaceOnlyWhereAllowed) {
  Write("a", "moved");
  Write("b", "kept");
  ASSERT_TRUE(CreateDirectoryA(At("dir").c_str(), nullptr));
  EXPECT_EQ(MoveOneFile(At("a"), At("b"), false), FileOpStatus::TargetTaken);
  EXPECT_EQ(MoveOneFile(At("a"), At("dir"), true), FileOpStatus::TargetTaken);
  EXPECT_EQ(MoveOneFile(At("a"), At("missing\\a"), true), FileOpStatus::Failed);
  EXPECT_EQ(MoveOneFile(At("dir"), At("dir2"), true), FileOpStatus::Failed);
  EXPECT_EQ(Read("b"), "kept");
  ASSERT_EQ(MoveOneFile(At("a"), At("b"), true), FileOpStatus::Done);
  EXPECT_EQ(Read("b"), "moved");
  ASSERT_EQ(MoveOneFile(At("b"), At("dir\\c"), false), FileOpStatus::Done);
  EXPECT_EQ(List("*", AttrDirectory), (Names{".", "..", "dir"}));
  EXPECT_EQ(Read("dir\\c"), "moved");
}

// Names are carried as UTF-8 and reach the system unchanged: none is mapped
// onto a look-alike, and marks an interpreter would expand are just bytes.
TEST_F(Platform, NamesOutsideTheCodePageAreFoundAndHandledByTheirOwnNames) {
  const Names names = {"Alpha.txt", "r%OS%s.txt", "x!y!^z.txt", "\xC4\x80lpha.txt",
                       "\xD0\x96.txt", "\xE4\xB8\xAD\xE6\x96\x87.txt",
                       "\xE6\x97\xA5\xE6\x9C\xAC.txt", "\xF0\x9F\x98\x80.txt"};
  for (const std::string& name : names)
    std::ofstream(fs::path(Dir) / Native(name), std::ios::binary) << name;
  Names found = List("*", 0);
  EXPECT_EQ(found.size(), names.size());
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_NE(std::find(found.begin(), found.end(), name), found.end());
    InputFile file(At(name));
    char buffer[64];
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(std::string(buffer, size_t(file.ReadBytes(buffer, sizeof buffer))), name);
    ASSERT_EQ(CopyOneFile(At(name), At("copy of " + name), false), FileOpStatus::Done);
    ASSERT_EQ(MoveOneFile(At("copy of " + name), At("moved " + name), false), FileOpStatus::Done);
    ASSERT_EQ(MakeDir(At(name + ".d")), 0);
    EXPECT_TRUE(OpenListing(At(name + ".d")));
    EXPECT_EQ(RemoveDir(At(name + ".d")), 0);
    EXPECT_EQ(RemoveFile(At("moved " + name)), 0);
  }
  EXPECT_EQ(List("*", 0).size(), names.size());
}

// A name that is no text (a lone surrogate) cannot be carried; it is
// reported and the rest of the directory is read.
TEST_F(Platform, NameWithoutUtf8FormIsReportedAndLeftOut) {
  Write("good", "");
  HANDLE file = CreateFileW((Native(Dir).wstring() + L"bad\xD800.txt").c_str(), GENERIC_WRITE, 0,
                            nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) GTEST_SKIP() << "the file system refuses such a name";
  CloseHandle(file);
  testing::internal::CaptureStdout();
  EXPECT_EQ(List("*", 0), Names{"good"});
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "WARNING: Could not read name in " + Dir + "\n");
  EXPECT_TRUE(AnythingUnreadable());
}

// Deeper than the classic limit of 260 characters, every operation works
// as near the root.
TEST_F(Platform, PathsPastTheClassicLimitWorkLikeShortOnes) {
  std::string deep = Dir;
  const std::string level(90, 'd');
  for (int i = 0; i < 4; ++i) {
    deep += level + "\\";
    ASSERT_EQ(MakeDir(deep), 0) << deep.size();
  }
  ASSERT_GT(deep.size(), 360u);
  std::ofstream(fs::path(L"\\\\?\\" + Native(deep).wstring() + L"f"), std::ios::binary) << "deep";
  EXPECT_TRUE(OpenListing(deep));
  std::vector<std::string> subdirectories;
  EXPECT_TRUE(ListSubdirectories(Dir + level + "\\" + level, subdirectories));
  EXPECT_EQ(subdirectories, (Names{level}));
  FindRecord record;
  ASSERT_EQ(SearchStart(deep + "*", 0, record), 0);
  EXPECT_EQ(record.Name, "f");
  EXPECT_EQ(record.Size, 4u);
  SearchClose(record);
  EXPECT_TRUE(InputFile(deep + "f").IsOpen());
  DirIdentity identity;
  EXPECT_TRUE(IdentifyDir(deep, identity));
  EXPECT_EQ(CopyOneFile(deep + "f", deep + "g", false), FileOpStatus::Done);
  EXPECT_EQ(MoveOneFile(deep + "g", deep + "h", false), FileOpStatus::Done);
  EXPECT_TRUE(IsSameFile(deep + "h", deep + ".\\h"));
  std::FILE* stream = OpenForReading(deep + "h");
  ASSERT_NE(stream, nullptr);
  std::fclose(stream);
  EXPECT_EQ(RemoveFile(deep + "h"), 0);
  EXPECT_EQ(RemoveFile(deep + "f"), 0);
  for (; deep.size() > Dir.size(); deep.resize(deep.size() - level.size() - 1))
    EXPECT_EQ(RemoveDir(deep), 0);
}

TEST_F(Platform, ControlLinesInTheLegacyCodePageBecomeUtf8) {
  EXPECT_EQ(ControlLineAsUtf8("caf\xC3\xA9\tb"), "caf\xC3\xA9\tb");
  EXPECT_EQ(ControlLineAsUtf8(""), "");
  DWORD codePage = 0;
  GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                 reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(WCHAR));
  if (codePage != 1252) GTEST_SKIP() << "the system's code page is " << codePage;
  EXPECT_EQ(ControlLineAsUtf8("caf\xE9\tb"), "caf\xC3\xA9\tb");
}

TEST_F(Platform, PlainFilesAndDirectoriesAreNoLinks) {
  Write("f", "");
  ASSERT_TRUE(CreateDirectoryA(At("d").c_str(), nullptr));
  EXPECT_FALSE(IsLink(At("f")));
  EXPECT_FALSE(IsLink(At("d\\")));
  EXPECT_FALSE(IsLink(At("missing")));
  EXPECT_FALSE(Find("f").MayBeShared);
}

TEST_F(Platform, InputFileReadsInPieces) { ExpectInputFileReadsInPieces(); }

}  // namespace
