#include "disk/disk_operations.h"

#include "disk/disk_file_list.h"
#include "lists/handling.h"
#include "support/console.h"
#include "support/path_parts.h"
#include "support/platform.h"
#include "support/strings.h"

namespace {

void Announce(std::string_view verb, const std::string& source, const std::string& target) {
  if (Handling.Quiet) return;
  Write(verb);
  Write(source);
  Write(" to ");
  Write(target);
  EndLine();
}

std::string TargetDirectoryOf(const std::string& target) {
  PathParts parts = SplitPath(target);
  std::string directory = parts.Drive + parts.Directory;
  if (!directory.empty() && IsSeparator(directory.back())) directory.pop_back();
  return directory;
}

size_t LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

uint64_t ChangesTried = 0;

// A name the target list did not hold, yet taken on disk: whatever stands
// there was never compared, so it is not replaced.
void WarnIfTaken(FileOpStatus status, const std::string& target) {
  if (status == FileOpStatus::TargetTaken)
    RunWarning2("Target exists and was not compared: ", target);
}

}  // namespace

int DiskFileDelete(const std::string& dir, const std::string& name) {
  std::string path = dir + name;
  if (!Handling.Quiet) {
    Write("Deleting ");
    Write(path);
    EndLine();
  }
  ++ChangesTried;
  if (RemoveFile(path) != 0) RunAbort2("Error deleting file ", path);
  return 0;
}

int DiskFileCopy(const std::string& sourceDir, const std::string& name,
                 const std::string& targetDir, bool mayReplace, PendingCopy pending) {
  std::string source = sourceDir + name;
  std::string target = targetDir + name;
  Announce("Copying ", source, target);
  ++ChangesTried;
  FileOpStatus status = CopyOneFile(source, target, mayReplace, std::move(pending));
  if (status == FileOpStatus::Done) return 0;

  if (status == FileOpStatus::Failed) {
    std::string directory = TargetDirectoryOf(target);
    Write("Creating target directory ");
    Write(directory);
    EndLine();
    if (CreateDirPath(directory) == 0) status = CopyOneFile(source, target, mayReplace);
    if (status == FileOpStatus::Done) return 0;
  }
  WarnIfTaken(status, target);
  Write("ERROR: Unable to copy file ");
  Write(source);
  EndLine();
  Write("\a");
  FlushConsole();
  if (Handling.TerminateOnError) RunAbort("Copy error.");
  return 1;
}

int CreateDirPath(const std::string& path) {
  ++ChangesTried;
  int made = MakeDir(path);
  Write("Trying to create directory ");
  Write(path);
  EndLine();
  if (made == 0) return 0;
  size_t separator = LastSeparator(path);
  if (separator == std::string::npos) return -1;
  int parent = CreateDirPath(path.substr(0, separator));
  if (parent != 0) return parent;
  MakeDir(path);
  return 0;
}

int DiskFileMove(const std::string& sourceDir, const std::string& name,
                 const std::string& targetDir, bool mayReplace) {
  std::string source = sourceDir + name;
  std::string target = targetDir + name;
  Announce("Moving ", source, target);
  ++ChangesTried;
  FileOpStatus status = MoveOneFile(source, target, mayReplace);
  if (status == FileOpStatus::Done) return 0;
  WarnIfTaken(status, target);
  RunAbort2("Error moving file ", source);
}

int DiskDirRemove(const std::string& path) {
  ++ChangesTried;
  return RemoveDir(path);
}

uint64_t DiskChangesTried() { return ChangesTried; }

int Disk_FileList::Delete() {
  for (int i = 0; i < NFiles(); ++i)
    if (MayHandle("Delete", i)) DiskFileDelete(MyPath, Entries[i].Name);
  return 0;
}

void Disk_FileList::CopyEntries(FileList& target, bool carryEmpty, std::vector<bool>& copied) {
  copied.assign(Entries.size(), false);
  std::vector<int> chosen;
  for (int i = 0; i < NFiles(); ++i) {
    if (!MayHandle("Copy", i)) continue;
    if (Entries[i].Size > 0 || (carryEmpty && Entries[i].Size == 0)) chosen.push_back(i);
    // An answer is followed by its copy before the next question.
    if (Handling.Confirm) CopyChosen(target, chosen, copied);
  }
  CopyChosen(target, chosen, copied);
}

// Copies the chosen entries in order, each announced in its turn. Copies to
// names the target list does not hold are written ahead, unnamed, by a
// second thread where there is one; a copy is named only in its turn, so
// one the run never reaches leaves nothing behind.
void Disk_FileList::CopyChosen(FileList& target, std::vector<int>& chosen,
                               std::vector<bool>& copied) {
  std::vector<bool> mayReplace(chosen.size());
  for (size_t k = 0; k < chosen.size(); ++k) mayReplace[k] = target.Holds(Entries[chosen[k]].Name);
  std::vector<PendingCopy> pending(chosen.size());
  ShareAhead(
      chosen.size(),
      [&](size_t k) {
        const std::string& name = Entries[chosen[k]].Name;
        if (!mayReplace[k]) pending[k] = PrepareCopy(MyPath + name, target.MyPath + name);
      },
      [&](size_t k) {
        const std::string& name = Entries[chosen[k]].Name;
        copied[chosen[k]] =
            DiskFileCopy(MyPath, name, target.MyPath, mayReplace[k], std::move(pending[k])) == 0;
      });
  chosen.clear();
}

int Disk_FileList::CopyTo(FileList& target) {
  std::vector<bool> copied;
  CopyEntries(target, false, copied);
  return 0;
}

int Disk_FileList::MoveTo(FileList& target) {
  if (StrEq(SplitPath(MyPath).Drive, SplitPath(target.MyPath).Drive)) {
    for (int i = 0; i < NFiles(); ++i) {
      const std::string& name = Entries[i].Name;
      if (MayHandle("Move", i)) DiskFileMove(MyPath, name, target.MyPath, target.Holds(name));
    }
    return 0;
  }
  // Across drives a move is a copy and a delete. Only what was copied here,
  // empty files included, may be deleted: anything else would be lost.
  std::vector<bool> copied;
  CopyEntries(target, true, copied);
  for (int i = 0; i < NFiles(); ++i)
    if (copied[i] && MayHandle("Delete", i)) DiskFileDelete(MyPath, Entries[i].Name);
  return 0;
}

int Disk_FileList::CopyFrom(const std::string& source) {
  std::unique_ptr<Disk_FileList> sourceList = MakeFileList(source);
  for (const FileInf& entry : sourceList->Entries)
    DiskFileCopy(sourceList->MyPath, entry.Name, MyPath, Holds(entry.Name));
  return 0;
}
