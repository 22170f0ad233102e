#include "disk/disk_file_list.h"

#include "support/console.h"
#include "support/path_parts.h"
#include "support/platform.h"
#include "support/strings.h"

namespace {

std::string FirstPiece(const std::string& text) { return text.substr(0, text.find(';')); }

// A directory piece names the list's directory; an empty one stays empty,
// which searches the current directory.
std::string DirectoryText(const std::string& piece) {
  if (piece.empty() || EndsInSeparator(piece)) return piece;
  return piece + NativeSeparator();
}

// The directory part of a piece whose last component is a mask. A directory
// part ending in "." or ".." gets its separator too, or names would be
// appended to the dots.
std::string DirectoryOf(const PathParts& parts) {
  return DirectoryText(parts.Drive + parts.Directory);
}

}  // namespace

bool IsaDir(const std::string& path) { return OpenListing(path); }

std::string ListDirectoryOf(const std::string& text) {
  std::string piece = FirstPiece(text);
  return IsaDir(piece) ? DirectoryText(piece) : DirectoryOf(SplitPath(piece));
}

std::unique_ptr<Disk_FileList> MakeFileList(const std::string& text) {
  if (text.size() >= 2 && text[1] == '@') RunAbort("Packed file lists not implemented.");
  return std::make_unique<Disk_FileList>(text);
}

Disk_FileList::Disk_FileList(const std::string& text) : FileList(4) { Open(text); }

Disk_FileList::Disk_FileList(const std::string& directory,
                             const std::vector<std::string>& masks)
    : FileList(4) {
  MyPath = directory;
  for (const std::string& mask : masks) AddMask(mask);
}

void Disk_FileList::Open(const std::string& text) {
  std::string remaining = text;
  bool first = true;
  do {
    size_t semicolon = remaining.find(';');
    std::string piece = remaining.substr(0, semicolon);
    remaining.erase(0, semicolon == std::string::npos ? remaining.size() : semicolon + 1);
    AddPiece(piece, first);
    first = false;
  } while (!remaining.empty());
}

void Disk_FileList::AddPiece(const std::string& piece, bool first) {
  std::string mask;
  if (IsaDir(piece)) {
    if (!first) RunAbort("Illegal to specify directory except in first position.");
    MyPath = DirectoryText(piece);
    mask = "*.*";
  } else {
    PathParts parts = SplitPath(piece);
    std::string path = DirectoryOf(parts);
    if (first) {
      MyPath = path;
    } else if (!path.empty() && !StrEq(path, MyPath)) {
      RunAbort("Illegal to change paths in a list: Check for comma in directory name.");
    }
    mask = parts.Name + parts.Extension;
  }
  AddMask(mask);
}

void Disk_FileList::AddMask(const std::string& mask) {
  MyFiles = Masks.empty() ? mask : MyFiles + " & " + mask;
  Masks.push_back(mask);
  ScanMask(mask);
}

void Disk_FileList::ScanMask(const std::string& mask) {
  FindRecord record;
  int found = SearchStart(MyPath + mask, 0, record);
  if (found == SearchUnreadable) Unreadable = true;
  if (found == 0) Entries.reserve(Entries.size() + 1 + record.Following);
  for (; found == 0; found = SearchNext(record)) {
    FileInf& entry = Entries.emplace_back();
    entry.Name = record.Name;
    entry.SetInfo(record);
  }
  SearchClose(record);
}
