#include "support/platform.h"

#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "support/file_command.h"
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

// Restores an environment variable when the test ends.
class SavedVariable {
 public:
  explicit SavedVariable(const char* name) : Name(name) {
    char value[32767];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    Was = length > 0;
    if (Was) Value.assign(value, length);
  }
  ~SavedVariable() { SetEnvironmentVariableA(Name, Was ? Value.c_str() : nullptr); }

 private:
  const char* Name;
  bool Was;
  std::string Value;
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

TEST_F(Platform, CopyAndMoveReplaceTheTargetWithoutAskingAndKeepTheTime) {
  SavedVariable copyCommand("COPYCMD");
  SetEnvironmentVariableA("COPYCMD", "/-Y");  // would ask before every replacement
  std::string content(3 << 20, 'x');
  content[12345] = '\0';
  Write("src", content);
  SetLocalTime("src", 2001, 2, 3, 4, 5, 6);
  ASSERT_TRUE(CreateDirectoryA(At("out").c_str(), nullptr));
  Write("out\\src", "old");

  ASSERT_EQ(RunCommand(BuildCopyCommand(At("src"), At("out\\src"))), 0);
  EXPECT_EQ(Read("out\\src"), content);
  EXPECT_EQ(Find("out\\src").Date, PackedDate(2001, 2, 3));
  EXPECT_EQ(Find("out\\src").Time, PackedTime(4, 5, 6));

  Write("other", "moved");
  ASSERT_EQ(RunCommand(BuildMoveCommand(At("other"), At("out\\src"))), 0);
  EXPECT_EQ(Read("out\\src"), "moved");
  EXPECT_EQ(List("*", 0), (Names{"src"}));
}

TEST_F(Platform, FailedCommandsReportTheInterpretersStatus) {
  Write("src", "data");
  EXPECT_NE(RunCommand(BuildCopyCommand(At("src"), At("missing\\src"))), 0);
  EXPECT_NE(RunCommand(BuildCopyCommand(At("none"), At("none2"))), 0);
  EXPECT_NE(RunCommand(BuildMoveCommand(At("src"), At("missing\\src"))), 0);
  EXPECT_EQ(RunCommand("exit 3"), 3);
  EXPECT_EQ(List("*", AttrDirectory), (Names{".", "..", "src"}));
}

TEST_F(Platform, InterpreterIsComspecElseCmdFromTheCurrentDirectoryOrThePath) {
  SavedVariable comspec("COMSPEC");
  SavedVariable path("PATH");
  char system[MAX_PATH];
  ASSERT_NE(GetSystemDirectoryA(system, MAX_PATH), 0u);

  SetEnvironmentVariableA("COMSPEC", At("missing.exe").c_str());
  EXPECT_EQ(RunCommand("exit 0"), -1);

  SetEnvironmentVariableA("COMSPEC", nullptr);
  SetEnvironmentVariableA("PATH", (Dir + "nowhere;\"" + system + "\";").c_str());
  EXPECT_EQ(RunCommand("exit 4"), 4);
  SetEnvironmentVariableA("PATH", Dir.c_str());
  EXPECT_EQ(RunCommand("exit 4"), -1);

  // A CMD.EXE in the current directory comes before the PATH; this one
  // cannot be started.
  SetEnvironmentVariableA("PATH", system);
  Write("CMD.EXE", "not a program");
  fs::current_path(Dir);
  EXPECT_EQ(RunCommand("exit 0"), -1);
}

TEST_F(Platform, InputFileReadsInPieces) { ExpectInputFileReadsInPieces(); }

}  // namespace
