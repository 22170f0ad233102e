#include "support/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

#include "support/dos_time.h"
#include "support/mask_match.h"
#include "support/page_buffer.h"
#include "support/strings.h"

// ---------------------------------------------------------------------------
// Directory search

// A search reads its directory completely at the start, so the entries can
// be delivered in name order and a directory changing underneath cannot
// disturb the sequence. The names stand end to end in one text and the
// entries are small, so a directory of a million names costs two
// allocations that grow, and sorting it moves little memory.
struct SearchState {
  struct Entry {
    uint64_t Key = 0;  // the name's first eight folded bytes, for a quick order
    uint64_t Size = 0;
    uint64_t NameAt : 48 = 0;     // in Names
    uint64_t NameLength : 16 = 0;  // a directory entry's name has at most 255 bytes
    uint32_t Attributes = 0;
    uint16_t Time = 0;
    uint16_t Date = 0;
  };
  std::string Names;
  std::vector<Entry> Entries;
  size_t Next = 0;

  std::string_view NameOf(const Entry& entry) const {
    return std::string_view(Names).substr(entry.NameAt, entry.NameLength);
  }
};

namespace {

using SearchEntry = SearchState::Entry;


// Closes a descriptor on every path out of a function.
class Descriptor {
 public:
  explicit Descriptor(int fd) : Fd(fd) {}
  ~Descriptor() {
    if (Fd >= 0) close(Fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int Get() const { return Fd; }
  bool IsOpen() const { return Fd >= 0; }
  int Release() { return std::exchange(Fd, -1); }
  // Closes now, reporting a failure that a later close would have swallowed.
  bool CloseChecked() {
    int fd = Fd;
    Fd = -1;
    return close(fd) == 0;
  }

 private:
  int Fd;
};

class DirectoryStream {
 public:
  explicit DirectoryStream(DIR* stream) : Stream(stream) {}
  ~DirectoryStream() {
    if (Stream != nullptr) closedir(Stream);
  }
  DirectoryStream(const DirectoryStream&) = delete;
  DirectoryStream& operator=(const DirectoryStream&) = delete;

  DIR* Get() const { return Stream; }

 private:
  DIR* Stream;
};

const char* OrCurrentDirectory(const std::string& path) {
  return path.empty() ? "." : path.c_str();
}

// Opens path for reading only when it is a regular file: a FIFO that took a
// file's place would block the run, a device would never end. info then
// describes the open file.
int OpenRegularFile(const std::string& path, struct stat& info) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
    close(fd);
    return -1;
  }
  return fd;
}

DirIdentity IdentityOf(const struct stat& info) {
  return {uint64_t(info.st_dev), uint64_t(info.st_ino)};
}

int64_t Nanoseconds(const struct timespec& time) {
  return int64_t(time.tv_sec) * 1000000000 + time.tv_nsec;
}

FileStamp StampOf(const struct stat& info) {
  return {IdentityOf(info), uint64_t(info.st_size), Nanoseconds(info.st_mtim),
          Nanoseconds(info.st_ctim)};
}

std::string ParentOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

int OpenDirectory(const char* path) {
  return open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Splits a search pattern at its last separator; the directory part keeps
// that separator so the system sees the text exactly as given.
void SplitPattern(const std::string& pattern, std::string& directory, std::string& mask) {
  size_t separator = pattern.find_last_of("/\\");
  if (separator == std::string::npos) {
    directory = ".";
    mask = pattern;
    return;
  }
  directory = pattern.substr(0, separator + 1);
  mask = pattern.substr(separator + 1);
}

bool IsDotDirectory(std::string_view name) { return name == "." || name == ".."; }

uint32_t HiddenAttribute(std::string_view name) {
  return name[0] == '.' && !IsDotDirectory(name) ? AttrHidden : 0;
}

uint32_t KindAttributes(const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return AttrDirectory;
  if (S_ISREG(info.st_mode)) return 0;
  return AttrSystem;
}

// The kind that the type a directory read reports settles without a stat;
// none for a link or an unknown type, which only a stat through it can tell.
std::optional<uint32_t> KindOfType(unsigned char type) {
  switch (type) {
    case DT_REG:
      return 0;
    case DT_DIR:
      return AttrDirectory;
    case DT_LNK:
    case DT_UNKNOWN:
      return std::nullopt;
    default:
      return AttrSystem;
  }
}

uint32_t PermissionAttribute(const struct stat& info) {
  return (info.st_mode & S_IWUSR) ? AttrArchive : AttrReadOnly;
}

void SetLocalTime(time_t seconds, SearchEntry& entry) {
  struct tm local {};
  constexpr int Unknown = 0;  // packs as the earliest date there is
  DosDateTime packed = localtime_r(&seconds, &local) == nullptr
                           ? PackDosDateTime(Unknown, 1, 1, 0, 0, 0)
                           : PackDosDateTime(local.tm_year + 1900, local.tm_mon + 1,
                                             local.tm_mday, local.tm_hour,
                                             local.tm_min, local.tm_sec);
  entry.Date = packed.Date;
  entry.Time = packed.Time;
}

// An entry bit of the search alone, never delivered as an attribute: the
// entry is a link, or a file with more than one name.
constexpr uint32_t Shared = 0x40000000;

// Describes one entry as seen through symbolic links; a link that leads
// nowhere still exists as a system entry. carried holds the bits known
// before. False when the entry is gone.
bool DescribeEntry(int directory, const char* name, uint32_t carried, SearchEntry& entry) {
  struct stat info;
  uint32_t kind;
  if (fstatat(directory, name, &info, 0) == 0) {
    kind = KindAttributes(info);
  } else if (fstatat(directory, name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
    kind = AttrSystem;
  } else {
    return false;
  }
  if (info.st_nlink > 1 && kind == 0) carried |= Shared;
  entry.Attributes = kind | PermissionAttribute(info) | carried;
  // A directory's own size is a detail of the file system, not content.
  entry.Size = (kind & AttrDirectory) ? 0 : uint64_t(info.st_size);
  SetLocalTime(info.st_mtime, entry);
  return true;
}

unsigned char Folded(char c) { return static_cast<unsigned char>(FoldCase(c)); }

// The first eight folded bytes, big end first, padded with zero bytes: two
// keys that differ order their names as FoldedLess does, since a name holds
// no zero byte and a shorter name sorts first.
uint64_t FoldedKey(std::string_view name) {
  uint64_t key = 0;
  for (size_t i = 0; i < 8; ++i) key = (key << 8) | (i < name.size() ? Folded(name[i]) : 0);
  return key;
}

// Letters fold to capitals, so '_' and the other marks between 'Z' and 'a'
// sort after every letter.
bool FoldedLess(std::string_view x, std::string_view y) {
  size_t common = std::min(x.size(), y.size());
  for (size_t i = 0; i < common; ++i) {
    unsigned char p = Folded(x[i]);
    unsigned char q = Folded(y[i]);
    if (p != q) return p < q;
  }
  if (x.size() != y.size()) return x.size() < y.size();
  return x < y;
}

void SortByName(SearchState& search) {
  std::sort(search.Entries.begin(), search.Entries.end(),
            [&search](const SearchEntry& a, const SearchEntry& b) {
              if (a.Key != b.Key) return a.Key < b.Key;
              return FoldedLess(search.NameOf(a), search.NameOf(b));
            });
}

// A stream over the open directory; the descriptor is closed either way.
DIR* StreamOf(int directoryFd) {
  DIR* stream = fdopendir(directoryFd);
  if (stream == nullptr) close(directoryFd);
  return stream;
}

// Hands every entry of the directory stream to take. False when the
// directory cannot be read to its end.
template <typename Take>
bool ReadEntries(DIR* stream, Take take) {
  for (;;) {
    errno = 0;
    struct dirent* found = readdir(stream);
    if (found == nullptr) return errno == 0;
    take(*found);
  }
}

void AddEntry(std::string_view name, SearchEntry& entry, SearchState& search) {
  entry.Key = FoldedKey(name);
  entry.NameAt = search.Names.size();
  entry.NameLength = name.size();
  search.Names += name;
  search.Names += '\0';  // so the name can be handed to the system in place
  search.Entries.push_back(entry);
}

static_assert(sizeof(SearchEntry) == 32, "a million entries should take 32 MB");

// A second thread that takes a share of work that would keep this one busy
// for a while: the entries of a large directory to look at, or what
// ShareWork and ShareAhead hand out. It starts with the first such work and
// then sleeps until the next. A directory of a few hundred entries is not
// worth waking it for: on a busy machine it may not get a processor before
// the work is done. Work that is shared changes nothing that can be seen
// (a copy written ahead has no name) and prints nothing, and its result
// does not depend on which thread made it, so a search delivers exactly
// what it would deliver alone.
class Helper {
 public:
  // Calls work(begin, end) for pieces of piece indexes that cover
  // [0, count), on this thread and, when it is free, the helper thread.
  static void Share(size_t count, size_t piece,
                    const std::function<void(size_t, size_t)>& work) {
    std::atomic<size_t> next = 0;
    const std::function<void()> run = [&] {
      for (size_t begin; (begin = next.fetch_add(piece)) < count;)
        work(begin, std::min(begin + piece, count));
    };
    if (count > piece)
      Alongside(run, run);
    else
      run();
  }

  // Calls prepare(i) for every i in [first, end), and consume(i) on this
  // thread in order. This thread prepares from the front as it comes to
  // each place, the helper from the back, so the two meet once: this
  // thread waits for the helper there at most.
  static void Ahead(size_t first, size_t end, const std::function<void(size_t)>& prepare,
                    const std::function<void(size_t)>& consume) {
    std::mutex lock;
    size_t front = first, back = end;  // [front, back) is not taken yet
    std::vector<std::atomic<bool>> prepared(end - first);
    const std::function<void()> fromBack = [&] {
      for (;;) {
        size_t i;
        {
          std::lock_guard<std::mutex> guard(lock);
          if (back <= front) return;
          i = --back;
        }
        prepare(i);
        prepared[i - first].store(true);
        prepared[i - first].notify_one();
      }
    };
    const std::function<void()> inOrder = [&] {
      for (size_t i = first; i < end; ++i) {
        bool mine;
        {
          std::lock_guard<std::mutex> guard(lock);
          mine = i < back;
          if (mine) front = i + 1;
        }
        std::atomic<bool>& ready = prepared[i - first];
        if (mine)
          prepare(i);
        else if (!SpinUntil([&ready] { return ready.load(); }))
          ready.wait(false);
        consume(i);
      }
    };
    if (end - first > 1)
      Alongside(fromBack, inOrder);
    else
      inOrder();
  }

 private:
  struct Job {
    const std::function<void()>* Work;
    std::atomic<bool> Done = false;  // the helper took the job and is through with it
  };

  // Runs mine on this thread and, when the helper thread is free, theirs on
  // it meanwhile; returns once both are through. mine must get all the work
  // done by itself when theirs never starts.
  static void Alongside(const std::function<void()>& theirs, const std::function<void()>& mine) {
    Job job{&theirs};
    Helper* helper = Instance();
    if (helper == nullptr || !helper->Offer(&job)) return mine();
    mine();
    helper->Retract(&job);
  }

  // Started the first time work is worth sharing and kept to the end of the
  // process; null when there is one processor only or no thread can start.
  static Helper* Instance() {
    static Helper* const started = Start();
    return started;
  }

  static Helper* Start() {
    if (std::thread::hardware_concurrency() < 2) return nullptr;
    auto* helper = new Helper;
    pthread_t thread;
    if (pthread_create(&thread, nullptr, &Helper::Serve, helper) != 0) {
      delete helper;
      return nullptr;
    }
    pthread_detach(thread);
    return helper;
  }

  // False when the helper is taken: work shared from within shared work
  // stays with the thread doing it.
  bool Offer(Job* job) {
    {
      std::lock_guard<std::mutex> guard(Lock);
      if (Offered != nullptr || Busy) return false;
      Offered = job;
    }
    Wake.notify_one();
    return true;
  }

  // Returns once the helper is not, and will not be, working on job.
  void Retract(Job* job) {
    std::unique_lock<std::mutex> lock(Lock);
    if (Offered == job) {
      Offered = nullptr;  // not taken yet: this thread did every piece
      return;
    }
    lock.unlock();
    if (SpinUntil([job] { return job->Done.load(); })) return;
    lock.lock();
    Idle.wait(lock, [job] { return job->Done.load(); });
  }

  // Work comes in runs, such as the two lists of one subdirectory pair after
  // another. Waking a sleeping thread costs about as much as reading a small
  // directory, so each side first looks out for the other a little while
  // before it sleeps. True when ready() came true in that while.
  template <typename Ready>
  static bool SpinUntil(Ready ready) {
    constexpr auto Patience = std::chrono::microseconds(100);
    const auto until = std::chrono::steady_clock::now() + Patience;
    while (!ready()) {
      if (std::chrono::steady_clock::now() > until) return false;
      std::this_thread::yield();
    }
    return true;
  }

  static void* Serve(void* self) {
    auto* helper = static_cast<Helper*>(self);
    for (;;) {
      SpinUntil([helper] { return helper->Offered.load() != nullptr; });
      std::unique_lock<std::mutex> lock(helper->Lock);
      helper->Wake.wait(lock, [helper] { return helper->Offered.load() != nullptr; });
      Job* job = helper->Offered;
      helper->Offered = nullptr;
      helper->Busy = true;
      lock.unlock();
      (*job->Work)();
      lock.lock();
      helper->Busy = false;
      job->Done = true;  // the last touch: the job's owner may now return
      helper->Idle.notify_all();
    }
  }

  std::mutex Lock;
  std::condition_variable Wake;
  std::condition_variable Idle;
  std::atomic<Job*> Offered = nullptr;
  bool Busy = false;
};

constexpr uint32_t Dropped = 0x80000000;  // gone, or not requested after all

// Reads every entry of the open directory whose name fits mask and whose
// attributes are requested. An entry whose type alone rules it out is never
// looked at further. False on a read error.
bool CollectEntries(int directoryFd, const std::string& mask, uint32_t requested,
                    SearchState& search) {
  DirectoryStream stream(StreamOf(directoryFd));
  if (stream.Get() == nullptr) return false;
  std::string name;
  bool read = ReadEntries(stream.Get(), [&](const struct dirent& found) {
    name.assign(found.d_name);
    if (!MatchesMask(name, mask)) return;
    SearchEntry entry;
    entry.Attributes = HiddenAttribute(name);  // the rest once the entry is looked at
    std::optional<uint32_t> kind = KindOfType(found.d_type);
    if (!kind) entry.Attributes |= Shared;  // perhaps a link: only a stat through it can tell
    if (!kind || IsRequested(*kind | entry.Attributes, requested)) AddEntry(name, entry, search);
  });
  if (!read) return false;
  const int fd = dirfd(stream.Get());
  // Pieces of a few dozen microseconds; fewer than some hundreds of entries
  // are not worth waking the helper for.
  constexpr size_t Piece = 16;
  constexpr size_t WorthSharing = 512;
  const size_t count = search.Entries.size();
  Helper::Share(count, count < WorthSharing ? count : Piece,
                [&search, fd, requested](size_t begin, size_t end) {
    for (size_t i = begin; i < end; ++i) {
      SearchEntry& entry = search.Entries[i];
      const char* entryName = search.Names.data() + entry.NameAt;
      if (!DescribeEntry(fd, entryName, entry.Attributes, entry) ||
          !IsRequested(entry.Attributes, requested))
        entry.Attributes = Dropped;
    }
  });
  std::erase_if(search.Entries, [](const SearchEntry& entry) { return entry.Attributes == Dropped; });
  return true;
}

constexpr int NoEntry = 1;

// Whether a directory that could not be opened is simply not there: it then
// holds nothing, while one that is there but cannot be read is another
// matter.
bool IsMissing(int error) { return error == ENOENT || error == ENOTDIR; }

}  // namespace

int SearchStart(const std::string& pattern, uint32_t requested, FindRecord& record) {
  record.Search.reset();
  std::string directory, mask;
  SplitPattern(pattern, directory, mask);
  int fd = OpenDirectory(directory.c_str());
  if (fd < 0) return IsMissing(errno) ? NoEntry : SearchUnreadable;
  auto search = std::make_shared<SearchState>();
  if (!CollectEntries(fd, mask, requested, *search)) return SearchUnreadable;
  SortByName(*search);
  record.Search = std::move(search);
  return SearchNext(record);
}

int SearchNext(FindRecord& record) {
  SearchState* search = record.Search.get();
  if (search == nullptr || search->Next >= search->Entries.size()) return NoEntry;
  const SearchEntry& entry = search->Entries[search->Next++];
  record.Attributes = entry.Attributes & ~Shared;
  record.MayBeShared = (entry.Attributes & Shared) != 0;
  record.Size = entry.Size;
  record.Time = entry.Time;
  record.Date = entry.Date;
  record.Name.assign(search->NameOf(entry));
  record.Following = search->Entries.size() - search->Next;
  return 0;
}

void SearchClose(FindRecord& record) { record.Search.reset(); }

bool ListSubdirectories(const std::string& directory, std::vector<std::string>& names) {
  names.clear();
  int directoryFd = OpenDirectory(OrCurrentDirectory(directory));
  if (directoryFd < 0) return IsMissing(errno);
  DirectoryStream stream(StreamOf(directoryFd));
  if (stream.Get() == nullptr) return false;
  const int fd = dirfd(stream.Get());
  SearchState search;
  bool read = ReadEntries(stream.Get(), [&search, fd](const struct dirent& found) {
    if (IsDotDirectory(found.d_name)) return;
    std::optional<uint32_t> kind = KindOfType(found.d_type);
    struct stat info;
    if (!kind) kind = fstatat(fd, found.d_name, &info, 0) == 0 ? KindAttributes(info) : AttrSystem;
    SearchEntry entry;
    if (*kind == AttrDirectory) AddEntry(found.d_name, entry, search);
  });
  if (!read) return false;
  SortByName(search);
  names.reserve(search.Entries.size());
  for (const SearchEntry& entry : search.Entries) names.emplace_back(search.NameOf(entry));
  return true;
}

void ShareWork(size_t count, const std::function<void(size_t)>& work) {
  Helper::Share(count, 1, [&work](size_t begin, size_t end) {
    for (size_t i = begin; i < end; ++i) work(i);
  });
}

void ShareAhead(size_t count, const std::function<void(size_t)>& prepare,
                const std::function<void(size_t)>& consume) {
  for (size_t first = 0; first < count; first += AheadLimit)
    Helper::Ahead(first, std::min(count, first + AheadLimit), prepare, consume);
}

bool OpenListing(const std::string& path) {
  return Descriptor(OpenDirectory(OrCurrentDirectory(path))).IsOpen();
}

bool IdentifyDir(const std::string& path, DirIdentity& identity) {
  struct stat info;
  if (stat(OrCurrentDirectory(path), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  identity = IdentityOf(info);
  return true;
}

bool StampFile(const std::string& path, FileStamp& stamp) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  stamp = StampOf(info);
  return true;
}

bool IsSameFile(const std::string& first, const std::string& second) {
  struct stat a, b;
  return stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 &&
         IdentityOf(a) == IdentityOf(b);
}

int RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0 ? 0 : 1; }

int MakeDir(const std::string& path) { return mkdir(path.c_str(), 0777) == 0 ? 0 : 1; }

int RemoveDir(const std::string& path) { return rmdir(path.c_str()) == 0 ? 0 : 1; }

// ---------------------------------------------------------------------------
// Copying and moving files

namespace {

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t written = write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= size_t(written);
  }
  return true;
}

bool CopyByReadWrite(int from, int to) {
  constexpr size_t BufferSize = 1 << 20;
  PageBuffer buffer = MakePageBuffer(BufferSize);
  for (;;) {
    ssize_t got = read(from, buffer.get(), BufferSize);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got == 0;
    if (!WriteAll(to, buffer.get(), size_t(got))) return false;
  }
}

#ifdef __linux__
// Shares the source's blocks where the file system can. Where it cannot, it
// says so for every file alike, so a source device once refused is not asked
// again (a missed sharing costs time only; the copy is made all the same).
bool CloneWhole(int from, int to, const struct stat& source) {
  // Copies are written on two threads, and one may still be writing while
  // the other ends the run: the list is never destroyed.
  static std::mutex& lock = *new std::mutex;
  static std::vector<dev_t>& refused = *new std::vector<dev_t>;
  {
    std::lock_guard<std::mutex> guard(lock);
    if (std::find(refused.begin(), refused.end(), source.st_dev) != refused.end()) return false;
  }
  if (ioctl(to, FICLONE, from) == 0) return true;
  if (errno == EOPNOTSUPP || errno == ENOTTY || errno == EINVAL) {
    std::lock_guard<std::mutex> guard(lock);
    refused.push_back(source.st_dev);
  }
  return false;
}

// Lets the kernel copy as far as the size the source had when opened, the
// size its time describes. True when it got there; false leaves both offsets
// where it stopped, for the plain loop to carry on from there.
bool CopyInKernel(int from, int to, const struct stat& source) {
  constexpr size_t Chunk = size_t(1) << 26;
  off_t total = 0;
  while (total < source.st_size) {
    ssize_t copied = copy_file_range(from, nullptr, to, nullptr, Chunk, 0);
    if (copied < 0 && errno == EINTR) continue;
    // Some file systems report an immediate end for files that do have
    // content; only the plain loop can tell.
    if (copied == 0) return total > 0;
    if (copied < 0) return false;
    total += copied;
  }
  return total > 0;
}
#else
bool CloneWhole(int, int, const struct stat&) { return false; }
bool CopyInKernel(int, int, const struct stat&) { return false; }
#endif

bool CopyContent(int from, int to, const struct stat& source) {
  return CloneWhole(from, to, source) || CopyInKernel(from, to, source) || CopyByReadWrite(from, to);
}

// Gives the copy the source's permission bits and last-write time, after the
// last write so the time stays.
bool CopyMetadata(int to, const struct stat& source) {
  struct timespec times[2] = {source.st_atim, source.st_mtim};
  return fchmod(to, source.st_mode & 0777) == 0 && futimens(to, times) == 0;
}

bool CopyWhole(int from, int to, const struct stat& source) {
  return CopyContent(from, to, source) && CopyMetadata(to, source);
}

// What a naming that just failed leaves: a name taken by something else, or
// another failure.
FileOpStatus FailedNaming() { return errno == EEXIST ? FileOpStatus::TargetTaken : FileOpStatus::Failed; }

// Writes the whole copy under a temporary name beside the target, then puts
// it in place: by rename where the target may be replaced, by a link that
// fails on a taken name where it may not.
FileOpStatus WriteCopyNamed(int from, const struct stat& source, const std::string& target,
                            bool replace) {
  std::string temporary = ParentOf(target) + ".vorn-XXXXXX";
  Descriptor to(mkostemp(temporary.data(), O_CLOEXEC));
  if (!to.IsOpen()) return FileOpStatus::Failed;
  FileOpStatus status = FileOpStatus::Failed;
  if (CopyWhole(from, to.Get(), source) && to.CloseChecked()) {
    if (replace ? rename(temporary.c_str(), target.c_str()) == 0
                : linkat(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), 0) == 0)
      status = FileOpStatus::Done;
    else
      status = FailedNaming();
  }
  if (status != FileOpStatus::Done || !replace) unlink(temporary.c_str());
  return status;
}

#ifdef O_TMPFILE
// A file with no name in target's directory, open for writing.
int OpenUnnamed(const std::string& target) {
  return open(OrCurrentDirectory(ParentOf(target)), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
}

// Gives the unnamed file open on fd the name target; fails when the name is
// taken. Naming the descriptor itself takes a recent system or a privilege;
// elsewhere it is named through /proc.
bool NameUnnamedFile(int fd, const std::string& target) {
  if (linkat(fd, "", AT_FDCWD, target.c_str(), AT_EMPTY_PATH) == 0) return true;
  if (errno != ENOENT && errno != EPERM) return false;
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0;
}
#else
int OpenUnnamed(const std::string&) {
  errno = EOPNOTSUPP;
  return -1;
}

bool NameUnnamedFile(int, const std::string&) {
  errno = EOPNOTSUPP;
  return false;
}
#endif

// Names the whole unnamed copy open on to; none, with nothing changed, when
// it could not be named for another reason than a taken name.
std::optional<FileOpStatus> NameCopy(Descriptor& to, const std::string& target) {
  if (!NameUnnamedFile(to.Get(), target))
    return errno == EEXIST ? std::optional(FileOpStatus::TargetTaken) : std::nullopt;
  if (to.CloseChecked()) return FileOpStatus::Done;
  unlink(target.c_str());  // the last writes may not have reached the disk
  return FileOpStatus::Failed;
}

// For a target name that is free: writes the copy into a file that has no
// name until it is whole, then gives it the target's name, which fails if
// the name was taken meanwhile. A killed copy leaves nothing at all, and no
// temporary name is made and removed: a third of the cost of copying a
// small file. None, with nothing changed, when the file system has no
// unnamed files or /proc is not there.
std::optional<FileOpStatus> WriteCopyUnnamed(int from, const struct stat& source,
                                             const std::string& target) {
  Descriptor to(OpenUnnamed(target));
  if (!to.IsOpen()) return std::nullopt;
  if (!CopyWhole(from, to.Get(), source)) return FileOpStatus::Failed;
  return NameCopy(to, target);
}

// Copies to a name that was free a moment ago, never replacing what may
// have taken it since.
FileOpStatus WriteCopyExclusive(int from, const struct stat& source, const std::string& target) {
  if (std::optional<FileOpStatus> unnamed = WriteCopyUnnamed(from, source, target)) return *unnamed;
  if (lseek(from, 0, SEEK_SET) != 0) return FileOpStatus::Failed;
  return WriteCopyNamed(from, source, target, false);
}

// What stands at a target name: nothing (false, errno ENOENT when the name
// is free, with one call for the common case), or an entry described
// through links in info; a link that leads nowhere is described as itself.
bool LookAtTarget(const std::string& target, struct stat& info, bool& isLink) {
  if (lstat(target.c_str(), &info) != 0) return false;
  isLink = S_ISLNK(info.st_mode);
  if (isLink) stat(target.c_str(), &info);  // a dangling link keeps its own description
  return true;
}

// Whether an existing target may give way: only a compared entry, and never
// a directory.
bool MayGiveWay(const struct stat& existing, bool mayReplace) {
  return mayReplace && !S_ISDIR(existing.st_mode);
}

bool IsSameEntry(const std::string& source, const std::string& target) {
  DirIdentity sourceDirectory, targetDirectory;
  return IdentifyDir(ParentOf(source), sourceDirectory) &&
         IdentifyDir(ParentOf(target), targetDirectory) && sourceDirectory == targetDirectory &&
         NameOf(source) == NameOf(target);
}

#ifdef RENAME_NOREPLACE
int RenameNoReplace(const char* source, const char* target) {
  return renameat2(AT_FDCWD, source, AT_FDCWD, target, RENAME_NOREPLACE);
}
#else
int RenameNoReplace(const char*, const char*) {
  errno = EINVAL;
  return -1;
}
#endif

// Renames to a name that was free a moment ago without replacing what may
// have taken it since: where the system cannot say so, by a second name and
// the removal of the first.
FileOpStatus RenameToFreeName(const std::string& source, const std::string& target) {
  if (RenameNoReplace(source.c_str(), target.c_str()) == 0) return FileOpStatus::Done;
  if (errno == EINVAL || errno == ENOSYS) {
    if (linkat(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), 0) == 0)
      return unlink(source.c_str()) == 0 ? FileOpStatus::Done : FileOpStatus::Failed;
  }
  return FailedNaming();
}

}  // namespace

PendingCopy::~PendingCopy() {
  if (Handle >= 0) close(int(Handle));
}

PendingCopy PrepareCopy(const std::string& source, const std::string& target) {
  struct stat info;
  Descriptor from(OpenRegularFile(source, info));
  if (!from.IsOpen()) return PendingCopy();
  Descriptor to(OpenUnnamed(target));
  if (!to.IsOpen() || !CopyWhole(from.Get(), to.Get(), info)) return PendingCopy();
  return PendingCopy(to.Release());
}

FileOpStatus CopyOneFile(const std::string& source, const std::string& target, bool mayReplace,
                         PendingCopy pending) {
  if (pending.IsReady() && !mayReplace) {
    Descriptor to(int(pending.Release()));
    if (std::optional<FileOpStatus> named = NameCopy(to, target)) return *named;
  }
  struct stat info;
  Descriptor from(OpenRegularFile(source, info));
  if (!from.IsOpen()) return FileOpStatus::Failed;
  // A name that may not be replaced is taken only if free when the copy is
  // named, which fails on a taken one: no need to look first.
  if (!mayReplace) return WriteCopyExclusive(from.Get(), info, target);
  struct stat existing;
  bool isLink;
  if (!LookAtTarget(target, existing, isLink))
    return errno == ENOENT ? WriteCopyExclusive(from.Get(), info, target) : FileOpStatus::Failed;
  if (!MayGiveWay(existing, mayReplace)) return FileOpStatus::TargetTaken;
  if (IdentityOf(existing) == IdentityOf(info)) return FileOpStatus::Done;
  return WriteCopyNamed(from.Get(), info, target, true);
}

FileOpStatus MoveOneFile(const std::string& source, const std::string& target, bool mayReplace) {
  struct stat moved, existing;
  bool targetIsLink;
  // A move takes the entry itself along; it must never be a directory.
  if (lstat(source.c_str(), &moved) != 0 || S_ISDIR(moved.st_mode)) return FileOpStatus::Failed;
  if (!LookAtTarget(target, existing, targetIsLink)) {
    if (errno != ENOENT) return FileOpStatus::Failed;
    FileOpStatus status = RenameToFreeName(source, target);
    if (status != FileOpStatus::Failed || errno != EXDEV) return status;
  } else {
    if (!MayGiveWay(existing, mayReplace)) return FileOpStatus::TargetTaken;
    // Renaming a file onto another name of itself (a hard link) changes
    // nothing, so the source name is removed here; the very same name stays.
    // A link at the target is replaced by the file it leads to, as any entry.
    if (!targetIsLink && stat(source.c_str(), &moved) == 0 &&
        IdentityOf(moved) == IdentityOf(existing))
      return IsSameEntry(source, target) || unlink(source.c_str()) == 0 ? FileOpStatus::Done
                                                                        : FileOpStatus::Failed;
    if (rename(source.c_str(), target.c_str()) == 0) return FileOpStatus::Done;
    if (errno != EXDEV) return FileOpStatus::Failed;
  }
  FileOpStatus copied = CopyOneFile(source, target, mayReplace);
  if (copied != FileOpStatus::Done) return copied;
  return unlink(source.c_str()) == 0 ? FileOpStatus::Done : FileOpStatus::Failed;
}

bool IsLink(const std::string& path) {
  std::string entry = path;
  while (entry.size() > 1 && entry.back() == '/') entry.pop_back();
  struct stat info;
  return lstat(entry.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// ---------------------------------------------------------------------------
// Reading files

InputFile::InputFile(const std::string& path) {
  struct stat info;
  Handle = OpenRegularFile(path, info);
  if (Handle >= 0) Opened = StampOf(info);
}

InputFile::~InputFile() {
  if (Handle >= 0) close(int(Handle));
}

bool InputFile::SameFileAs(const InputFile& other) const {
  return IsOpen() && other.IsOpen() && Opened.Identity == other.Opened.Identity;
}

long long InputFile::ReadBytes(char* buffer, size_t n) {
  if (Handle < 0) return 0;
  size_t total = 0;
  while (total < n) {
    ssize_t got = read(int(Handle), buffer + total, n - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    total += size_t(got);
  }
  // Only a file longer than one read gains from reading ahead; most files
  // of a tree are read whole at once, and the hint would cost a call each.
  if (total == n && !Sequential) {
    posix_fadvise(int(Handle), 0, 0, POSIX_FADV_SEQUENTIAL);
    Sequential = true;
  }
  return (long long)total;
}

// ---------------------------------------------------------------------------
// Console conventions and clock

char NativeSeparator() { return '/'; }

const char* NativeLineEnd() { return "\n"; }

uint32_t ClockSeed() { return uint32_t(time(nullptr)); }

// Names and arguments are bytes here, taken as they are.
std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void PrepareConsole() {}

std::string ControlLineAsUtf8(const std::string& line) { return line; }

std::FILE* OpenForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }
