// Single-file operations on disk, each announced on the console.
#pragma once

#include <cstdint>
#include <string>

#include "support/platform.h"

// Deletes dir + name; a failure ends the run.
int DiskFileDelete(const std::string& dir, const std::string& name);
// Copies sourceDir + name to targetDir + name, creating a missing target
// directory: 0 when copied, 1 when not and the run goes on (/nt). An
// existing target is replaced only when mayReplace: when the target list
// holds it. A ready pending copy of the file is named rather than written
// again.
int DiskFileCopy(const std::string& sourceDir, const std::string& name,
                 const std::string& targetDir, bool mayReplace,
                 PendingCopy pending = PendingCopy());
// Makes path and every missing directory above it: 0 when made, -1 when no
// further parent can be found.
int CreateDirPath(const std::string& path);
// Moves sourceDir + name to targetDir + name, with the same rule for an
// existing target; a failure ends the run.
int DiskFileMove(const std::string& sourceDir, const std::string& name,
                 const std::string& targetDir, bool mayReplace);
// Removes the empty directory path: 0 when removed.
int DiskDirRemove(const std::string& path);
// How many changes to the disk the run has set out to make so far: files
// copied, moved or deleted, directories made or removed, failures included.
// While it stays the same, the run has changed nothing.
uint64_t DiskChangesTried();
