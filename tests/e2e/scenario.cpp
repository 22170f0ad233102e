#include "scenario.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <iomanip>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

time_t ParseUtc(const std::string& text) {
  std::tm tm{};
  std::istringstream in(text);
  in >> std::get_time(&tm, "%Y-%m-%d %H:%M:%S");
  EXPECT_FALSE(in.fail()) << "bad time " << text;
  return timegm(&tm);
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void MakeWritable(const fs::path& root) {
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(root, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
}

// ---------------------------------------------------------------------------
// The Windows build under Wine
//
// With VORN_WINE_EXE naming vorn.exe, every run starts that binary through
// Wine (VORN_WINE names the loader, /usr/lib/wine/wine64 when unset). The
// expectations stay the POSIX ones; everything in which the platforms
// differ is listed and handled here:
//
// 1. Standard output ends lines with "\r\n" and Vorn appends '\' where it
//    appends '/' on POSIX. The output is turned back: "\r\n" to "\n" and
//    every '\' to '/'. No test that runs under Wine has a '\' of its own in
//    a name or a message, so nothing else is touched. A line feed without
//    its carriage return is a fault, and is shown as one.
// 2. Names are UTF-16 text on Windows and carried as UTF-8; arguments come
//    from the wide command line. A control-file line that is not UTF-8 is
//    read in the system's legacy code page, so its bytes change on the way.
// 3. Directory order is no difference: both platform layers sort names.
// 4. A pair whose two names may be one file is told by the directory search
//    on POSIX (links, files with more than one name); on Windows only
//    reparse points (symbolic links, junctions) are, as a search cannot tell
//    a file with more than one hard link without opening each file.
// 5. Tests of things Windows does not have, or does differently by design,
//    are skipped under Wine; kPosixOnly names each with its reason. Whole
//    suites that work through POSIX machinery (Faults, Hostile, Kill) are
//    left out by tests/windows/run-windows-tests. Tests of what only Windows
//    does are skipped on POSIX; kWindowsOnly names them.

const char* WindowsBinary() { return getenv("VORN_WINE_EXE"); }

std::string WineLoader() {
  const char* loader = getenv("VORN_WINE");
  return loader != nullptr ? loader : "/usr/lib/wine/wine64";
}

std::string AsPosixOutput(const std::string& out) {
  std::string text;
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n') continue;
    if (out[i] == '\n' && (i == 0 || out[i - 1] != '\r')) text += "<line feed without CR>";
    text += out[i] == '\\' ? '/' : out[i];
  }
  return text;
}

struct PlatformOnly {
  const char* Test;  // "Suite.Name", or "Suite.*" for a whole suite
  const char* Reason;
};

const PlatformOnly kPosixOnly[] = {
    // Shapes Windows does not have, or Wine cannot make.
    {"Listing.OnlyPlainFilesBecomeEntries", "FIFOs and symbolic links"},
    {"Recursion.LinkLoopsAreNeverFollowedBackUpThePath", "symbolic links"},
    {"Recursion.LinkToASiblingIsWalkedAsADirectoryOfItsOwn", "symbolic links"},
    {"Recursion.OneDirectoryNamedTwoWaysIsRefused", "symbolic links"},
    {"Operations.ASourceGoneBeforeItsCopyIsReportedAndKept", "symbolic links, X: as a name"},
    {"Operations.CopyKeepsThePermissionBits", "Unix permission bits"},
    {"Operations.CopyIntoAReadOnlyDirectoryFails", "Unix permission bits"},
    {"Recursion.UnreadableSubdirectoryIsReportedAndLeftAlone", "Unix permissions, capabilities"},
    {"Compare.UnreadableFileMakesThePairDiffer", "/proc"},
    {"Compare.TwoUnreadableFilesAreNotEqual", "/proc"},
    // "X:" stands for another drive as a directory of that name; Windows
    // forbids ':' in names, and X: is a drive there.
    {"Operations.CopyCreatesAMissingTargetDirectory", "':' in a name"},
    {"Operations.MoveWithoutItsTargetDirectoryStopsTheRun", "':' in a name"},
    {"Operations.MoveToAnotherDriveCopiesEverythingThenDeletes", "':' in a name"},
    {"Operations.MoveToAnotherDriveKeepsWhatItCouldNotCopy", "':' in a name"},
    {"Gate.AMoveToAnotherDriveAsksToCopyThenToDeleteWhatWasCopied", "':' in a name"},
    {"Updates.NamesTheShellWouldInterpretAreCopiedAndMovedWhole",
     "quotes, '|', '<', '>' and line feeds in names (Names.* has the marks Windows allows)"},
    {"Updates.AQuoteBlankQuoteInADirectoryNameIsPartOfThePath", "quotes in names"},
    {"ControlFile.NonAsciiAndBlankDirectoryNamesAreUsedAsWritten",
     "a name of bytes that are not UTF-8 (Names.* has non-ASCII directories)"},
    {"ControlFile.GarbageLinesAreReportedByteForByte",
     "a line that is not UTF-8 is read in the legacy code page (a unit test shows how)"},
    {"Safety.ALinkToItsPartnerIsNeverADuplicate", "symbolic links"},
    {"Safety.AHardLinkPairIsOneFileToEveryRule", "hard links made by the harness"},
    {"Safety.ADeleteNeverFollowsALinkOutOfTheTree", "symbolic links"},
    {"Safety.ATargetTheScanDidNotSeeIsNeverReplaced", "symbolic links"},
    {"Safety.AQuoteBlankQuoteNameIsMovedAsOneNameOrNotAtAll", "quotes in names"},
    {"Safety.ANamePairsWithItsOwnSpellingFirst",
     "one directory cannot hold two names that differ in letter case only"},
    // Wine's own, not Windows' behaviour.
    {"Listing.MaskMatchingRules", "Wine's search matches '*.' like '*', not names without a dot"},
    {"DeepTree.ListsEveryLevelTheSystemCanReachAndReportsTheRest",
     "Wine's own path limit: it reaches a file through an absolute Unix path under its "
     "prefix, of at most 4096 bytes, where Windows reaches 32767 characters"},
};

const PlatformOnly kWindowsOnly[] = {
    {"Names.ACaseVariantBeyondAsciiIsNeverReplaced",
     "names that differ beyond ASCII letter case are one name only where the file system "
     "folds every letter"},
};

template <size_t N>
void SkipIfListed(const PlatformOnly (&list)[N], const char* platform) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string suite = test->test_suite_name();
  for (const PlatformOnly& entry : list) {
    if (entry.Test == suite + "." + test->name() || entry.Test == suite + ".*")
      GTEST_SKIP() << "not on " << platform << ": " << entry.Reason;
  }
}

}  // namespace

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::string Listed(const std::string& where, const std::vector<std::string>& names) {
  if (names.empty()) return "";
  std::vector<std::string> lines = {"**************** In directory " + where + ":"};
  std::string line;
  for (size_t i = 0; i < names.size(); ++i) {
    line += names[i];
    if (i % 4 == 3) {
      lines.push_back(line);
      line.clear();
    } else if (names[i].size() < 20) {
      line += std::string(20 - names[i].size(), ' ');
    }
  }
  if (!line.empty()) lines.push_back(line);
  return Lines(lines);
}

std::string Abort(const std::string& message) {
  return Lines({"Program halted by RunAbort, with following error message:", "  " + message});
}

const char* const kUsage =
    "Vorn Optional Switches: (default setting listed first)\n"
    "       /nr      nonrecursive\n"
    "       /r       recurse to all subdirectories\n"
    "\n"
    "       /r#      recurse to subdirectories NOT starting with #\n"
    "\n"
    "       /nc      don't confirm\n"
    "       /c       confirm\n"
    "       /t       terminate on file-handling error\n"
    "       /q       Run quietly, without displaying names of files copied, deleted, etc.\n"
    "       /nt      don't terminate\n"
    "\n"
    "       /nctrlz  don't accept as bytematching files differing\n"
    "                in that one has an extra Ctrl-Z at the end\n"
    "       /ctrlz   do accept such files as bytematches\n"
    "\n"
    "       /p0.30   Only do the directed action with indicated probability\n"
    "\n"
    "Invoke with:  Vorn  [Dir1]FileSet1  Dir2  Action  [FileMarkers]\n"
    "Program halted by RunAbort, with following error message:\n"
    "      or with:  Vorn  @ControlFile  Action  [FileMarkers]\n";

void Scenario::SetUp() {
  if (WindowsBinary() != nullptr)
    SkipIfListed(kPosixOnly, "Windows");
  else
    SkipIfListed(kWindowsOnly, "POSIX");
  std::string pattern = (fs::temp_directory_path() / "vorn-e2e-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  Root = pattern;
}

void Scenario::TearDown() {
  MakeWritable(Root);
  std::error_code ignored;
  fs::remove_all(Root, ignored);
}

std::string Scenario::Abs(const std::string& path) const { return Root + "/" + path; }

void Scenario::File(const std::string& path, const std::string& content,
                    const std::string& time) {
  fs::create_directories(fs::path(Abs(path)).parent_path());
  std::ofstream(Abs(path), std::ios::binary) << content;
  SetTime(path, time);
}

void Scenario::FileOfSize(const std::string& path, size_t size, const std::string& time) {
  std::string content(size, 'x');
  for (size_t i = 0; i < size; ++i) content[i] = static_cast<char>('a' + i % 26);
  File(path, content, time);
}

void Scenario::Dir(const std::string& path) { fs::create_directories(Abs(path)); }

void Scenario::SetTime(const std::string& path, const std::string& time) {
  timespec times[2] = {{ParseUtc(time), 0}, {ParseUtc(time), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, Abs(path).c_str(), times, 0), 0) << path;
}

bool Scenario::Exists(const std::string& path) const {
  struct stat info;
  return lstat(Abs(path).c_str(), &info) == 0;
}

std::string Scenario::Read(const std::string& path) const { return Slurp(Abs(path)); }

std::string Scenario::TimeOf(const std::string& path) const {
  struct stat info;
  if (stat(Abs(path).c_str(), &info) != 0) return "missing";
  std::tm tm{};
  gmtime_r(&info.st_mtime, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

std::string Scenario::Tree(const std::string& dir) const {
  std::vector<std::string> lines;
  const fs::path base = Abs(dir);
  for (const auto& entry : fs::recursive_directory_iterator(base)) {
    std::string name = fs::relative(entry.path(), base).string();
    if (entry.is_directory() && !entry.is_symlink())
      lines.push_back(name + "/");
    else
      lines.push_back(name + " " + std::to_string(entry.file_size()));
  }
  std::sort(lines.begin(), lines.end());
  return Lines(lines);
}

RunResult Scenario::Run(const std::vector<std::string>& arguments, const std::string& input) {
  return Run(arguments, input, {});
}

RunResult Scenario::Run(const std::vector<std::string>& arguments, const std::string& input,
                        const std::vector<std::string>& environment) {
  const std::string inPath = Root + ".in", outPath = Root + ".out", errPath = Root + ".err";
  std::ofstream(inPath, std::ios::binary) << input;
  pid_t child = fork();
  if (child == 0) {
    int in = open(inPath.c_str(), O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (chdir(Root.c_str()) != 0) _exit(126);
    const char* windowsBinary = WindowsBinary();
    std::string wine = WineLoader();
    std::vector<char*> argv;
    if (windowsBinary != nullptr) {
      argv.push_back(wine.data());
      argv.push_back(const_cast<char*>(windowsBinary));
    } else {
      argv.push_back(const_cast<char*>("vorn"));
    }
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    char tz[] = "TZ=UTC";
    char path[] = "PATH=/usr/bin:/bin";
    // A sanitizer build's settings reach the binary too, so that its reports
    // end the run the way the suite's own settings say, unless the run sets
    // them itself.
    std::vector<std::string> variables = environment;
    for (const std::string name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TSAN_OPTIONS"}) {
      bool given = std::any_of(variables.begin(), variables.end(), [&](const std::string& v) {
        return v.starts_with(name + "=");
      });
      if (getenv(name.c_str()) != nullptr && !given)
        variables.push_back(name + "=" + getenv(name.c_str()));
    }
    if (windowsBinary != nullptr) {
      for (const std::string name : {"WINEPREFIX", "WINEDEBUG", "WINEDLLOVERRIDES", "HOME"})
        if (getenv(name.c_str()) != nullptr) variables.push_back(name + "=" + getenv(name.c_str()));
      // Wine reads the names on disk in the locale's character set; the
      // scenarios write them in UTF-8.
      variables.push_back("LANG=C.UTF-8");
    }
    std::vector<char*> pointers = {tz, path};
    for (std::string& variable : variables) pointers.push_back(variable.data());
    pointers.push_back(nullptr);
    execve(windowsBinary != nullptr ? wine.c_str() : VORN_BINARY, argv.data(), pointers.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  RunResult result;
  result.Out = WindowsBinary() != nullptr ? AsPosixOutput(Slurp(outPath)) : Slurp(outPath);
  result.Err = Slurp(errPath);
  result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  for (const std::string& path : {inPath, outPath, errPath}) unlink(path.c_str());
  return result;
}

void Scenario::Expect(const std::vector<std::string>& arguments, const std::string& out,
                      int status, const std::string& input) {
  RunResult result = Run(arguments, input);
  EXPECT_EQ(result.Out, out);
  EXPECT_EQ(result.Err, "");
  EXPECT_EQ(result.Status, status);
}
