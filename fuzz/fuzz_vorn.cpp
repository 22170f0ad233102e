// One libFuzzer driver for every parser of untrusted text and the rules their
// output meets (masks, pairing by name, packed times): the input's first byte
// chooses one, the rest is its text. Besides crashes and undefined behaviour
// each checks properties of what it gives back. It stands in for console.cpp
// too: output is discarded, no answer is ever read, and the fatal report
// throws back to the driver instead of ending the process.
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "disk/disk_file_list.h"
#include "lists/file_list.h"
#include "lists/file_markers.h"
#include "run/actions.h"
#include "run/invocation.h"
#include "run/settings.h"
#include "support/console.h"
#include "support/dos_time.h"
#include "support/mask_match.h"
#include "support/path_parts.h"
#include "support/strings.h"
#include "support/text_to_real.h"

namespace {

struct FuzzAbort {};  // the run would have ended here with its report
bool SomethingUnreadable = false;

void Require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property failed: %s\n", property);
  std::abort();
}

// The text as pieces separated by NUL bytes.
std::vector<std::string> Pieces(const std::string& text) {
  std::vector<std::string> pieces(1);
  for (char c : text) {
    if (c == '\0') pieces.emplace_back();
    else pieces.back().push_back(c);
  }
  return pieces;
}

// Control files: each pair is the text before a line's first TAB and after
// it, neither empty, no line end in either. The file lives in memory.
void ControlFile(const std::string& text) {
  static const int file = memfd_create("vorn-control-file", 0);
  if (ftruncate(file, 0) != 0 || pwrite(file, text.data(), text.size(), 0) != ssize_t(text.size())) return;
  const std::string argument = "@/proc/self/fd/" + std::to_string(file);
  const char* arguments[] = {"vorn", argument.c_str(), "List1", "All1"};
  ReadControlFile(4, arguments);
  Require(Settings.Dir1Str.size() == Settings.Dir2Str.size(), "texts come in pairs");
  for (size_t i = 0; i < Settings.Dir1Str.size(); ++i) {
    const std::string &first = Settings.Dir1Str[i], &second = Settings.Dir2Str[i];
    Require(!first.empty() && !second.empty() && first.find('\t') == std::string::npos &&
                (first + second).find('\n') == std::string::npos, "a pair is two texts split at a TAB");
  }
}

// A FileSet text inside a small tree: the directory text is empty or ends in
// a separator, the masks are the text's pieces, every entry fits a mask.
void FileSet(const std::string& text) {
  static const bool made = [] {
    static const auto tree = std::filesystem::temp_directory_path() / ("vorn-fuzz-" + std::to_string(getpid()));
    std::atexit([] { std::filesystem::remove_all(tree); });
    std::filesystem::create_directories(tree / "src/Sub");
    std::filesystem::create_directories(tree / "empty");
    if (chdir(tree.c_str()) != 0) std::abort();
    for (const char* path : {"src/main.c", "src/Util.h", "src/README", "src/.hidden", "src/x y.txt",
                             "src/we;ird", "src/Sub/deep.c", "src/a.b.c"})
      std::fclose(std::fopen(path, "w"));
    return true;
  }();
  (void)made;
  if (text.size() > 512 || text.find('\0') != std::string::npos || text.find("..") != std::string::npos ||
      text.starts_with("/"))
    return;
  ListDirectoryOf(text);
  const std::unique_ptr<Disk_FileList> list = MakeFileList(text);
  Require(list->MyPath.empty() || EndsInSeparator(list->MyPath), "a directory text ends in a separator");
  std::string joined;
  for (size_t i = 0; i < list->Masks.size(); ++i) joined += (i == 0 ? "" : " & ") + list->Masks[i];
  Require(!list->Masks.empty() && list->MyFiles == joined, "the masks are the text's pieces");
  for (const FileInf& entry : list->Entries) {
    bool fits = false;
    for (const std::string& mask : list->Masks) fits = fits || MatchesMask(entry.Name, mask);
    Require(fits, "every entry fits one of the masks");
  }
}

// The mask matcher against a plain table-driven matcher of every split a '*'
// makes, with the rule for names without a dot: a mask's closing "." or ".*"
// may match their end.
bool MatchesByTable(const std::string& name, std::string_view mask) {
  std::vector<std::vector<char>> can(name.size() + 1, std::vector<char>(mask.size() + 1, 0));
  can[name.size()][mask.size()] = 1;
  for (size_t i = name.size() + 1; i-- > 0;)
    for (size_t j = mask.size(); j-- > 0;)
      can[i][j] = mask[j] == '*' ? can[i][j + 1] || (i < name.size() && can[i + 1][j])
                  : i < name.size() && (mask[j] == '?' || FoldCase(mask[j]) == FoldCase(name[i])) && can[i + 1][j + 1];
  return can[0][0];
}

void Masks(const std::string& text) {
  std::vector<std::string> pieces = Pieces(text);
  if (pieces.size() != 2 || pieces[0].size() > 30000 || pieces[1].size() > 300) return;
  const std::string &name = pieces[0], &mask = pieces[1];
  const std::string_view view = mask;
  const size_t dropped = view.ends_with(".*") ? 2 : view.ends_with(".") ? 1 : 0;
  const bool expected = MatchesByTable(name, view) ||
                        (dropped && name.find('.') == std::string::npos &&
                         MatchesByTable(name, view.substr(0, view.size() - dropped)));
  Require(MatchesMask(name, mask) == expected, "a mask matches as the table says");
  Require(MatchesMask(name, name) && MatchesMask(name, "*") && MatchesMask(name, "*.*"), "a name matches itself and *");
}

// SplitPath: the parts make up the text again, each in its shape.
void SplitPaths(const std::string& path) {
  const PathParts parts = SplitPath(path);
  const std::string last = parts.Name + parts.Extension;
  Require(parts.Drive + parts.Directory + last == path, "the parts make up the path");
  Require(parts.Drive.empty() || (parts.Drive.size() == 2 && parts.Drive[1] == ':'), "a drive is a letter and a colon");
  Require(last.find_first_of("/\\") == std::string::npos, "the last component holds no separator");
  Require(parts.Extension.empty() || parts.Extension.rfind('.') == 0, "an extension is its one dot and after");
  Require(last.empty() || parts.Directory.empty() || IsSeparator(parts.Directory.back()), "a directory keeps its separator");
}

// The string routines with any positions agree with the plain operations.
void Strings(const std::string& text) {
  if (text.size() < 8) return;
  int position, length;
  std::memcpy(&position, text.data(), 4);
  std::memcpy(&length, text.data() + 4, 4);
  const std::vector<std::string> pieces = Pieces(text.substr(8));
  const std::string a = pieces[0], b = pieces.size() > 1 ? pieces[1] : "";
  const bool cut = position >= 1 && size_t(position) <= a.size() && length > 0;
  std::string shortened = a, expected = a;
  StrDelete(shortened, position, length);
  if (cut) expected.erase(size_t(position) - 1, size_t(length));
  Require(shortened == expected, "StrDelete removes the run");
  const bool searchable = position >= 1 && size_t(position) <= a.size() && !b.empty();
  const size_t at = searchable ? a.find(b, size_t(position) - 1) : std::string::npos;
  Require(StrPos(a, b, position) == (at == std::string::npos ? 0 : int(at) + 1),
          "StrPos finds the first pattern at or after the start");
  Require(StrEq(a, b) == (FoldCase(a) == FoldCase(b)) && StrEq(a, FoldCase(a)), "StrEq ignores letter case only");
}

// Any switches, FileMarkers and action on two small lists either work or end
// the run through the fatal report; partners stay within the other list.
void SwitchesAndMarkers(const std::string& text) {
  std::vector<std::string> words = Pieces(text);
  if (words.size() > 64) return;
  std::vector<const char*> arguments = {"vorn", "a/", "b"};
  for (const std::string& word : words) arguments.push_back(word.c_str());
  FileList list1(4), list2(4);
  auto fill = [](FileList& list, std::initializer_list<std::pair<const char*, int64_t>> entries, int day) {
    list.MyPath = "/nonexistent-vorn-fuzz/", list.MyFiles = "*.*", list.Masks = {"*.*"};
    for (auto [name, size] : entries)
      list.Entries.push_back(FileInf{.Name = name, .Size = size, .Day = day++, .Month = 1, .Year = 2024});
  };
  fill(list1, {{"a.txt", 10}, {"B.TXT", 0}, {"only1", 5}, {"Same", 7}, {"long.name.ext", 1ll << 33}}, 1);
  fill(list2, {{"A.TXT", 11}, {"b.txt", 0}, {"same", 7}, {"SAME", 8}, {"only2", 1}}, 2);
  try {
    ReadModifiers(int(arguments.size()), arguments.data(), 4);
    Settings.Action = arguments.size() > 3 ? arguments[3] : "";
    for (const std::string& marker : Settings.Modifier) ApplyFileMarker(marker, list1, list2);
    ImplementAction(Settings.Action, list1, list2);
  } catch (const FuzzAbort&) {
  }
  for (const FileList* list : {&list1, &list2})
    for (const FileInf& entry : list->Entries) Require(entry.Partner >= -1 && entry.Partner < 5, "a partner is in the other list");
}

// Pairing two lists of names (list two after the first empty piece): an
// entry of list one pairs with the very same name, else with the first name
// equal but for ASCII letter case; an entry of list two names the last entry
// of list one of its very spelling paired with it.
void Pairing(const std::string& text) {
  FileList one(4), two(4);
  FileList* list = &one;
  for (const std::string& name : Pieces(text)) {
    if (name.empty()) list = &two;
    else list->Entries.push_back(FileInf{.Name = name});
  }
  one.Mark(MatchOnly, two, false);
  std::unordered_map<std::string, int> exact, folded;
  for (size_t j = two.Entries.size(); j-- > 0;)
    exact[two.Entries[j].Name] = folded[FoldCase(two.Entries[j].Name)] = int(j);
  std::vector<int> lastPairedBy(two.Entries.size(), -1);
  for (size_t i = 0; i < one.Entries.size(); ++i) {
    const FileInf& entry = one.Entries[i];
    const auto same = exact.find(entry.Name), equal = folded.find(FoldCase(entry.Name));
    const int partner = same != exact.end() ? same->second : equal != folded.end() ? equal->second : -1;
    Require(entry.Partner == partner && entry.Marked == (partner < 0), "list one pairs by the rule");
    if (partner >= 0 && entry.Name == two.Entries[partner].Name) lastPairedBy[partner] = int(i);
  }
  for (size_t j = 0; j < two.Entries.size(); ++j)
    Require(two.Entries[j].Partner == lastPairedBy[j], "list two names its last partner of its spelling");
}

// TextToReal reads the decimal number in front of the text exactly as the C
// library does in the C locale; hexadecimal, infinity and NaN are no numbers.
void Reals(const std::string& text) {
  const std::string number = text.substr(0, text.find_first_not_of("0123456789+-.eE \t\n\v\f\r"));
  const double value = TextToReal(text), expected = std::strtod(number.c_str(), nullptr);
  Require(value == expected && std::signbit(value) == std::signbit(expected), "TextToReal reads as strtod");
}

// Packed times, from six fields: every field comes back within its range; a
// valid time from 1980 to 2107 comes back whole but for an odd second;
// earlier ones pack as the first moment, later ones as the last.
using Fields = std::array<int, 6>;  // year, month, day, hour, minute, second

Fields Unpack(DosDateTime packed) {
  return {1980 + (packed.Date >> 9), (packed.Date >> 5) & 15, packed.Date & 31,
          packed.Time >> 11,         (packed.Time >> 5) & 63, (packed.Time & 31) * 2};
}

bool IsValid(const Fields& f) {
  return f[1] >= 1 && f[1] <= 12 && f[2] >= 1 && f[2] <= 31 && f[3] >= 0 && f[3] <= 23 && f[4] >= 0 &&
         f[4] <= 59 && f[5] >= 0 && f[5] <= 59;
}

void Times(const std::string& text) {
  Fields f;
  if (text.size() != sizeof f) return;
  std::memcpy(f.data(), text.data(), sizeof f);
  const Fields back = Unpack(PackDosDateTime(f[0], f[1], f[2], f[3], f[4], f[5]));
  Require(IsValid(back) && back[0] <= 2107 && back[5] % 2 == 0, "every field within its range");
  if (f[0] < 1980 || f[0] > 2107)
    Require(back == (f[0] < 1980 ? Fields{1980, 1, 1, 0, 0, 0} : Fields{2107, 12, 31, 23, 59, 58}), "held at the ends");
  else if (IsValid(f))
    Require(back == Fields{f[0], f[1], f[2], f[3], f[4], f[5] - f[5] % 2}, "a valid time comes back");
}

}  // namespace

using Text = std::string_view;
void Write(Text) {}
void EndLine() {}
void FlushConsole() {}
uint64_t BytesWritten() { return 0; }
void RunAbort(Text) { throw FuzzAbort(); }
void RunAbort2(Text, Text) { throw FuzzAbort(); }
void RunAbort3(Text, Text, Text) { throw FuzzAbort(); }
void RunWarning(Text) {}
void RunWarning2(Text, Text) {}
void ReportUnreadable(Text, Text) { SomethingUnreadable = true; }
bool AnythingUnreadable() { return SomethingUnreadable; }
int ReadAnswer() { return -1; }

// The selector's order is the corpus's: fuzz/corpus/<parser>-* start with its index.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static void (*const parsers[])(const std::string&) = {ControlFile, FileSet, Masks, SplitPaths,
                                                        Strings, SwitchesAndMarkers, Reals, Pairing, Times};
  constexpr size_t count = sizeof(parsers) / sizeof(parsers[0]);
  if (size == 0) return 0;
  try {
    parsers[data[0] % count](std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  } catch (const FuzzAbort&) {
  }
  return 0;
}
