// The directory-and-FileSet text of a file list: inside a small tree made for
// the run, the list's directory text is empty or ends in a separator, its
// masks are the text's pieces, and every entry fits a mask.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "disk/disk_file_list.h"
#include "fuzz_support.h"
#include "support/mask_match.h"
#include "support/path_parts.h"

namespace {

// The tree of each fuzzing process is named after it. A crash leaves its
// tree behind, so a new process first removes those of processes gone.
const std::string kTreePrefix = "vorn-fuzz-fileset-";
std::string Tree;

void RemoveTree() { std::filesystem::remove_all(Tree); }

void RemoveTreesOfEndedProcesses() {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator("/tmp", ignored)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(kTreePrefix)) continue;
    const int pid = std::atoi(name.c_str() + kTreePrefix.size());
    if (pid > 0 && kill(pid, 0) != 0 && errno == ESRCH)
      std::filesystem::remove_all(entry.path(), ignored);
  }
}

void Put(const std::string& path) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::FILE* file = std::fopen(path.c_str(), "wb");
  std::fputs(path.c_str(), file);
  std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RemoveTreesOfEndedProcesses();
  Tree = "/tmp/" + kTreePrefix + std::to_string(getpid());
  std::filesystem::remove_all(Tree);
  std::filesystem::create_directories(Tree);
  std::atexit(RemoveTree);
  if (chdir(Tree.c_str()) != 0) std::abort();
  for (const char* path : {"src/main.c", "src/util.c", "src/Util.h", "src/README", "src/.hidden",
                           "src/x y.txt", "src/we;ird", "src/Sub/deep.c", "src/a.b.c", "dst/keep"})
    Put(path);
  mkdir("empty", 0755);
  return 0;
}

// Texts stay inside the tree: no absolute paths and no way up.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (size > 512 || text.find('\0') != std::string::npos || text.find("..") != std::string::npos ||
      text.starts_with("/"))
    return 0;
  ListDirectoryOf(text);
  std::unique_ptr<Disk_FileList> list;
  try {
    list = MakeFileList(text);
  } catch (const FuzzAbort&) {
    return 0;
  }
  Require(list->MyPath.empty() || EndsInSeparator(list->MyPath),
          "a list's directory text is empty or ends in a separator");
  std::string joined;
  for (size_t i = 0; i < list->Masks.size(); ++i) joined += (i == 0 ? "" : " & ") + list->Masks[i];
  Require(!list->Masks.empty() && list->MyFiles == joined, "the masks are the text's pieces");
  for (const FileInf& entry : list->Entries) {
    bool fits = false;
    for (const std::string& mask : list->Masks) fits = fits || MatchesMask(entry.Name, mask);
    Require(fits, "every entry fits one of the masks");
  }
  return 0;
}
