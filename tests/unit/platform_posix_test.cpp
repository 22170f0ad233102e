#include "support/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

#include "support/file_command.h"
#include "platform_fixture.h"

namespace {

namespace fs = std::filesystem;
using Names = PlatformFixture::Names;

class Platform : public PlatformFixture {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vorn-platform-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    Dir = std::string(pattern) + "/";
  }
  void TearDown() override { fs::remove_all(Dir); }

  Names Entries() const {
    Names names;
    for (const auto& entry : fs::directory_iterator(Dir)) {
      names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(Platform, SearchOrdersAndFiltersEntries) {
  for (const char* name : {"b.txt", "A.txt", "_u", "c", "C", ".hidden", "ro"}) Write(name, "12345");
  fs::create_directory(At("Sub"));
  fs::create_directory(At(".hdir"));
  ASSERT_EQ(mkfifo(At("pipe").c_str(), 0666), 0);
  fs::create_symlink("nowhere", At("dangle"));
  fs::create_symlink("b.txt", At("link"));
  fs::permissions(At("ro"), fs::perms::owner_read);

  EXPECT_EQ(List("*", 0), (Names{"A.txt", "b.txt", "C", "c", "link", "ro", "_u"}));
  EXPECT_EQ(List("*", AttrDirectory),
            (Names{".", "..", ".hdir", "A.txt", "b.txt", "C", "c", "link", "ro", "Sub", "_u"}));
  EXPECT_EQ(List("*", AttrHidden),
            (Names{".hdir", ".hidden", "A.txt", "b.txt", "C", "c", "link", "ro", "_u"}));
  EXPECT_EQ(List("*", AttrSystem),
            (Names{"A.txt", "b.txt", "C", "c", "dangle", "link", "pipe", "ro", "_u"}));
  EXPECT_EQ(List("*.TXT", 0), (Names{"A.txt", "b.txt"}));
  EXPECT_EQ(List("*.", AttrDirectory), (Names{".", "..", "C", "c", "link", "ro", "Sub", "_u"}));

  EXPECT_EQ(Find("b.txt").Attributes, AttrArchive);
  EXPECT_EQ(Find("ro").Attributes, AttrReadOnly);
  EXPECT_EQ(Find("Sub").Attributes, AttrDirectory | AttrArchive);
  EXPECT_EQ(Find(".hidden").Attributes, AttrHidden | AttrArchive);
  EXPECT_EQ(Find(".hdir").Attributes, AttrHidden | AttrDirectory | AttrArchive);
  EXPECT_EQ(Find("..").Attributes & AttrSpecial, AttrDirectory);
  EXPECT_EQ(Find("pipe").Attributes & AttrSpecial, AttrSystem);
  EXPECT_EQ(Find("dangle").Attributes & AttrSpecial, AttrSystem);
  EXPECT_EQ(Find("link").Attributes, AttrArchive);
  EXPECT_EQ(Find("link").Size, 5u);
  EXPECT_EQ(Find("Sub").Size, 0u);
}

TEST_F(Platform, SearchWithoutMatchesOrDirectory) { ExpectSearchesFindNothing(); }

TEST_F(Platform, PatternWithoutDirectoryReadsTheCurrentOne) {
  Write("here.txt", "");
  fs::path previous = fs::current_path();
  fs::current_path(Dir);
  FindRecord record;
  int status = SearchStart("*.txt", 0, record);
  fs::current_path(previous);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(record.Name, "here.txt");
  SearchClose(record);
}

TEST_F(Platform, LastWriteTimeIsPackedInLocalTime) {
  setenv("TZ", "UTC", 1);
  tzset();
  Write("t", "");
  Write("old", "");
  struct timespec times[2] = {{0, UTIME_OMIT}, {981173107, 0}};  // 2001-02-03 04:05:07
  ASSERT_EQ(utimensat(AT_FDCWD, At("t").c_str(), times, 0), 0);
  times[1].tv_sec = 86400;  // 1970-01-02
  ASSERT_EQ(utimensat(AT_FDCWD, At("old").c_str(), times, 0), 0);
  FindRecord record = Find("t");
  EXPECT_EQ(record.Date, (21 << 9) | (2 << 5) | 3);
  EXPECT_EQ(record.Time, (4 << 11) | (5 << 5) | 3);
  record = Find("old");
  EXPECT_EQ(record.Date, (1 << 5) | 1);
  EXPECT_EQ(record.Time, 0);
}

TEST_F(Platform, SizeBeyondFourGigabytes) {
  int fd = open(At("big").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 5LL << 30), 0);
  close(fd);
  EXPECT_EQ(Find("big").Size, 5ULL << 30);
}

TEST_F(Platform, DirectoryChecksAndChanges) {
  Write("file", "");
  EXPECT_TRUE(OpenListing(Dir));
  EXPECT_TRUE(OpenListing(""));
  EXPECT_FALSE(OpenListing(At("file")));
  EXPECT_FALSE(OpenListing(At("missing")));

  DirIdentity a, b;
  ASSERT_TRUE(IdentifyDir(Dir, a));
  ASSERT_TRUE(IdentifyDir(Dir + "./", b));
  EXPECT_EQ(a, b);
  ASSERT_TRUE(IdentifyDir("", b));
  EXPECT_NE(a, b);
  EXPECT_FALSE(IdentifyDir(At("file"), b));

  EXPECT_EQ(MakeDir(At("new")), 0);
  EXPECT_NE(MakeDir(At("new")), 0);
  Write("new/x", "");
  EXPECT_NE(RemoveDir(At("new")), 0);
  EXPECT_EQ(RemoveFile(At("new/x")), 0);
  EXPECT_NE(RemoveFile(At("new/x")), 0);
  EXPECT_EQ(RemoveDir(At("new")), 0);
}

TEST_F(Platform, CopyReplacesTheTargetKeepingTimeAndMode) {
  std::string content(3 << 20, 'x');
  content[12345] = '\0';
  Write("src", content);
  chmod(At("src").c_str(), 0640);
  struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 123456789}};
  utimensat(AT_FDCWD, At("src").c_str(), times, 0);
  fs::create_directory(At("out"));
  Write("out/src", "old");

  ASSERT_EQ(RunCommand(BuildCopyCommand(At("src"), At("out/src"))), 0);
  EXPECT_EQ(Read("out/src"), content);
  struct stat info;
  ASSERT_EQ(stat(At("out/src").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(info.st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(info.st_mtim.tv_nsec, 123456789);
  EXPECT_EQ(Entries(), (Names{"out", "src"}));
  EXPECT_EQ(fs::directory_iterator(At("out"))->path().filename(), "src");

  EXPECT_EQ(RunCommand(BuildCopyCommand(At("src"), At("src"))), 0);
  EXPECT_EQ(Read("src"), content);
}

TEST_F(Platform, CopyAndMoveNeverInterpretNames) {
  fs::create_directory(At("to"));
  fs::create_directory(At("moved"));
  for (std::string name : {"a b", "q\"t", "\" \"", "$HOME", "a;b", "a&b", "`id`", "n\nl",
                           "-rf", "x >nul", "*"}) {
    Write(name, name);
    ASSERT_EQ(RunCommand(BuildCopyCommand(At(name), At("to/" + name))), 0) << name;
    EXPECT_EQ(Read("to/" + name), name);
    ASSERT_EQ(RunCommand(BuildMoveCommand(At("to/" + name), At("moved/" + name))), 0);
    EXPECT_EQ(Read("moved/" + name), name);
  }
  EXPECT_EQ(Entries().size(), 13u);
  EXPECT_TRUE(fs::is_empty(At("to")));
}

TEST_F(Platform, FailedCommandsChangeNothing) {
  Write("src", "data");
  fs::create_directory(At("dir"));
  fs::create_directory(At("dir/src"));
  EXPECT_NE(RunCommand(BuildCopyCommand(At("src"), At("missing/src"))), 0);
  EXPECT_NE(RunCommand(BuildCopyCommand(At("src"), At("dir/src"))), 0);
  EXPECT_NE(RunCommand(BuildCopyCommand(At("none"), At("dir/none"))), 0);
  EXPECT_NE(RunCommand(BuildCopyCommand(At("dir"), At("dir2"))), 0);
  EXPECT_NE(RunCommand(BuildMoveCommand(At("src"), At("missing/src"))), 0);
  EXPECT_NE(RunCommand(BuildMoveCommand(At("src"), At("dir/src"))), 0);
  EXPECT_NE(RunCommand(BuildMoveCommand(At("none"), At("dir/none"))), 0);
  EXPECT_NE(RunCommand("del " + At("src")), 0);
  EXPECT_NE(RunCommand("copy \"" + At("src") + "\" \"" + At("dir/x") + "\""), 0);
  EXPECT_EQ(Entries(), (Names{"dir", "src"}));
  EXPECT_EQ(Read("src"), "data");
  EXPECT_TRUE(fs::is_empty(At("dir/src")));
}

TEST_F(Platform, AmbiguousCommandLinesAreRefused) {
  // copy "d/x" "b/x" "c/x" >nul: d/x" "b/x to c/x, or d/x to b/x" "c/x.
  const fs::path previous = fs::current_path();
  fs::current_path(Dir);
  fs::create_directories("d/x\" \"b");
  fs::create_directory("c");
  Write("d/x\" \"b/x", "inner");
  const std::string command = BuildCopyCommand("d/x\" \"b/x", "c/x");
  EXPECT_EQ(RunCommand(command), 0);
  EXPECT_EQ(Read("c/x"), "inner");
  // Once both readings name an existing file and directory, neither is taken.
  Write("d/x", "outer");
  fs::create_directories("b/x\" \"c");
  Write("c/x", "old");
  EXPECT_NE(RunCommand(command), 0);
  EXPECT_EQ(Read("c/x"), "old");
  EXPECT_TRUE(fs::is_empty("b/x\" \"c"));
  fs::current_path(previous);
}

TEST_F(Platform, MoveRenamesOverAnExistingTarget) {
  Write("a", "new");
  Write("b", "old");
  ASSERT_EQ(RunCommand(BuildMoveCommand(At("a"), At("b"))), 0);
  EXPECT_EQ(Entries(), Names{"b"});
  EXPECT_EQ(Read("b"), "new");
}

TEST_F(Platform, MoveAcrossFileSystemsCopiesThenDeletes) {
  struct stat here, shm;
  if (stat("/dev/shm", &shm) != 0 || stat(Dir.c_str(), &here) != 0 ||
      here.st_dev == shm.st_dev) {
    GTEST_SKIP() << "no second file system at /dev/shm";
  }
  std::string target = "/dev/shm/vorn-move-" + std::to_string(getpid());
  Write("a", "across");
  ASSERT_EQ(RunCommand(BuildMoveCommand(At("a"), target)), 0);
  EXPECT_TRUE(Entries().empty());
  EXPECT_EQ(fs::file_size(target), 6u);
  fs::remove(target);
}

TEST_F(Platform, InputFileReadsInPieces) {
  ExpectInputFileReadsInPieces();
  // Never a FIFO either, which would block.
  ASSERT_EQ(mkfifo(At("fifo").c_str(), 0600), 0);
  InputFile fifo(At("fifo"));
  EXPECT_FALSE(fifo.IsOpen());
}

}  // namespace
