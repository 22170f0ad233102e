// SIGKILL in the middle of copying and of moving a large file. Whenever the
// process dies, every file is whole in one place at least and no target is
// truncated; a killed copy over an old target leaves a hidden temporary that
// later runs never list, copy or pair, one to a fresh name leaves nothing. Kill points are exact calls (the shim kills the
// process there) and timers that strike wherever the copy has got to.
#include <fcntl.h>
#include <unistd.h>

#include <functional>

#include "../fault/fault_scenario.h"

namespace {

constexpr off_t kMiB = 1 << 20;
constexpr off_t kBigSize = 300 * kMiB;
const char* const kOld = "2020-02-02 02:02:02";
const char* const kNew = "2024-04-04 04:04:04";
const int kKilled = 128 + SIGKILL;

const std::string kNoClone = "ioctl:errno=EOPNOTSUPP;";
// The kernel copies in 1 MiB steps, 2 ms apart: 600 ms for the whole file.
const std::string kSlowCopy = kNoClone + "copy_file_range:max=1048576:delay_us=2000;";
const std::string kAcrossDevices = "rename:path=a/big$:errno=EXDEV;";

// The rule for a byte-moving call, made to kill once that many bytes went.
std::string KillAfter(const std::string& rule, off_t bytes) {
  return rule + ":after=" + std::to_string(bytes) + ":signal=KILL";
}

}  // namespace

class Kill : public FaultScenario {
 protected:
  // A sparse file with real data at its start, middle and end, each word of
  // it telling its own offset, so a misplaced or missing piece shows.
  void MakeBig(const std::string& path) {
    Dir("a");
    int fd = open(Abs(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, kBigSize), 0);
    std::vector<uint64_t> words(kMiB / sizeof(uint64_t));
    for (off_t start : {off_t(0), kBigSize / 2 + 12345, kBigSize - kMiB}) {
      for (size_t i = 0; i < words.size(); ++i) words[i] = uint64_t(start) + i * 8;
      ASSERT_EQ(pwrite(fd, words.data(), kMiB, start), kMiB);
    }
    close(fd);
    SetTime(path, kNew);
  }

  // Size and a digest of the contents; "missing" for no file.
  std::string Fingerprint(const std::string& path) const {
    if (!Exists(path)) return "missing";
    std::ifstream in(Abs(path), std::ios::binary);
    std::string chunk(kMiB, '\0');
    size_t digest = 0, size = 0;
    while (in.read(chunk.data(), kMiB) || in.gcount() > 0) {
      std::string_view piece(chunk.data(), size_t(in.gcount()));
      digest = digest * 1000003 ^ std::hash<std::string_view>()(piece);
      size += piece.size();
    }
    return std::to_string(size) + ":" + std::to_string(digest);
  }

  // Runs vorn under rules that end with its death and checks what is left:
  // check sees the fingerprints of a/big and b/big.
  void KillDuring(const std::vector<std::string>& arguments, const std::string& rules,
                  const std::function<void(const std::string&, const std::string&)>& check) {
    SCOPED_TRACE(rules);
    RunResult result = RunWithFault(arguments, rules);
    EXPECT_EQ(result.Status, kKilled);
    EXPECT_EQ(result.Err, "");
    check(Fingerprint("a/big"), Fingerprint("b/big"));
    // The leftover is hidden: a listing sees only the real files.
    std::string listed;
    for (const char* side : {"a", "b"}) {
      if (Exists(std::string(side) + "/big"))
        listed += Lines({std::string("**************** In directory ") + side + "/*.*:",
                         "big                 "});
    }
    Expect({"a/", "b", "ListB", "All1", "All2"}, listed);
    for (const std::string& name : Temporaries("b")) std::filesystem::remove(Abs("b/" + name));
  }
};

TEST_F(Kill, AKilledCopyLeavesTheOldTargetOrTheWholeNewOne) {
  MakeBig("a/big");
  File("b/big", "old target", kOld);
  const std::string whole = Fingerprint("a/big"), old = Fingerprint("b/big");
  auto check = [&](const std::string& source, const std::string& target) {
    EXPECT_EQ(source, whole);
    EXPECT_TRUE(target == old || target == whole) << target;
  };
  const std::vector<std::string> copy = {"a/", "b", "Copy1", "All1", "/q"};
  for (const std::string& rules :
       {kNoClone + "copy_file_range:errno=EXDEV;" + KillAfter("write", 100 * kMiB),
        kNoClone + KillAfter("copy_file_range:max=1048576", 150 * kMiB),
        std::string("fchmod:signal=KILL"), std::string("rename:path=/.vorn-:signal=KILL"),
        kSlowCopy + "timer:ms=60:signal=KILL", kSlowCopy + "timer:ms=300:signal=KILL"}) {
    KillDuring(copy, rules, check);
  }

  // A leftover temporary is never listed, copied or paired, and the next run
  // copies the file whole.
  RunWithFault(copy, kNoClone + KillAfter("copy_file_range:max=1048576", 10 * kMiB));
  ASSERT_EQ(Temporaries("b").size(), 1u);
  const std::string leftover = Temporaries("b")[0];
  Expect({"a/", "b", "Sync", "/q"}, "");
  Expect({"a/", "b", "Copy2", "All2", "/q"}, "");
  EXPECT_EQ(Fingerprint("b/big"), whole);
  EXPECT_EQ(TimeOf("b/big"), kNew);
  EXPECT_EQ(Temporaries("a"), std::vector<std::string>{});
  EXPECT_EQ(Temporaries("b"), std::vector<std::string>{leftover});
}

TEST_F(Kill, AKilledCopyToAFreshNameLeavesNothingOrTheWholeFile) {
  MakeBig("a/big");
  Dir("b");
  const std::string whole = Fingerprint("a/big");
  auto check = [&](const std::string& source, const std::string& target) {
    EXPECT_EQ(source, whole);
    EXPECT_TRUE(target == "missing" || target == whole) << target;
  };
  const std::vector<std::string> copy = {"a/", "b", "Copy1", "All1", "/q"};
  for (const std::string& rules :
       {kNoClone + KillAfter("copy_file_range:max=1048576", 150 * kMiB),
        std::string("futimens:signal=KILL"), std::string("linkat:signal=KILL"),
        std::string("close:path= (deleted)$:signal=KILL"),
        kSlowCopy + "timer:ms=300:signal=KILL"}) {
    KillDuring(copy, rules, check);
    EXPECT_EQ(Temporaries("b"), std::vector<std::string>{});
    std::filesystem::remove(Abs("b/big"));
  }
}

TEST_F(Kill, AKilledMoveLeavesTheFileWholeInOnePlaceAtLeast) {
  MakeBig("a/big");
  File("b/big", "old target", kOld);
  const std::string whole = Fingerprint("a/big"), old = Fingerprint("b/big");
  auto check = [&](const std::string& source, const std::string& target) {
    EXPECT_TRUE(source == whole || source == "missing") << source;
    EXPECT_TRUE(target == old || target == whole) << target;
    EXPECT_TRUE(source == whole || target == whole);
  };
  const std::vector<std::string> move = {"a/", "b", "Move1", "All1", "/q"};
  // Within one file system the move is a single rename.
  KillDuring(move, "rename:signal=KILL", check);
  // Across file systems it is a copy, then the removal of the source.
  for (const std::string& rules :
       {kAcrossDevices + kNoClone + "copy_file_range:errno=EXDEV;" + KillAfter("write", 100 * kMiB),
        kAcrossDevices + "rename:path=/.vorn-:signal=KILL",
        kAcrossDevices + "unlink:path=a/big$:signal=KILL",
        kAcrossDevices + kSlowCopy + "timer:ms=60:signal=KILL",
        kAcrossDevices + kSlowCopy + "timer:ms=300:signal=KILL"}) {
    KillDuring(move, rules, check);
    if (!Exists("a/big")) std::filesystem::rename(Abs("b/big"), Abs("a/big"));
    File("b/big", "old target", kOld);
  }
}
