// The machine's floors for the benchmark workloads: the least work any
// program must do for each, timed on the same trees. Built and run by
// run_bench.py (g++ -O2 -std=c++20 floors.cpp -o floors), or by hand:
//
//   floors stat ROOT...        one directory read and one fstatat per entry,
//                              every tree walked depth first
//   floors read2 A B           open, read to the end and close every file of
//                              tree A and its twin in B, comparing the bytes
//   floors create DIR N SIZE [rename|unnamed]
//                              create N files of SIZE bytes in DIR; with
//                              rename, each under a temporary name first;
//                              with unnamed, each without a name (O_TMPFILE)
//                              and named once written (linkat)
//   floors memcmp MIB          compare two warm buffers of MIB MiB
//   floors read FILE           read a (warm) file to the end, 1 MiB at a time
//   floors compare A B         read two files to the end in pieces of
//                              1,024,000 bytes into page-aligned buffers,
//                              comparing as it goes
//   floors offset A B N        the same, warm, with both buffers N bytes
//                              past a page boundary: on some processors the
//                              kernel copies into a buffer 16 bytes past one
//                              several times slower (try 0, 16 and 4080)
//   floors comparetrees A B    a directory read and one fstatat per entry of
//                              both trees, then every file of A read and
//                              compared with its twin in B as compare does
//   floors createtree SRC DST  DST made as a tree of SRC's directories and
//                              files of SRC's sizes: one fstatat per entry
//                              of SRC, then mkdir, or open, write, close
//
// Each prints one line: what it did, the time, and the time per item.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void Report(const char* what, double seconds, double items, const char* unit) {
  std::printf("%s: %.4f s, %.3f %s\n", what, seconds, seconds / items * 1e6, unit);
}

// Entries and directories seen by a walk.
struct Walk {
  long Entries = 0;
  // When wanted: the files' relative paths and sizes, and the directories'
  // relative paths, parents first.
  std::vector<std::string> Files;
  std::vector<long> Sizes;
  std::vector<std::string> Directories;
};

void WalkTree(const std::string& root, const std::string& relative, Walk& walk, bool keep) {
  int fd = open((root + relative).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  DIR* stream = fdopendir(fd);
  std::vector<std::string> subdirectories;
  while (struct dirent* entry = readdir(stream)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    struct stat info;
    if (fstatat(fd, entry->d_name, &info, 0) != 0) continue;
    ++walk.Entries;
    if (S_ISDIR(info.st_mode)) {
      subdirectories.push_back(relative + entry->d_name + "/");
    } else if (keep) {
      walk.Files.push_back(relative + entry->d_name);
      walk.Sizes.push_back(info.st_size);
    }
  }
  closedir(stream);
  for (const std::string& sub : subdirectories) {
    if (keep) walk.Directories.push_back(sub);
    WalkTree(root, sub, walk, keep);
  }
}

// Reads the whole file into buffer (which grows), as one read and the read
// that finds the end. -1 on failure.
long ReadWhole(const std::string& path, std::vector<char>& buffer) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  long total = 0;
  for (;;) {
    if (buffer.size() < size_t(total) + (1 << 20)) buffer.resize(total + (1 << 20));
    ssize_t got = read(fd, buffer.data() + total, buffer.size() - total);
    if (got <= 0) break;
    total += got;
  }
  close(fd);
  return total;
}

// The piece Vorn reads a file in.
constexpr size_t kPiece = 1024000;

// A buffer of kPiece bytes that starts offset bytes past a page boundary.
class PieceBuffer {
 public:
  explicit PieceBuffer(size_t offset)
      : Base(static_cast<char*>(::operator new(kPiece + 4096, std::align_val_t(4096)))),
        Start(Base + offset) {}
  ~PieceBuffer() { ::operator delete(Base, std::align_val_t(4096)); }
  PieceBuffer(const PieceBuffer&) = delete;
  PieceBuffer& operator=(const PieceBuffer&) = delete;
  char* Get() const { return Start; }

 private:
  char* Base;
  char* Start;
};

// Fills buffer with up to kPiece bytes; the count, below kPiece only at the end.
long ReadPiece(int fd, char* buffer) {
  long total = 0;
  while (total < long(kPiece)) {
    ssize_t got = read(fd, buffer + total, kPiece - total);
    if (got <= 0) break;
    total += got;
  }
  return total;
}

// Reads both files to the end, piece by piece, comparing as it goes: true
// when equal, false when they differ or one cannot be opened.
bool CompareTwo(const std::string& a, const std::string& b, const PieceBuffer& x,
                const PieceBuffer& y) {
  int fa = open(a.c_str(), O_RDONLY | O_CLOEXEC);
  int fb = open(b.c_str(), O_RDONLY | O_CLOEXEC);
  bool equal = fa >= 0 && fb >= 0;
  while (equal) {
    long p = ReadPiece(fa, x.Get());
    long q = ReadPiece(fb, y.Get());
    equal = p == q && std::memcmp(x.Get(), y.Get(), p) == 0;
    if (p < long(kPiece)) break;
  }
  if (fa >= 0) close(fa);
  if (fb >= 0) close(fb);
  return equal;
}

int Compare(const std::string& a, const std::string& b) {
  PieceBuffer x(0), y(0);
  auto start = Clock::now();
  bool equal = CompareTwo(a, b, x, y);
  double seconds = Seconds(start);
  std::printf("compare: page-aligned buffers: %.4f s, %s\n", seconds, equal ? "equal" : "differ");
  return 0;
}

int Offset(const std::string& a, const std::string& b, size_t offset) {
  PieceBuffer x(offset), y(offset);
  CompareTwo(a, b, x, y);  // the files warm, the buffers' pages mapped
  struct stat info;
  if (stat(a.c_str(), &info) != 0) return 1;
  auto start = Clock::now();
  bool equal = CompareTwo(a, b, x, y);
  double seconds = Seconds(start);
  std::printf("offset: buffers at page + %zu: %.4f s, %.2f GB/s\n", offset, seconds,
              2.0 * info.st_size / seconds / 1e9);
  return equal ? 0 : 1;  // the files are equal: a difference is a fault
}

int CompareTrees(const std::string& a, const std::string& b) {
  auto start = Clock::now();
  Walk walkA, walkB;
  WalkTree(a + "/", "", walkA, true);
  WalkTree(b + "/", "", walkB, false);
  PieceBuffer x(0), y(0);
  long differ = 0;
  for (const std::string& file : walkA.Files) differ += !CompareTwo(a + "/" + file, b + "/" + file, x, y);
  Report("comparetrees: both trees read and statted, every pair compared", Seconds(start),
         walkA.Files.size(), "us per pair");
  std::printf("  (%ld pairs differ)\n", differ);
  return 0;
}

int CreateTree(const std::string& source, const std::string& target) {
  auto start = Clock::now();
  Walk walk;
  WalkTree(source + "/", "", walk, true);
  for (const std::string& directory : walk.Directories)
    if (mkdir((target + "/" + directory).c_str(), 0755) != 0) return 1;
  std::vector<char> data(1 << 20, 'x');
  for (size_t i = 0; i < walk.Files.size(); ++i) {
    int fd = open((target + "/" + walk.Files[i]).c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return 1;
    for (long left = walk.Sizes[i]; left > 0;) {
      ssize_t written = write(fd, data.data(), std::min<long>(left, data.size()));
      if (written <= 0) return 1;
      left -= written;
    }
    close(fd);
  }
  Report("createtree: the source's tree created and written", Seconds(start), walk.Files.size(),
         "us per file");
  return 0;
}

int Stat(int count, char** roots) {
  auto start = Clock::now();
  Walk walk;
  for (int i = 0; i < count; ++i) WalkTree(std::string(roots[i]) + "/", "", walk, false);
  Report("stat: directory reads and one fstatat per entry", Seconds(start), walk.Entries,
         "us per entry");
  return 0;
}

int Read2(const std::string& a, const std::string& b) {
  Walk walk;
  WalkTree(a + "/", "", walk, true);
  std::vector<char> x, y;
  long differ = 0;
  auto start = Clock::now();
  for (const std::string& file : walk.Files) {
    long p = ReadWhole(a + "/" + file, x);
    long q = ReadWhole(b + "/" + file, y);
    differ += p != q || std::memcmp(x.data(), y.data(), p) != 0;
  }
  Report("read2: open, read to the end, close, compare (two files)", Seconds(start),
         walk.Files.size(), "us per pair");
  std::printf("  (%ld pairs differ)\n", differ);
  return 0;
}

enum class Naming { Direct, Renamed, Unnamed };

// Opens the file that will be path: under its own name, a temporary one, or
// none.
int OpenForCreate(const std::string& directory, const std::string& path,
                  const std::string& temporary, Naming naming) {
  if (naming == Naming::Unnamed) return open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
  const std::string& name = naming == Naming::Renamed ? temporary : path;
  return open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
}

bool GiveName(int fd, const std::string& path, const std::string& temporary, Naming naming) {
  if (naming == Naming::Renamed) return std::rename(temporary.c_str(), path.c_str()) == 0;
  if (naming == Naming::Direct) return true;
  if (linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) return true;
  std::string self = "/proc/self/fd/" + std::to_string(fd);
  return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

int Create(const std::string& directory, long count, long size, Naming naming) {
  std::vector<char> data(size, 'x');
  auto start = Clock::now();
  for (long i = 0; i < count; ++i) {
    std::string path = directory + "/f" + std::to_string(i);
    std::string temporary = directory + "/.tmp" + std::to_string(i);
    int fd = OpenForCreate(directory, path, temporary, naming);
    if (fd < 0 || write(fd, data.data(), size) != size) return 1;
    // A file without a name must be named while it is open.
    bool named = naming == Naming::Unnamed && GiveName(fd, path, temporary, naming);
    close(fd);
    if (naming != Naming::Unnamed) named = GiveName(fd, path, temporary, naming);
    if (!named) return 1;
  }
  const char* what[] = {"create: open, write, close", "create: open, write, close, rename",
                        "create: open unnamed, write, name, close"};
  Report(what[int(naming)], Seconds(start), count, "us per file");
  return 0;
}

int Memcmp(long mib) {
  size_t size = size_t(mib) << 20;
  std::vector<char> x(size, 'a'), y(size, 'a');
  auto start = Clock::now();
  int result = std::memcmp(x.data(), y.data(), size);
  double seconds = Seconds(start);
  std::printf("memcmp: %ld MiB against %ld MiB: %.4f s, %.2f GB/s\n", mib, mib, seconds,
              2.0 * size / seconds / 1e9);
  return result == 0 ? 0 : 1;  // the buffers are equal: a difference is a fault
}

int ReadFile(const std::string& path) {
  std::vector<char> buffer(1 << 20);
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 1;
  auto start = Clock::now();
  long total = 0;
  for (ssize_t got; (got = read(fd, buffer.data(), buffer.size())) > 0;) total += got;
  double seconds = Seconds(start);
  close(fd);
  std::printf("read: %ld MiB: %.4f s, %.2f GB/s\n", total >> 20, seconds, total / seconds / 1e9);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "stat" && argc > 2) return Stat(argc - 2, argv + 2);
  if (mode == "read2" && argc == 4) return Read2(argv[2], argv[3]);
  if (mode == "create" && (argc == 5 || argc == 6)) {
    std::string how = argc == 6 ? argv[5] : "";
    Naming naming = how == "rename" ? Naming::Renamed : how == "unnamed" ? Naming::Unnamed : Naming::Direct;
    if (how.empty() || naming != Naming::Direct)
      return Create(argv[2], std::atol(argv[3]), std::atol(argv[4]), naming);
  }
  if (mode == "memcmp" && argc == 3) return Memcmp(std::atol(argv[2]));
  if (mode == "read" && argc == 3) return ReadFile(argv[2]);
  if (mode == "compare" && argc == 4) return Compare(argv[2], argv[3]);
  if (mode == "offset" && argc == 5) return Offset(argv[2], argv[3], std::atol(argv[4]));
  if (mode == "comparetrees" && argc == 4) return CompareTrees(argv[2], argv[3]);
  if (mode == "createtree" && argc == 4) return CreateTree(argv[2], argv[3]);
  std::fprintf(stderr, "usage: see the comment at the top of floors.cpp\n");
  return 2;
}
