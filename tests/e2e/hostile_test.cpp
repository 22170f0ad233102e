// Hostile names and shapes: names with every byte but '/' and NUL, names of
// 255 bytes, trees deeper than PATH_MAX, a directory of 200,000 entries,
// empty and 5 GiB sparse files, symbolic links of every kind, FIFOs, sockets
// and devices. Runs that could hang on a special file are watched: the shim
// kills a run that outlives its timer, which fails the test instead of the
// suite.
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "../fault/fault_scenario.h"

namespace {

const char* const kOld = "2020-02-02 02:02:02";
const char* const kNew = "2024-04-04 04:04:04";
const std::string kWatchdog = "timer:ms=20000:signal=KILL";

std::string Hex(unsigned char byte) {
  char text[3];
  std::snprintf(text, sizeof text, "%02x", byte);
  return text;
}

// Names holding every byte value but '/' and NUL, at the start, inside and
// alone, plus the shapes that trip up shells, command lines and masks. No two
// are equal without regard to letter case, so each pairs only with itself.
std::vector<std::string> HostileNames() {
  std::vector<std::string> names;
  for (int value = 1; value < 256; ++value) {
    const char c = char(value);
    if (c == '/') continue;
    names.push_back(Hex(value) + "-" + c);
    if (c == '.' || (c >= 'a' && c <= 'z')) continue;
    names.push_back(c + std::string("-") + Hex(value));
    names.push_back(std::string(1, c));
  }
  for (const char* name :
       {"-r", "--help", "-", " lead", "trail ", "  ", "\"quoted\"", "it's", "x\" \"y",
        "x\" >nul", "a\" \"b\" \"c", ">nul", "@at", ";semi;", "back\\slash\\", "C:", "D:x",
        "tab\there", "new\nline", "cr\r", "%PATH%", "$HOME", "`id`", "$(id)", "*.*", "*.", "?",
        "[a-z]", "{a,b}", "~", "\x1b[31mred", "\xff\xfe", "caf\xc3\xa9", "x..", "x."})
    names.push_back(name);
  return names;
}

// Directories nested deeper than the system's path limit are made, and later
// removed, one step at a time relative to their parent. Each level is one
// long name, so the limit is passed within a few dozen levels.
const std::string kLevel(100, 'd');

void MakeChain(int top, int depth, const std::vector<int>& filesAt) {
  int fd = dup(top);
  for (int level = 0; level <= depth; ++level) {
    if (std::find(filesAt.begin(), filesAt.end(), level) != filesAt.end()) {
      std::string name = "f" + std::to_string(level);
      int file = openat(fd, name.c_str(), O_WRONLY | O_CREAT, 0644);
      ASSERT_EQ(write(file, name.data(), name.size()), ssize_t(name.size()));
      close(file);
    }
    if (level == depth) break;
    ASSERT_EQ(mkdirat(fd, kLevel.c_str(), 0755), 0);
    int next = openat(fd, kLevel.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
  }
  close(fd);
}

// Empties and removes a chain made by MakeChain.
void RemoveChain(const std::string& dir) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  int depth = 0;
  for (;;) {
    DIR* listing = fdopendir(dup(fd));
    bool deeper = false;
    while (dirent* entry = readdir(listing)) {
      std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      if (name == kLevel) deeper = true;
      else unlinkat(fd, name.c_str(), 0);
    }
    closedir(listing);
    if (!deeper) break;
    int next = openat(fd, kLevel.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
    ++depth;
  }
  for (; depth > 0; --depth) {
    int parent = openat(fd, "..", O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = parent;
    unlinkat(fd, kLevel.c_str(), AT_REMOVEDIR);
  }
  close(fd);
}

// The path of the file at level below top in a chain made by MakeChain.
std::string ChainPath(const std::string& top, int level) {
  std::string path = top;
  for (int i = 0; i < level; ++i) path += "/" + kLevel;
  return path + "/f" + std::to_string(level);
}

// Whether the file exists, looked up one directory at a time.
bool ChainFileExists(const std::string& root, const std::string& top, int level) {
  int fd = open((root + "/" + top).c_str(), O_RDONLY | O_DIRECTORY);
  for (int i = 0; i < level && fd >= 0; ++i) {
    int next = openat(fd, kLevel.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
  }
  if (fd < 0) return false;
  struct stat info;
  bool found = fstatat(fd, ("f" + std::to_string(level)).c_str(), &info, 0) == 0;
  close(fd);
  return found;
}

// A directory on a memory file system when there is one, reached through a
// link in the scenario: a few hundred thousand entries are made there in a
// second rather than a minute.
class FastDirectory {
 public:
  explicit FastDirectory(const std::string& link) {
    std::string pattern = std::filesystem::is_directory("/dev/shm")
                              ? "/dev/shm/vorn-e2e-XXXXXX"
                              : link + "-XXXXXX";
    Path = mkdtemp(pattern.data()) ? pattern : "";
    symlink(Path.c_str(), link.c_str());
  }
  ~FastDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
  std::string Path;
};

// Waits until some process holds a descriptor open on path; false after
// ten seconds.
bool AwaitDescriptorOn(const std::string& path) {
  for (int tries = 0; tries < 10000; ++tries) {
    for (const auto& process : std::filesystem::directory_iterator("/proc")) {
      std::error_code error;
      for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", error)) {
        if (std::filesystem::read_symlink(fd.path(), error) == path) return true;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

}  // namespace

using Hostile = FaultScenario;

TEST_F(Hostile, NamesWithEveryByteAreCopiedPairedAndDeletedExactly) {
  const std::vector<std::string> names = HostileNames();
  Dir("b");
  for (const std::string& name : names) {
    File("a/" + name, name + "\n", kOld);
    File("a/dirs/" + name + "/f", "in " + name + "\n", kOld);
  }
  RunResult copy = RunWithFault({"a/", "b", "Copy1", "All1", "/r", "/q"}, kWatchdog);
  EXPECT_EQ(copy.Status, 0);
  EXPECT_EQ(copy.Err, "");
  EXPECT_EQ(copy.Out.find("ERROR"), std::string::npos);
  EXPECT_EQ(Tree("b"), Tree("a"));
  for (const std::string& name : names) {
    EXPECT_EQ(Read("b/" + name), name + "\n") << name;
    EXPECT_EQ(TimeOf("b/dirs/" + name + "/f"), kOld) << name;
  }
  // Every name pairs with its copy, whose contents compare equal; deleting
  // the matches empties both trees, whose emptied directories go too.
  Expect({"a/", "b", "ListB", "ExactMismatches", "Only1", "Only2", "/r", "/q"}, "");
  RunResult deletion = RunWithFault({"a/", "b", "DelB", "ExactMatches", "/r", "/q"}, kWatchdog);
  EXPECT_EQ(deletion.Status, 0);
  EXPECT_EQ(deletion.Out.find("ERROR"), std::string::npos);
  EXPECT_FALSE(Exists("a"));
  EXPECT_FALSE(Exists("b"));
}

TEST_F(Hostile, NamesOf255BytesAreHandledWhole) {
  const std::string longest(255, 'n'), directory(255, 'd');
  File("a/" + longest, "long name", kNew);
  File("a/" + directory + "/" + longest, "long path", kNew);
  File("b/" + longest, "older", kOld);
  Expect({"a/", "b", "List1", "Newer1"}, Listed("a/*.*", {longest}));
  Expect({"a/", "b", "Update2", "/r", "/q"},
         Lines({"Creating target directory b/" + directory,
                "Trying to create directory b/" + directory}));
  EXPECT_EQ(Read("b/" + longest), "long name");
  EXPECT_EQ(Read("b/" + directory + "/" + longest), "long path");
  EXPECT_EQ(Tree("b"), Tree("a"));
  Expect({"a/", "b", "Sync", "/r", "/q"}, "");
}

// A file that becomes a FIFO between the scan and its use: opening it for
// reading would wait for a writer that never comes.
TEST_F(Hostile, AFileThatTurnsIntoAFifoAfterTheScanNeverHangsTheRun) {
  File("b/x", "plain", kOld);
  for (auto [action, marker] : {std::pair{"Copy1", "All1"}, {"ListB", "ByteMatches"}}) {
    SCOPED_TRACE(action);
    std::filesystem::remove(Abs("a/x"));
    File("a/x", "plain", kOld);
    // Opening a/x waits half a second; meanwhile a/x becomes a FIFO.
    std::thread swap([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      std::filesystem::remove(Abs("a/x"));
      mkfifo(Abs("a/x").c_str(), 0644);
    });
    RunResult run = RunWithFault({"a/", "b", action, marker, "/nt", "/q"},
                                 "open:path=a/x$:delay_us=500000;timer:ms=5000:signal=KILL");
    swap.join();
    EXPECT_NE(run.Status, 128 + SIGKILL) << "the run hung on the FIFO";
    EXPECT_EQ(Read("b/x"), "plain");
  }
}

// A walk through both sides visits a shared subdirectory pair twice, and
// the tree below it in between. A file rewritten meanwhile, even to the
// same size and last-write time, is read again on the second visit; an
// unreadable file is reported on both.
TEST_F(Hostile, AFileChangedBetweenTheTwoVisitsOfItsPairIsComparedAfresh) {
  File("a/s/x.txt", "same", kOld);
  File("b/s/x.txt", "same", kOld);
  File("a/s/deep/y.txt", "only side 1 has deep", kOld);
  ASSERT_EQ(symlink("/proc/self/mem", Abs("a/s/mem.bin").c_str()), 0);
  File("b/s/mem.bin", "");
  // Reading a/s/deep, between the two visits of s, waits a second, while
  // b/s/x.txt is rewritten.
  bool rewritten = false;
  std::thread rewrite([&] {
    if (!AwaitDescriptorOn(Abs("a/s/deep"))) return;
    std::ofstream(Abs("b/s/x.txt"), std::ios::in | std::ios::out) << "diff";
    SetTime("b/s/x.txt", kOld);
    rewritten = true;
  });
  RunResult run = RunWithFault({"a/", "b", "ListB", "ByteMismatches", "/r", "/q"},
                               "fdopendir:path=a/s/deep$:delay_us=1000000;" + kWatchdog);
  rewrite.join();
  ASSERT_TRUE(rewritten) << "the run never read a/s/deep";
  const std::string warning = "WARNING: Could not read file a/s/mem.bin\n";
  EXPECT_EQ(run.Out, warning + Listed("a/s/*.*", {"mem.bin"}) + Listed("b/s/*.*", {"mem.bin"}) +
                         warning + Listed("a/s/*.*", {"mem.bin", "x.txt"}) +
                         Listed("b/s/*.*", {"mem.bin", "x.txt"}));
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(run.Status, 2);
}

// Paths longer than PATH_MAX cannot be handed to the system whole. A file
// out of reach must never be passed over in silence: either it is copied,
// or the run fails.
TEST_F(Hostile, TreesDeeperThanThePathLimitNeverEndInAQuietSuccess) {
  const int levels = PATH_MAX / int(kLevel.size() + 1);
  const int reachable = levels - 3, beyond = levels + 3;
  Dir("a");
  Dir("b");
  int top = open(Abs("a").c_str(), O_RDONLY | O_DIRECTORY);
  MakeChain(top, beyond, {1, reachable, beyond});
  close(top);
  RunResult copy = RunWithFault({"a/", "b", "Copy1", "All1", "/r", "/q"}, kWatchdog);
  EXPECT_EQ(copy.Err, "");
  EXPECT_LT(copy.Status, 128) << "the run crashed or hung";
  EXPECT_TRUE(ChainFileExists(Root, "b", 1));
  EXPECT_TRUE(ChainFileExists(Root, "b", reachable));
  EXPECT_TRUE(ChainFileExists(Root, "b", beyond) || copy.Status != 0)
      << "the file below the path limit was neither copied nor reported";
  EXPECT_TRUE(ChainFileExists(Root, "a", beyond));
  EXPECT_EQ(Read(ChainPath("a", 1)), "f1");
  RemoveChain(Abs("a"));
  RemoveChain(Abs("b"));
}

TEST_F(Hostile, ADirectoryOf200000EntriesIsReadAndPairedWhole) {
  constexpr int kEntries = 200000, kShared = 2000;
  FastDirectory a(Abs("a")), b(Abs("b"));
  for (int i = 0; i < kEntries; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "/n%06d", i);
    close(open((a.Path + name).c_str(), O_WRONLY | O_CREAT, 0644));
    if (i < kShared) close(open((b.Path + name).c_str(), O_WRONLY | O_CREAT, 0644));
  }
  for (const char* name : {"only-a-1", "only-a-2", "only-a-3"})
    File(std::string("a/") + name, name);
  File("b/only-b", "only in b");
  Expect({"a/", "b", "List2", "Only2"}, Listed("b/*.*", {"only-b"}));
  Expect({"a/", "b", "List1", "NotSize01"}, Listed("a/*.*", {"only-a-1", "only-a-2", "only-a-3"}));
  // Only1 marks all but the shared names; only the three non-empty are copied.
  Expect({"a/", "b", "Copy1", "Only1", "/q"}, "");
  Expect({"a/", "b", "ListB", "NotSize0B"},
         Listed("a/*.*", {"only-a-1", "only-a-2", "only-a-3"}) +
             Listed("b/*.*", {"only-a-1", "only-a-2", "only-a-3", "only-b"}));
  Expect({"a/", "b", "ListB", "ExactMismatches", "Only2", "/q"}, Listed("b/*.*", {"only-b"}));
  EXPECT_EQ(Read("b/only-a-2"), "only-a-2");
}

// Found by fuzzing the FileSet text: a first directory that does not exist
// yet, written with a closing "." or "..", is still a directory.
TEST_F(Hostile, AMissingFirstDirectoryWrittenWithADotIsFilledUnderTheRightNames) {
  File("b/x", "data");
  for (const char* first : {"new/.", "deeper/sub/.."}) {
    SCOPED_TRACE(first);
    RunResult copy = Run({first, "b", "Copy2", "All2", "/q"});
    EXPECT_EQ(copy.Status, 0);
    EXPECT_EQ(copy.Err, "");
  }
  EXPECT_EQ(Read("new/x"), "data");
  EXPECT_EQ(Read("deeper/x"), "data");
  EXPECT_FALSE(Exists("new/.x") || Exists("deeper/sub/..x"));
}

TEST_F(Hostile, EmptyAndHugeSparseFilesKeepTheirSizes) {
  constexpr off_t kHuge = off_t(5) << 30;
  Dir("a");
  File("a/empty", "", kNew);
  int fd = open(Abs("a/huge").c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_EQ(ftruncate(fd, kHuge - 3), 0);
  ASSERT_EQ(pwrite(fd, "end", 3, kHuge - 3), 3);
  close(fd);
  SetTime("a/huge", kNew);
  File("b/huge", "x", kOld);
  // Beyond 4 GiB a size must not wrap: the huge file is neither empty nor small.
  Expect({"a/", "b", "List1", "Size01"}, Listed("a/*.*", {"empty"}));
  Expect({"a/", "b", "List1", "Longer1", "NotSize01"}, Listed("a/*.*", {"huge"}));
  Expect({"a/", "b", "Del1", "Size01", "/q"}, "");
  EXPECT_EQ(Tree("a"), Lines({"huge " + std::to_string(kHuge)}));
  File("a/empty", "", kNew);
  // A copy passes empty files over; a move carries them.
  Expect({"a/", "b", "Copy1", "Size01"}, "");
  EXPECT_FALSE(Exists("b/empty"));
  Expect({"a/", "b", "Move1", "All1", "/q"}, "");
  EXPECT_EQ(Tree("a"), "");
  EXPECT_EQ(Tree("b"), Lines({"empty 0", "huge " + std::to_string(kHuge)}));
  EXPECT_EQ(TimeOf("b/huge"), kNew);
}

TEST_F(Hostile, SymbolicLinksAreFollowedButNeverLoopNorLeadIntoTheOtherSide) {
  File("outside/f", "linked file", kOld);
  File("outside/d/g", "in linked dir", kOld);
  File("a/real", "real file", kOld);
  Dir("b");
  for (auto [target, link] : std::vector<std::pair<std::string, std::string>>{
           {"../outside/f", "a/lfile"}, {"../outside/d", "a/ldir"}, {"nowhere", "a/dangling"},
           {"self", "a/self"}, {"loop2", "a/loop1"}, {"loop1", "a/loop2"}, {"../b", "a/tob"},
           {"..", "a/up"}}) {
    ASSERT_EQ(symlink(target.c_str(), Abs(link).c_str()), 0) << link;
  }
  // The link upward leads to the directory holding both sides: neither is
  // entered again, only what lies beside them.
  RunResult listing = RunWithFault({"a/", "b", "List1", "All1", "/r"}, kWatchdog);
  EXPECT_EQ(listing.Out, Listed("a/*.*", {"lfile", "real"}) + Listed("a/ldir/*.*", {"g"}) +
                             Listed("a/up/outside/*.*", {"f"}) +
                             Listed("a/up/outside/d/*.*", {"g"}));
  EXPECT_EQ(listing.Status, 0);
  RunResult copy = RunWithFault({"a/", "b", "Copy1", "All1", "/r", "/q"}, kWatchdog);
  EXPECT_EQ(copy.Status, 0);
  EXPECT_EQ(Tree("b"), Lines({"ldir/", "ldir/g 13", "lfile 11", "real 9", "up/", "up/outside/",
                              "up/outside/d/", "up/outside/d/g 13", "up/outside/f 11"}));
  EXPECT_EQ(Read("b/lfile"), "linked file");
  EXPECT_EQ(Tree("outside"), Lines({"d/", "d/g 13", "f 11"}));
  // A link on the target side is replaced by the copy; what it led to stays.
  std::filesystem::remove(Abs("b/real"));
  ASSERT_EQ(symlink("../outside/f", Abs("b/real").c_str()), 0);
  Expect({"a/", "b", "Copy1", "All1", "/q"}, "");
  EXPECT_EQ(Read("b/real"), "real file");
  EXPECT_FALSE(std::filesystem::is_symlink(Abs("b/real")));
  EXPECT_EQ(Read("outside/f"), "linked file");
}

// A link on one side to the file of the same name on the other side makes
// the pair one file. Taking it for a copy would let a delete of the
// matching source remove the only copy there is.
TEST_F(Hostile, ALinkToTheOtherSidesFileIsNeverTakenForACopyOfIt) {
  for (const char* marker : {"ByteMatches", "ExactMatches"}) {
    SCOPED_TRACE(marker);
    std::filesystem::remove_all(Abs("a"));
    std::filesystem::remove_all(Abs("b"));
    File("a/x", "the only copy", kOld);
    Dir("b");
    ASSERT_EQ(symlink("../a/x", Abs("b/x").c_str()), 0);
    Run({"a/", "b", "Copy1", "All1", "/q"});
    Run({"a/", "b", "Del1", marker, "/q"});
    const bool inA = Exists("a/x") && !std::filesystem::is_symlink(Abs("a/x"));
    const bool inB = Exists("b/x") && !std::filesystem::is_symlink(Abs("b/x"));
    EXPECT_TRUE((inA && Read("a/x") == "the only copy") || (inB && Read("b/x") == "the only copy"));
  }
}

// Two names of one file: a move of one onto the other leaves one name.
TEST_F(Hostile, AMoveOntoAHardLinkOfItselfLeavesTheTargetOnly) {
  File("a/x", "one file, two names", kOld);
  Dir("b");
  ASSERT_EQ(link(Abs("a/x").c_str(), Abs("b/x").c_str()), 0);
  Expect({"a/", "b", "Move1", "All1"}, Lines({"Moving a/x to b/x"}));
  EXPECT_FALSE(Exists("a/x"));
  EXPECT_EQ(Read("b/x"), "one file, two names");
}

TEST_F(Hostile, FifosSocketsAndDevicesAreNeverOpenedNorCopied) {
  File("a/x", "plain", kNew);
  Dir("b");
  ASSERT_EQ(mkfifo(Abs("a/fifo").c_str(), 0644), 0);
  ASSERT_EQ(mkfifo(Abs("b/fifo").c_str(), 0644), 0);
  ASSERT_EQ(symlink("/dev/zero", Abs("a/zero").c_str()), 0);
  ASSERT_EQ(symlink("/dev/zero", Abs("b/zero").c_str()), 0);
  int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", Abs("a/sock").c_str());
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const bool device = mknod(Abs("a/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"a/", "b", "ListB", "All1", "All2"},
        {"a/", "b", "ListB", "ByteMismatches", "ExactMatches", "Only1", "Only2"},
        {"a/", "b", "Sync", "/q"},
        {"a/", "b", "Copy2", "All2", "/q"},
        {"a/", "b", "Del2", "All2", "/q"}}) {
    RunResult result = RunWithFault(arguments, kWatchdog);
    EXPECT_EQ(result.Status, 0) << arguments[2];
    EXPECT_EQ(result.Err, "");
  }
  Expect({"a/", "b", "ListB", "All1", "All2"}, Listed("a/*.*", {"x"}));
  EXPECT_EQ(Read("a/x"), "plain");
  EXPECT_FALSE(Exists("b/x"));
  close(sock);
  struct stat info;
  EXPECT_TRUE(stat(Abs("a/fifo").c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
  EXPECT_TRUE(stat(Abs("b/fifo").c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
  EXPECT_TRUE(stat(Abs("a/sock").c_str(), &info) == 0 && S_ISSOCK(info.st_mode));
  if (device) {
    EXPECT_TRUE(stat(Abs("a/null").c_str(), &info) == 0 && S_ISCHR(info.st_mode));
  }
  EXPECT_TRUE(std::filesystem::is_symlink(Abs("b/zero")));
}
