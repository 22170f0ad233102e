#include "support/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

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

constexpr FileOpStatus Done = FileOpStatus::Done;
constexpr FileOpStatus Failed = FileOpStatus::Failed;
constexpr FileOpStatus Taken = FileOpStatus::TargetTaken;

TEST_F(Platform, CopyReplacesTheTargetKeepingTimeAndMode) {
  std::string content(3 << 20, 'x');
  content[12345] = '\0';
  Write("src", content);
  chmod(At("src").c_str(), 0640);
  struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 123456789}};
  utimensat(AT_FDCWD, At("src").c_str(), times, 0);
  fs::create_directory(At("out"));
  Write("out/src", "old");

  ASSERT_EQ(CopyOneFile(At("src"), At("out/src"), true), Done);
  EXPECT_EQ(Read("out/src"), content);
  struct stat info;
  ASSERT_EQ(stat(At("out/src").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(info.st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(info.st_mtim.tv_nsec, 123456789);
  EXPECT_EQ(Entries(), (Names{"out", "src"}));
  EXPECT_EQ(fs::directory_iterator(At("out"))->path().filename(), "src");
  ASSERT_EQ(CopyOneFile(At("src"), At("new"), false), Done);
  EXPECT_EQ(Read("new"), content);

  EXPECT_EQ(CopyOneFile(At("src"), At("src"), true), Done);
  EXPECT_EQ(Read("src"), content);
}

TEST_F(Platform, CopyAndMoveNeverInterpretNames) {
  fs::create_directory(At("to"));
  fs::create_directory(At("moved"));
  for (std::string name : {"a b", "q\"t", "\" \"", "q\" \"q", "$HOME", "a;b", "a&b", "`id`",
                           "n\nl", "-rf", "x >nul", "*", "%OS%", "!x!^"}) {
    Write(name, name);
    ASSERT_EQ(CopyOneFile(At(name), At("to/" + name), false), Done) << name;
    EXPECT_EQ(Read("to/" + name), name);
    ASSERT_EQ(MoveOneFile(At("to/" + name), At("moved/" + name), false), Done);
    EXPECT_EQ(Read("moved/" + name), name);
  }
  EXPECT_EQ(Entries().size(), 16u);
  EXPECT_TRUE(fs::is_empty(At("to")));
}

// Nothing is replaced that the caller did not allow, nor ever a directory,
// and a failure leaves no trace.
TEST_F(Platform, FailedOrRefusedOperationsChangeNothing) {
  Write("src", "data");
  Write("other", "other");
  fs::create_directory(At("dir"));
  fs::create_directory(At("dir/src"));
  EXPECT_EQ(CopyOneFile(At("src"), At("missing/src"), true), Failed);
  EXPECT_EQ(CopyOneFile(At("none"), At("dir/none"), true), Failed);
  EXPECT_EQ(CopyOneFile(At("dir"), At("dir2"), true), Failed);
  EXPECT_EQ(MoveOneFile(At("src"), At("missing/src"), true), Failed);
  EXPECT_EQ(MoveOneFile(At("none"), At("dir/none"), true), Failed);
  EXPECT_EQ(MoveOneFile(At("dir"), At("dir2"), false), Failed);
  for (bool mayReplace : {false, true}) {
    EXPECT_EQ(CopyOneFile(At("src"), At("dir/src"), mayReplace), Taken);
    EXPECT_EQ(MoveOneFile(At("src"), At("dir/src"), mayReplace), Taken);
  }
  EXPECT_EQ(CopyOneFile(At("src"), At("other"), false), Taken);
  EXPECT_EQ(MoveOneFile(At("src"), At("other"), false), Taken);
  fs::create_symlink("nowhere", At("dangling"));
  EXPECT_EQ(CopyOneFile(At("src"), At("dangling"), false), Taken);
  EXPECT_EQ(MoveOneFile(At("src"), At("dangling"), false), Taken);
  EXPECT_EQ(Entries(), (Names{"dangling", "dir", "other", "src"}));
  EXPECT_EQ(Read("src"), "data");
  EXPECT_EQ(Read("other"), "other");
  EXPECT_TRUE(fs::is_empty(At("dir/src")));
}

TEST_F(Platform, MoveRenamesOverAnExistingTargetOnlyWhenAllowed) {
  Write("a", "new");
  Write("b", "old");
  ASSERT_EQ(MoveOneFile(At("a"), At("b"), true), Done);
  EXPECT_EQ(Entries(), Names{"b"});
  EXPECT_EQ(Read("b"), "new");
  // A link at the target gives way to the file it leads to, which stays.
  fs::create_symlink("b", At("link"));
  ASSERT_EQ(MoveOneFile(At("b"), At("link"), true), Done);
  EXPECT_EQ(Entries(), Names{"link"});
  EXPECT_FALSE(fs::is_symlink(At("link")));
  EXPECT_EQ(Read("link"), "new");
  // Another name of the very same file: the source name goes, the file stays.
  fs::create_hard_link(At("link"), At("hard"));
  ASSERT_EQ(MoveOneFile(At("hard"), At("link"), true), Done);
  EXPECT_EQ(Entries(), Names{"link"});
  EXPECT_EQ(Read("link"), "new");
}

TEST_F(Platform, MoveAcrossFileSystemsCopiesThenDeletes) {
  struct stat here, shm;
  if (stat("/dev/shm", &shm) != 0 || stat(Dir.c_str(), &here) != 0 ||
      here.st_dev == shm.st_dev) {
    GTEST_SKIP() << "no second file system at /dev/shm";
  }
  std::string target = "/dev/shm/vorn-move-" + std::to_string(getpid());
  Write("a", "across");
  Write("b", "stays");
  ASSERT_EQ(MoveOneFile(At("a"), target, false), Done);
  EXPECT_EQ(MoveOneFile(At("b"), target, false), Taken);
  EXPECT_EQ(Entries(), Names{"b"});
  EXPECT_EQ(fs::file_size(target), 6u);
  fs::remove(target);
}

TEST_F(Platform, LinksAreToldFromDirectories) {
  fs::create_directory(At("dir"));
  fs::create_directory_symlink("dir", At("link"));
  EXPECT_TRUE(IsLink(At("link")));
  EXPECT_TRUE(IsLink(At("link/")));
  EXPECT_FALSE(IsLink(At("dir/")));
  EXPECT_FALSE(IsLink(At("none")));
}

TEST_F(Platform, InputFileReadsInPieces) {
  ExpectInputFileReadsInPieces();
  // Never a FIFO either, which would block.
  ASSERT_EQ(mkfifo(At("fifo").c_str(), 0600), 0);
  InputFile fifo(At("fifo"));
  EXPECT_FALSE(fifo.IsOpen());
}

}  // namespace
