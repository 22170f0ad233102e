// The file list of one directory on disk, read from a directory-and-FileSet
// text such as "src/*.c;*.h".
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "lists/file_list.h"

class Disk_FileList : public FileList {
 public:
  explicit Disk_FileList(const std::string& text);
  // The list of directory (empty, or ending in a separator) read with masks,
  // for texts already divided: a name may hold ';' or '@' as it stands.
  Disk_FileList(const std::string& directory, const std::vector<std::string>& masks);

  // The directory is there but could not be read: the list is incomplete.
  bool Unreadable = false;

  int Delete() override;
  int CopyTo(FileList& target) override;
  int MoveTo(FileList& target) override;
  int CopyFrom(const std::string& source) override;

 private:
  void Open(const std::string& text);
  void AddPiece(const std::string& piece, bool first);
  void AddMask(const std::string& mask);
  void ScanMask(const std::string& mask);
  // Copies the entries the gate lets through; copied[i] records which were.
  void CopyEntries(FileList& target, bool carryEmpty, std::vector<bool>& copied);
  void CopyChosen(FileList& target, std::vector<int>& chosen, std::vector<bool>& copied);
};

std::unique_ptr<Disk_FileList> MakeFileList(const std::string& text);

// True when path names an existing directory that can be read; the empty
// path is the current directory.
bool IsaDir(const std::string& path);

// The directory a list made from text reads: the directory text of its first
// piece, as Disk_FileList::Open takes it.
std::string ListDirectoryOf(const std::string& text);
