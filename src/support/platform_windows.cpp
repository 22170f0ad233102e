#include "support/platform.h"

#include <windows.h>

#include <algorithm>
#include <ctime>
#include <string_view>
#include <utility>
#include <vector>

#include "support/dos_time.h"
#include "support/file_command.h"
#include "support/path_parts.h"
#include "support/strings.h"

// ---------------------------------------------------------------------------
// Directory search

// A search reads its directory completely at the start and sorts it, as on
// POSIX: NTFS already delivers ASCII names in this order, but FAT volumes
// and network shares deliver them as they lie on disk, and the output must
// not depend on the file system.
struct SearchState {
  std::vector<FindRecord> Entries;
  size_t Next = 0;
};

namespace {

constexpr int NoEntry = 1;

DosDateTime PackCalendar(const SYSTEMTIME& calendar) {
  return PackDosDateTime(calendar.wYear, calendar.wMonth, calendar.wDay, calendar.wHour,
                         calendar.wMinute, calendar.wSecond);
}

// The packed words hold 1980 to 2107 only. FileTimeToDosDateTime refuses
// earlier times (later ones are not refused everywhere, so they never reach
// it); such a time is clamped to the nearer end instead.
DosDateTime PackLocalTime(const FILETIME& written) {
  constexpr int LastPackedYear = 2107;
  FILETIME local;
  SYSTEMTIME calendar;
  if (!FileTimeToLocalFileTime(&written, &local) || !FileTimeToSystemTime(&local, &calendar))
    return PackDosDateTime(0, 1, 1, 0, 0, 0);  // the earliest date there is
  DosDateTime packed;
  if (calendar.wYear <= LastPackedYear && FileTimeToDosDateTime(&local, &packed.Date, &packed.Time))
    return packed;
  return PackCalendar(calendar);
}

FindRecord Describe(const WIN32_FIND_DATAA& found) {
  FindRecord record;
  record.Attributes = found.dwFileAttributes;
  // A directory's own size is a detail of the file system, not content.
  if (!(found.dwFileAttributes & AttrDirectory))
    record.Size = (uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  DosDateTime packed = PackLocalTime(found.ftLastWriteTime);
  record.Date = packed.Date;
  record.Time = packed.Time;
  record.Name = found.cFileName;
  return record;
}

// Letters fold to capitals, so '_' and the other marks between 'Z' and 'a'
// sort after every letter; names equal but for case go in byte order.
bool FoldedLess(const FindRecord& a, const FindRecord& b) {
  return std::make_pair(FoldCase(a.Name), std::string_view(a.Name)) <
         std::make_pair(FoldCase(b.Name), std::string_view(b.Name));
}

// Reads every entry that matches pattern and whose attributes are requested.
// False when the search cannot start (no match, missing directory).
bool CollectEntries(const std::string& pattern, uint32_t requested,
                    std::vector<FindRecord>& entries) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    if (IsRequested(found.dwFileAttributes, requested)) entries.push_back(Describe(found));
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return true;
}

// Every entry that matches pattern and whose attributes are requested, in
// name order. False when the search cannot start.
bool SortedEntries(const std::string& pattern, uint32_t requested,
                   std::vector<FindRecord>& entries) {
  if (!CollectEntries(pattern, requested, entries)) return false;
  std::sort(entries.begin(), entries.end(), FoldedLess);
  return true;
}

// A search pattern for mask in directory; the empty text is the current
// directory, and one that ends in a separator or a drive takes the mask as
// it is.
std::string PatternIn(const std::string& directory, const char* mask) {
  return directory.empty() || EndsInSeparator(directory) ? directory + mask
                                                          : directory + "\\" + mask;
}

// After a search failed to start: whether for want of a match or a
// directory, rather than a directory that is there but cannot be read.
bool NothingThere() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_NO_MORE_FILES:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
      return true;
    default:
      return false;
  }
}

bool IsDotDirectory(const std::string& name) { return name == "." || name == ".."; }

// Each entry is delivered once, so its name can be handed over.
void Deliver(FindRecord& entry, FindRecord& record) {
  record.Attributes = entry.Attributes;
  record.Size = entry.Size;
  record.Time = entry.Time;
  record.Date = entry.Date;
  record.Name = std::move(entry.Name);
}

}  // namespace

int SearchStart(const std::string& pattern, uint32_t requested, FindRecord& record) {
  record.Search.reset();
  auto search = std::make_shared<SearchState>();
  if (!SortedEntries(pattern, requested, search->Entries)) return NothingThere() ? NoEntry : SearchUnreadable;
  record.Search = std::move(search);
  return SearchNext(record);
}

int SearchNext(FindRecord& record) {
  SearchState* search = record.Search.get();
  if (search == nullptr || search->Next >= search->Entries.size()) return NoEntry;
  Deliver(search->Entries[search->Next++], record);
  return 0;
}

void SearchClose(FindRecord& record) { record.Search.reset(); }

bool ListSubdirectories(const std::string& directory, std::vector<std::string>& names) {
  names.clear();
  std::vector<FindRecord> entries;
  if (!SortedEntries(PatternIn(directory, "*"), AttrDirectory, entries)) return NothingThere();
  for (FindRecord& entry : entries) {
    if ((entry.Attributes & AttrDirectory) && !IsDotDirectory(entry.Name))
      names.push_back(std::move(entry.Name));
  }
  return true;
}

// Shared work runs on the calling thread here; the calls' results are the
// same on any thread.
void ShareWork(size_t count, const std::function<void(size_t)>& work) {
  for (size_t i = 0; i < count; ++i) work(i);
}

bool OpenListing(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(PatternIn(path, "*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

namespace {

bool IdentityOf(HANDLE file, DirIdentity& identity, bool& isDirectory) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return false;
  isDirectory = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
  identity.Device = info.dwVolumeSerialNumber;
  identity.Inode = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

// The identity and size come first and alone: they tell two names of one
// file apart even where the times cannot be had.
bool StampOf(HANDLE file, FileStamp& stamp) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return false;
  stamp.Identity.Device = info.dwVolumeSerialNumber;
  stamp.Identity.Inode = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  stamp.Size = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  FILE_BASIC_INFO times;
  if (!GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof times)) return false;
  stamp.Written = times.LastWriteTime.QuadPart;
  stamp.Changed = times.ChangeTime.QuadPart;
  return true;
}

// Opens what path names only to look at it (a directory too: only backup
// semantics let CreateFileA open one).
HANDLE OpenToLookAt(const std::string& path) {
  return CreateFileA(path.empty() ? "." : path.c_str(), FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The volume and file index of what path names, and whether it is a
// directory. False when it cannot be opened.
bool Identify(const std::string& path, DirIdentity& identity, bool& isDirectory) {
  HANDLE file = OpenToLookAt(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool known = IdentityOf(file, identity, isDirectory);
  CloseHandle(file);
  return known;
}

}  // namespace

bool IdentifyDir(const std::string& path, DirIdentity& identity) {
  bool isDirectory = false;
  return Identify(path, identity, isDirectory) && isDirectory;
}

bool StampFile(const std::string& path, FileStamp& stamp) {
  HANDLE file = OpenToLookAt(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool known = StampOf(file, stamp);
  CloseHandle(file);
  return known;
}

bool IsSameFile(const std::string& first, const std::string& second) {
  DirIdentity a, b;
  bool isDirectory;
  return Identify(first, a, isDirectory) && Identify(second, b, isDirectory) && a == b;
}

int RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) ? 0 : 1; }

int MakeDir(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) ? 0 : 1; }

int RemoveDir(const std::string& path) { return RemoveDirectoryA(path.c_str()) ? 0 : 1; }

// ---------------------------------------------------------------------------
// The command interpreter

namespace {

constexpr int NotStarted = -1;

// A text from a Win32 function that fills a caller's buffer: asked first
// for the room it needs, then filled. Empty when it has none to give.
template <typename Fill>
std::string FilledText(Fill fill) {
  DWORD room = fill(nullptr, 0);
  if (room == 0) return {};
  std::string text(room, '\0');
  DWORD length = fill(text.data(), room);
  if (length == 0 || length >= room) return {};
  text.resize(length);
  return text;
}

std::string EnvironmentValue(const char* name) {
  return FilledText([name](char* buffer, DWORD room) {
    return GetEnvironmentVariableA(name, buffer, room);
  });
}

std::string FullPath(const std::string& path) {
  return FilledText([&path](char* buffer, DWORD room) {
    return GetFullPathNameA(path.c_str(), room, buffer, nullptr);
  });
}

// The 8.3 form keeps the interpreter's path free of blanks; not every file
// system has one, and then the long path stands.
std::string ShortPath(const std::string& path) {
  std::string shortPath = FilledText([&path](char* buffer, DWORD room) {
    return GetShortPathNameA(path.c_str(), buffer, room);
  });
  return shortPath.empty() ? path : shortPath;
}

bool IsExistingFile(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The interpreter named by COMSPEC; without it, the first CMD.EXE in the
// current directory or a directory of PATH. Empty when there is none.
std::string FindInterpreter() {
  std::string named = EnvironmentValue("COMSPEC");
  if (!named.empty()) return IsExistingFile(named) ? named : std::string();
  std::string path = EnvironmentValue("PATH");
  path.erase(std::remove(path.begin(), path.end(), '"'), path.end());
  std::vector<std::string> directories = {"."};
  for (size_t start = 0; start <= path.size();) {
    size_t end = std::min(path.find(';', start), path.size());
    if (end > start) directories.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  for (const std::string& directory : directories) {
    std::string candidate = directory + (EndsInSeparator(directory) ? "" : "\\") + "CMD.EXE";
    if (IsExistingFile(candidate)) return FullPath(candidate);
  }
  return {};
}

bool IsExistingDirectory(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The interpreter's copy and move put a file into a directory that stands at
// the target's name and report success, so the file would end up elsewhere
// than Vorn announced; some interpreters also report a move of a missing
// file as done. Such commands fail here, as they do on every other platform.
bool CannotBeCarriedOut(const std::string& command) {
  for (const FileCommand& reading : ParseFileCommand(command))
    if (!IsExistingFile(reading.Source) || IsExistingDirectory(reading.Target)) return true;
  return false;
}

}  // namespace

int RunCommand(const std::string& command) {
  if (CannotBeCarriedOut(command)) return 1;
  std::string interpreter = FindInterpreter();
  if (interpreter.empty()) return NotStarted;
  std::string commandLine = ShortPath(interpreter) + " /c " + command;
  // A copy or move over an existing file would otherwise stop at the
  // interpreter's overwrite question, which ">nul" hides and which would
  // read the user's confirmation answers; the interpreter inherits this.
  SetEnvironmentVariableA("COPYCMD", "/Y");
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(interpreter.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                      nullptr, nullptr, &startup, &process))
    return NotStarted;
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  return int(status);
}

// ---------------------------------------------------------------------------
// Reading files

// CreateFileA returns INVALID_HANDLE_VALUE, which is -1, on failure; real
// handles are small positive numbers.
InputFile::InputFile(const std::string& path)
    : Handle(intptr_t(CreateFileA(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr))) {
  if (Handle >= 0) StampOf(HANDLE(Handle), Opened);
}

bool InputFile::SameFileAs(const InputFile& other) const {
  return IsOpen() && other.IsOpen() && Opened.Identity == other.Opened.Identity;
}

InputFile::~InputFile() {
  if (Handle >= 0) CloseHandle(HANDLE(Handle));
}

long long InputFile::ReadBytes(char* buffer, size_t n) {
  if (Handle < 0) return 0;
  constexpr size_t LargestRead = size_t(1) << 30;  // ReadFile counts in 32 bits
  size_t total = 0;
  while (total < n) {
    DWORD got = 0;
    if (!ReadFile(HANDLE(Handle), buffer + total, DWORD(std::min(n - total, LargestRead)), &got,
                  nullptr))
      return -1;
    if (got == 0) break;
    total += got;
  }
  return (long long)total;
}

// ---------------------------------------------------------------------------
// Console conventions and clock

char NativeSeparator() { return '\\'; }

// The C runtime keeps standard output in text mode, which writes every "\n"
// as "\r\n"; a "\r\n" here would reach the console as "\r\r\n".
const char* NativeLineEnd() { return "\n"; }

uint32_t ClockSeed() { return uint32_t(time(nullptr)); }
