#include <algorithm>
#include <string>
#include <string_view>

#include "lists/file_list.h"
#include "lists/handling.h"
#include "support/console.h"
#include "support/random.h"

namespace {

// Pads a column from one run of blanks, so a listing line costs no
// allocation however many names it holds.
void WriteBlanks(size_t count) {
  static constexpr char Blanks[] = "                                                  ";
  for (; count > 0; count -= std::min(count, sizeof Blanks - 1))
    Write(std::string_view(Blanks, std::min(count, sizeof Blanks - 1)));
}

}  // namespace

void FileList::List() const {
  bool anyMarked = std::any_of(Entries.begin(), Entries.end(),
                               [](const FileInf& entry) { return entry.Marked; });
  if (!anyMarked) return;
  Write("**************** In directory ");
  Write(MyPath);
  Write(MyFiles);
  if (MyFiles.empty() || MyFiles.back() != ':') Write(":");
  EndLine();

  int inLine = 0;
  for (const FileInf& entry : Entries) {
    if (!entry.Marked) continue;
    Write(entry.Name);
    if (++inLine == Columns) {
      EndLine();
      inLine = 0;
    } else if (static_cast<int>(entry.Name.size()) < ColumnWidth) {
      WriteBlanks(ColumnWidth - entry.Name.size());
    }
  }
  if (inLine > 0) EndLine();
}

bool FileList::MayHandle(std::string_view verb, int index) const {
  const FileInf& entry = Entries[index];
  if (!entry.Marked) return false;
  int draw = RandomDraw() % 1000;
  if (static_cast<double>(draw) > 1000.0 * static_cast<double>(Handling.PtoUse))
    return false;
  if (!Handling.Confirm) return true;
  Write(verb);
  Write(" file ");
  Write(FullPath(index));
  Write("? ");
  int answer = ReadAnswer();
  return answer == 'y' || answer == 'Y';
}
