// The one seam between Vorn and the operating system. Everything above this
// header is the same text-level code on every platform; each platform has one
// implementation file (platform_posix.cpp, platform_windows.cpp).
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Attribute bits of a directory entry.
constexpr uint32_t AttrReadOnly = 0x01;
constexpr uint32_t AttrHidden = 0x02;
constexpr uint32_t AttrSystem = 0x04;
constexpr uint32_t AttrDirectory = 0x10;
constexpr uint32_t AttrArchive = 0x20;

// The search filter, the same on every platform: an entry with none of the
// hidden, system and directory bits is always accepted; one with any of them
// only when it shares one with the request.
constexpr bool IsRequested(uint32_t attributes, uint32_t requested) {
  const uint32_t special = attributes & (AttrHidden | AttrSystem | AttrDirectory);
  return special == 0 || (special & requested) != 0;
}

struct SearchState;  // the platform's enumeration state

// One entry delivered by a directory search, and the search it belongs to.
struct FindRecord {
  uint32_t Attributes = 0;
  uint64_t Size = 0;  // full length in bytes
  uint16_t Time = 0;  // packed local last-write time (2-second resolution)
  uint16_t Date = 0;  // packed local last-write date
  std::string Name;   // the entry's name without any directory
  // A link, or a file with more than one name: its partner in the other
  // list may be this very file.
  bool MayBeShared = false;
  // How many more entries the search will deliver, where the platform knows
  // (0 otherwise): room for a whole directory can be made at once.
  size_t Following = 0;
  std::shared_ptr<SearchState> Search;
};

// Starts a search on pattern (a directory part and a mask as its last
// component) and delivers the first accepted entry. 0 = delivered;
// SearchUnreadable = the directory is there but could not be read; any other
// value = none (no match, no such directory). Entries carrying
// hidden, system or directory bits are accepted only when they share one of
// those bits with requested. Entries come sorted by name (letters folded).
constexpr int SearchUnreadable = 2;
int SearchStart(const std::string& pattern, uint32_t requested,
                FindRecord& record);
// Delivers the next accepted entry of the same search: 0 = delivered.
int SearchNext(FindRecord& record);
// Ends the search; called once after the last step, also when none was found.
void SearchClose(FindRecord& record);

// The names of the subdirectories of directory (empty: the current
// directory) that a search of its "*" with request AttrDirectory delivers,
// in the same order: links followed, "." and ".." left out. Only entries
// whose type the directory itself does not tell are looked at, so the
// files of a directory cost nothing. A directory that is not there has no
// subdirectories; false, and no names, when it is there but could not be
// read (the case SearchStart tells by SearchUnreadable).
bool ListSubdirectories(const std::string& directory, std::vector<std::string>& names);

// True when a listing of path can be opened: path names an existing, readable
// directory. The empty path is the current directory.
bool OpenListing(const std::string& path);

// Calls work(i) for every i in [0, count), spread over this thread and, where
// a second processor is free, a helper thread; returns when every call is
// done. For calls that share no data and print nothing, such as reading the
// two directories of a pair.
void ShareWork(size_t count, const std::function<void(size_t)>& work);
// Calls prepare(i) for every i in [0, count), spread as ShareWork spreads
// work, and consume(i) on this thread in the order of i, each once
// prepare(i) has returned. prepare runs at most AheadLimit places ahead of
// consume, so what prepared calls hold stays bounded; like shared work, it
// must share no data and print nothing.
constexpr size_t AheadLimit = 64;
void ShareAhead(size_t count, const std::function<void(size_t)>& prepare,
                const std::function<void(size_t)>& consume);

// Identity of a directory on disk, for telling two texts that name the same
// directory apart from two different directories.
struct DirIdentity {
  uint64_t Device = 0;
  uint64_t Inode = 0;
  auto operator<=>(const DirIdentity&) const = default;
};
// What tells whether a file may have changed since it was last looked at:
// which file it is, its size, and the times of its last write and of its
// last change of any kind (which no one can set back).
struct FileStamp {
  DirIdentity Identity;
  uint64_t Size = 0;
  int64_t Written = 0;  // in the system's finest unit
  int64_t Changed = 0;
  bool operator==(const FileStamp&) const = default;
};
// Fills stamp for the file path names (links followed); false when there
// is none.
bool StampFile(const std::string& path, FileStamp& stamp);

// Fills identity when path names an existing directory (the empty path is
// the current directory); false otherwise.
bool IdentifyDir(const std::string& path, DirIdentity& identity);
// True when both paths name one and the same existing file (links included).
bool IsSameFile(const std::string& first, const std::string& second);

int RemoveFile(const std::string& path);  // 0 = deleted
int MakeDir(const std::string& path);     // 0 = created; fails if it exists
int RemoveDir(const std::string& path);   // 0 = removed (empty directories)

// What became of one copy or move.
enum class FileOpStatus {
  Done,
  Failed,       // nothing changed at the target: source unreadable, target directory missing, ...
  TargetTaken,  // the target name is taken and replacing it was not allowed: nothing changed
};
// A copy written ahead of its turn, on any thread, into a file that has no
// name yet: CopyOneFile gives it its name when the run comes to it, and one
// the run never comes to vanishes with the object. Not ready where the
// system has no unnamed files or the copy could not be written; the copy is
// then made in turn as always.
class PendingCopy {
 public:
  PendingCopy() = default;
  explicit PendingCopy(intptr_t handle) : Handle(handle) {}
  ~PendingCopy();
  PendingCopy(PendingCopy&& other) noexcept : Handle(other.Release()) {}
  PendingCopy& operator=(PendingCopy&& other) noexcept {
    std::swap(Handle, other.Handle);
    return *this;
  }

  bool IsReady() const { return Handle >= 0; }
  // The open file, now the caller's to close.
  intptr_t Release() { return std::exchange(Handle, -1); }

 private:
  intptr_t Handle = -1;
};
// Writes a pending copy of source for target, a name expected to be free.
PendingCopy PrepareCopy(const std::string& source, const std::string& target);

// Copies the regular file source to target (a full path whose directory must
// exist): its bytes, last-write time and permission bits (the read-only
// attribute on Windows). The target appears only whole: written unnamed or
// under a temporary name in the target directory, then named. An existing
// target is replaced only when mayReplace and it is not a directory;
// otherwise TargetTaken. A copy onto another name of the very same file is
// Done without writing. A ready pending copy is named instead of writing
// the copy again where the target may not be replaced.
FileOpStatus CopyOneFile(const std::string& source, const std::string& target, bool mayReplace,
                         PendingCopy pending = PendingCopy());
// Renames source to target; across volumes it copies as above and removes the
// source only once the copy is whole. The same rule for an existing target.
FileOpStatus MoveOneFile(const std::string& source, const std::string& target, bool mayReplace);
// True when path (a trailing separator ignored) is a symbolic link, or on
// Windows a junction or any other reparse point.
bool IsLink(const std::string& path);

// The program's arguments as UTF-8, from the system's own form of them.
std::vector<std::string> ProgramArguments(int argc, char** argv);
// Makes standard output take UTF-8, where the console needs to be told.
void PrepareConsole();
// A line of a control file as UTF-8: a line that is not valid UTF-8 was
// written in the system's legacy code page, where there is one.
std::string ControlLineAsUtf8(const std::string& line);
// Opens a file for reading bytes through the C library; nullptr when it cannot.
std::FILE* OpenForReading(const std::string& path);

// A file opened for reading raw bytes.
class InputFile {
 public:
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool IsOpen() const { return Handle >= 0; }
  // Reads up to n bytes; the count delivered is below n only at the end of
  // the file. Returns 0 for a file that failed to open and -1 on a read error.
  long long ReadBytes(char* buffer, size_t n);
  // True when both are open on one and the same file (two names of it, or
  // a link), as IsSameFile tells for two paths, without looking again.
  bool SameFileAs(const InputFile& other) const;
  // The open file's stamp, as it was when opened.
  const FileStamp& Stamp() const { return Opened; }

 private:
  intptr_t Handle = -1;
  bool Sequential = false;  // the system was told the file is read through
  FileStamp Opened;
};

// The separator Vorn appends when it builds a path, and the console's line end.
char NativeSeparator();
const char* NativeLineEnd();

// Seconds since the epoch, to seed the random generator.
uint32_t ClockSeed();
