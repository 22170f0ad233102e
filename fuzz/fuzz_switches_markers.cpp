// The switch and FileMarker pass, the FileMarkers and the action: any words,
// applied to two small lists, either do their work or end the run through the
// fatal report, and never touch memory they should not.
#include "fuzz_support.h"
#include "lists/file_list.h"
#include "lists/file_markers.h"
#include "run/actions.h"
#include "run/settings.h"

namespace {

struct Made {
  const char* Name;
  int64_t Size;
  int Year, Month, Day, Hour, Minute, Second;
};

// Lists of a directory that does not exist: a content comparison finds
// nothing to read and makes the pair differ.
void Fill(FileList& list, std::initializer_list<Made> entries) {
  list.MyPath = "/nonexistent-vorn-fuzz/";
  list.MyFiles = "*.*";
  list.Masks = {"*.*"};
  for (const Made& made : entries) {
    FileInf& entry = list.Entries.emplace_back();
    entry.Name = made.Name;
    entry.Size = made.Size;
    entry.Year = made.Year;
    entry.Month = made.Month;
    entry.Day = made.Day;
    entry.Hour = made.Hour;
    entry.Minute = made.Minute;
    entry.Second = made.Second;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> words = Pieces(data, size);
  if (words.size() > 64) return 0;
  std::vector<const char*> arguments = {"vorn", "a/", "b"};
  for (const std::string& word : words) arguments.push_back(word.c_str());
  FileList list1(4), list2(4);
  Fill(list1, {{"a.txt", 10, 2024, 1, 1, 10, 0, 0},
               {"B.TXT", 0, 2024, 1, 1, 10, 0, 1},
               {"only1", 5, 1980, 1, 1, 0, 0, 0},
               {"Same", 7, 2107, 12, 31, 23, 59, 58},
               {"long.name.ext", 1ll << 33, 2000, 2, 29, 12, 30, 30}});
  Fill(list2, {{"A.TXT", 11, 2024, 1, 1, 10, 0, 3},
               {"b.txt", 0, 2024, 1, 2, 10, 0, 1},
               {"same", 7, 2107, 12, 31, 23, 59, 58},
               {"SAME", 8, 2024, 6, 6, 6, 6, 6},
               {"only2", 1, 1999, 9, 9, 9, 9, 9}});
  try {
    ReadModifiers(int(arguments.size()), arguments.data(), 4);
    Settings.Action = arguments.size() > 3 ? arguments[3] : "";
    for (const std::string& marker : Settings.Modifier) ApplyFileMarker(marker, list1, list2);
    ImplementAction(Settings.Action, list1, list2);
  } catch (const FuzzAbort&) {
  }
  for (const FileList* list : {&list1, &list2}) {
    for (const FileInf& entry : list->Entries) {
      Require(entry.Partner >= -1 && entry.Partner < 5, "a partner is an entry of the other list");
    }
  }
  return 0;
}
