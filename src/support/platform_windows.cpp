#include "support/platform.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "support/console.h"
#include "support/dos_time.h"
#include "support/path_parts.h"
#include "support/strings.h"

// ---------------------------------------------------------------------------
// Names and paths: UTF-8 inside Vorn, UTF-16 at every call of the system

namespace {

std::wstring Wide(std::string_view text, UINT codePage = CP_UTF8) {
  if (text.empty()) return {};
  int length = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring wide(size_t(std::max(length, 0)), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), wide.data(), length);
  return wide;
}

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                   nullptr, nullptr);
  std::string utf8(size_t(std::max(length, 0)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), utf8.data(), length, nullptr,
                      nullptr);
  return utf8;
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// NTFS takes any 16-bit units as a name; a surrogate without its partner has
// no UTF-8 form, and a substitute character would name another file.
bool HasUtf8Form(std::wstring_view name) {
  for (size_t i = 0; i < name.size(); ++i) {
    if (IsHighSurrogate(name[i]) && i + 1 < name.size() && IsLowSurrogate(name[i + 1]))
      ++i;
    else if (IsHighSurrogate(name[i]) || IsLowSurrogate(name[i]))
      return false;
  }
  return true;
}

// Below this length a path goes to the system as it is: CreateDirectoryW's
// limit, the classic MAX_PATH less room for an 8.3 name.
constexpr size_t ClassicLimit = MAX_PATH - 12;

std::wstring FullPathOf(const std::wstring& path) {
  DWORD room = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (room == 0) return path;
  std::wstring full(room, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), room, full.data(), nullptr);
  if (length == 0 || length >= room) return path;
  full.resize(length);
  return full;
}

bool StartsWith(const std::wstring& text, std::wstring_view start) {
  return text.compare(0, start.size(), start) == 0;
}

// A path as the wide functions take it. One whose full form reaches the
// classic limit goes in the \\?\ form, which has no limit but is not
// normalised by the system: so it is the full path, separators turned and
// "." and ".." resolved, and a network path becomes \\?\UNC\server\share.
std::wstring SystemPath(const std::string& path) {
  std::wstring wide = Wide(path);
  if (StartsWith(wide, L"\\\\?\\")) return wide;
  std::wstring full = FullPathOf(wide);
  if (full.size() < ClassicLimit) return wide;
  if (StartsWith(full, L"\\\\.\\")) return full;  // a device
  if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace

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

FindRecord Describe(const WIN32_FIND_DATAW& found) {
  FindRecord record;
  record.Attributes = found.dwFileAttributes;
  // A directory's own size is a detail of the file system, not content.
  if (!(found.dwFileAttributes & AttrDirectory))
    record.Size = (uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  DosDateTime packed = PackLocalTime(found.ftLastWriteTime);
  record.Date = packed.Date;
  record.Time = packed.Time;
  record.Name = Utf8(found.cFileName);
  // Hard links cannot be told from a directory search, only by opening each file.
  record.MayBeShared = found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
  return record;
}

// Letters fold to capitals, so '_' and the other marks between 'Z' and 'a'
// sort after every letter; names equal but for case go in byte order.
bool FoldedLess(const FindRecord& a, const FindRecord& b) {
  return std::make_pair(FoldCase(a.Name), std::string_view(a.Name)) <
         std::make_pair(FoldCase(b.Name), std::string_view(b.Name));
}

HANDLE StartSearch(const std::string& pattern, WIN32_FIND_DATAW& found) {
  return FindFirstFileExW(SystemPath(pattern).c_str(), FindExInfoBasic, &found,
                          FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
}

// An entry the caller wants: by its attributes, for a search with that request;
// directories only, for the list of subdirectories.
using Wanted = bool (*)(DWORD attributes, uint32_t requested);

bool IsRequestedEntry(DWORD attributes, uint32_t requested) {
  return IsRequested(attributes, requested);
}
bool IsDirectoryEntry(DWORD attributes, uint32_t) { return attributes & AttrDirectory; }

// Reads every entry that matches pattern and is wanted. False when the search
// cannot start (no match, missing directory). A wanted name that has no UTF-8
// form is reported and left out.
bool CollectEntries(const std::string& pattern, Wanted wanted, uint32_t requested,
                    std::vector<FindRecord>& entries) {
  WIN32_FIND_DATAW found;
  HANDLE search = StartSearch(pattern, found);
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    if (!wanted(found.dwFileAttributes, requested)) continue;
    if (HasUtf8Form(found.cFileName)) {
      entries.push_back(Describe(found));
    } else {
      PathParts parts = SplitPath(pattern);
      ReportUnreadable("name in ", parts.Drive + parts.Directory);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return true;
}

// Every entry that matches pattern and is wanted, in name order. False when
// the search cannot start.
bool SortedEntries(const std::string& pattern, Wanted wanted, uint32_t requested,
                   std::vector<FindRecord>& entries) {
  if (!CollectEntries(pattern, wanted, requested, entries)) return false;
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
  record.MayBeShared = entry.MayBeShared;
}

}  // namespace

int SearchStart(const std::string& pattern, uint32_t requested, FindRecord& record) {
  record.Search.reset();
  auto search = std::make_shared<SearchState>();
  if (!SortedEntries(pattern, IsRequestedEntry, requested, search->Entries))
    return NothingThere() ? NoEntry : SearchUnreadable;
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
  if (!SortedEntries(PatternIn(directory, "*"), IsDirectoryEntry, 0, entries))
    return NothingThere();
  for (FindRecord& entry : entries)
    if (!IsDotDirectory(entry.Name)) names.push_back(std::move(entry.Name));
  return true;
}

// Shared work runs on the calling thread here; the calls' results are the
// same on any thread.
void ShareWork(size_t count, const std::function<void(size_t)>& work) {
  for (size_t i = 0; i < count; ++i) work(i);
}

void ShareAhead(size_t count, const std::function<void(size_t)>& prepare,
                const std::function<void(size_t)>& consume) {
  for (size_t i = 0; i < count; ++i) {
    prepare(i);
    consume(i);
  }
}

bool OpenListing(const std::string& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = StartSearch(PatternIn(path, "*.*"), found);
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
// semantics let CreateFileW open one).
HANDLE OpenToLookAt(const std::wstring& path) {
  return CreateFileW(path.empty() ? L"." : path.c_str(), FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The volume and file index of what path names, and whether it is a
// directory. False when it cannot be opened.
bool Identify(const std::wstring& path, DirIdentity& identity, bool& isDirectory) {
  HANDLE file = OpenToLookAt(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool known = IdentityOf(file, identity, isDirectory);
  CloseHandle(file);
  return known;
}

bool IsSameFile(const std::wstring& first, const std::wstring& second) {
  DirIdentity a, b;
  bool isDirectory;
  return Identify(first, a, isDirectory) && Identify(second, b, isDirectory) && a == b;
}

}  // namespace

bool IdentifyDir(const std::string& path, DirIdentity& identity) {
  bool isDirectory = false;
  return Identify(SystemPath(path), identity, isDirectory) && isDirectory;
}

bool StampFile(const std::string& path, FileStamp& stamp) {
  HANDLE file = OpenToLookAt(SystemPath(path));
  if (file == INVALID_HANDLE_VALUE) return false;
  bool known = StampOf(file, stamp);
  CloseHandle(file);
  return known;
}

bool IsSameFile(const std::string& first, const std::string& second) {
  return IsSameFile(SystemPath(first), SystemPath(second));
}

int RemoveFile(const std::string& path) { return DeleteFileW(SystemPath(path).c_str()) ? 0 : 1; }

int MakeDir(const std::string& path) {
  return CreateDirectoryW(SystemPath(path).c_str(), nullptr) ? 0 : 1;
}

int RemoveDir(const std::string& path) {
  return RemoveDirectoryW(SystemPath(path).c_str()) ? 0 : 1;
}

bool IsLink(const std::string& path) {
  std::string entry = path;
  if (entry.size() > 1 && IsSeparator(entry.back()) && entry[entry.size() - 2] != ':')
    entry.pop_back();
  DWORD attributes = GetFileAttributesW(SystemPath(entry).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// ---------------------------------------------------------------------------
// Copying and moving files, in-process: no name passes through a command
// interpreter, which would expand %NAME% and treat ^ and ! inside it.

namespace {

bool IsTakenError(DWORD error) {
  return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
}

// What the rule for an existing target decides before anything is written:
// Done for another name of the source itself, TargetTaken for a directory or
// a file that may not be replaced; nothing when the copy or move goes on.
std::optional<FileOpStatus> ExistingTargetRule(const std::wstring& source,
                                               const std::wstring& target, bool mayReplace) {
  DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileOpStatus::TargetTaken;
  if (IsSameFile(source, target)) return FileOpStatus::Done;
  if (!mayReplace) return FileOpStatus::TargetTaken;
  return std::nullopt;
}

// Removes a file even when it is read-only; the copy carries the attribute.
bool RemoveWhatever(const std::wstring& path) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileW(path.c_str());
}

// Copies source to a new name beside target (in its directory) that nothing
// else uses; bytes, attributes and last-write time go along. Empty when the
// copy could not be made.
std::wstring CopyBeside(const std::wstring& source, const std::string& target) {
  static unsigned counter = 0;
  PathParts parts = SplitPath(target);
  const std::string stem = parts.Drive + parts.Directory + ".vorn-" +
                           std::to_string(GetCurrentProcessId()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring temporary = SystemPath(stem + std::to_string(counter++));
    if (CopyFileExW(source.c_str(), temporary.c_str(), nullptr, nullptr, nullptr,
                    COPY_FILE_FAIL_IF_EXISTS))
      return temporary;
    if (!IsTakenError(GetLastError())) break;
  }
  return {};
}

// Gives the finished copy at temporary the target's name, replacing an
// existing target only where allowed; the copy is removed when it cannot be named.
FileOpStatus NameCopy(const std::wstring& temporary, const std::wstring& target,
                      bool mayReplace) {
  if (MoveFileExW(temporary.c_str(), target.c_str(), mayReplace ? MOVEFILE_REPLACE_EXISTING : 0))
    return FileOpStatus::Done;
  DWORD error = GetLastError();
  RemoveWhatever(temporary);
  return IsTakenError(error) ? FileOpStatus::TargetTaken : FileOpStatus::Failed;
}

bool IsPlainFile(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// Windows files cannot be written unnamed and named later: every copy is
// made in its turn.
PendingCopy::~PendingCopy() = default;

PendingCopy PrepareCopy(const std::string&, const std::string&) { return PendingCopy(); }

FileOpStatus CopyOneFile(const std::string& source, const std::string& target, bool mayReplace,
                         PendingCopy) {
  const std::wstring from = SystemPath(source), to = SystemPath(target);
  if (!IsPlainFile(from)) return FileOpStatus::Failed;
  if (std::optional<FileOpStatus> decided = ExistingTargetRule(from, to, mayReplace))
    return *decided;
  std::wstring temporary = CopyBeside(from, target);
  if (temporary.empty()) return FileOpStatus::Failed;
  return NameCopy(temporary, to, mayReplace);
}

// MOVEFILE_COPY_ALLOWED is not used: across volumes the system would remove
// the source of a copy that is not known to be whole.
FileOpStatus MoveOneFile(const std::string& source, const std::string& target, bool mayReplace) {
  const std::wstring from = SystemPath(source), to = SystemPath(target);
  if (!IsPlainFile(from)) return FileOpStatus::Failed;  // never a directory with its tree
  bool replace = mayReplace;
  if (std::optional<FileOpStatus> decided = ExistingTargetRule(from, to, mayReplace)) {
    if (*decided != FileOpStatus::Done) return *decided;
    replace = true;  // another name of the very file: only the source name goes
  }
  if (MoveFileExW(from.c_str(), to.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0))
    return FileOpStatus::Done;
  DWORD error = GetLastError();
  if (IsTakenError(error)) return FileOpStatus::TargetTaken;
  if (error != ERROR_NOT_SAME_DEVICE) return FileOpStatus::Failed;
  FileOpStatus copied = CopyOneFile(source, target, mayReplace);
  if (copied != FileOpStatus::Done) return copied;
  return RemoveWhatever(from) ? FileOpStatus::Done : FileOpStatus::Failed;
}

// ---------------------------------------------------------------------------
// Reading files

// CreateFileW returns INVALID_HANDLE_VALUE, which is -1, on failure; real
// handles are small positive numbers.
InputFile::InputFile(const std::string& path)
    : Handle(intptr_t(CreateFileW(SystemPath(path).c_str(), GENERIC_READ,
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

// ---------------------------------------------------------------------------
// Arguments, console and control files

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

namespace {

UINT ConsoleCodePage = 0;  // the console's own, given back at the end

void RestoreConsoleCodePage() { SetConsoleOutputCP(ConsoleCodePage); }

// The code page of the system's locale. The manifest makes GetACP answer
// UTF-8 where the system knows it, but an older control file was written in
// this one.
UINT LegacyCodePage() {
  DWORD codePage = 0;
  if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                     reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(WCHAR)) == 0 ||
      codePage == 0)
    return CP_ACP;
  return codePage;
}

}  // namespace

// Output is UTF-8 bytes; a console shows them as such only in its UTF-8 code
// page. A file or pipe gets the bytes unchanged.
void PrepareConsole() {
  DWORD mode;
  if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) return;
  ConsoleCodePage = GetConsoleOutputCP();
  if (ConsoleCodePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
    std::atexit(RestoreConsoleCodePage);
}

std::string ControlLineAsUtf8(const std::string& line) {
  if (line.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line.data(),
                                          int(line.size()), nullptr, 0) > 0)
    return line;
  return Utf8(Wide(line, LegacyCodePage()));
}

std::FILE* OpenForReading(const std::string& path) {
  return _wfopen(SystemPath(path).c_str(), L"rb");
}
