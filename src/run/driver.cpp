#include "run/driver.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "disk/comparison_memory.h"
#include "disk/disk_file_list.h"
#include "disk/disk_operations.h"
#include "lists/file_markers.h"
#include "run/actions.h"
#include "run/settings.h"
#include "support/console.h"
#include "support/path_parts.h"
#include "support/platform.h"
#include "support/strings.h"

namespace {

// A directory on the walk path for as long as the walk is below it.
class WalkPathEntry {
 public:
  WalkPathEntry(WalkPath& path, const std::string& directory) : Path(path) {
    DirIdentity identity;
    Pushed = IdentifyDir(directory, identity);
    if (Pushed) Path.Directories.push_back(identity);
  }
  ~WalkPathEntry() {
    if (Pushed) Path.Directories.pop_back();
  }
  WalkPathEntry(const WalkPathEntry&) = delete;
  WalkPathEntry& operator=(const WalkPathEntry&) = delete;

 private:
  WalkPath& Path;
  bool Pushed;
};

bool WalksSide(char suffix, char side) {
  return suffix == side || suffix == 'B' || suffix == 'b';
}

// The action word without its side.
std::string ActionVerb() {
  std::string verb = Settings.Action;
  if (!verb.empty()) verb.pop_back();
  return verb;
}

// Whether the action takes files away from side ('1' or '2').
bool EmptiesSide(char side) {
  const std::string verb = ActionVerb();
  return WalksSide(Settings.ActionSuffix, side) &&
         (StrEqAny2(verb, "Del", "Delete") || StrEqAny2(verb, "Move", "MoveFrom"));
}

// A linked subdirectory may lead anywhere, the user's home included: on a
// side the action empties it is left alone, like any system entry.
bool IsLinkOnEmptiedSide(char side, const std::string& subdirectory) {
  return EmptiesSide(side) && IsLink(subdirectory);
}

void ApplyFileMarkers(FileList& list1, FileList& list2) {
  if (Settings.Modifier.empty()) {
    list1.SetAllMarks(false);
    list2.SetAllMarks(false);
    return;
  }
  for (const std::string& marker : Settings.Modifier) ApplyFileMarker(marker, list1, list2);
}

// A directory that could not be read would look empty: every file of the
// other side would then seem to have no partner, and an update would copy
// over newer files or a Del Only delete files that do have partners. Such a
// pair, and everything below it, is reported and left alone.
bool BothReadable(const Disk_FileList& list1, const Disk_FileList& list2) {
  for (const Disk_FileList* list : {&list1, &list2})
    if (list->Unreadable) ReportUnreadable("directory ", list->MyPath);
  return !list1.Unreadable && !list2.Unreadable;
}

// Reads the lists of a subdirectory pair, both sides at once: a reading
// prints nothing and fills only its own list, so the pair is the same as
// when read one after the other. Both sides are read with list 1's masks;
// the lists are made from the divided texts, so a subdirectory name may
// hold ';' or '@'.
std::pair<std::unique_ptr<Disk_FileList>, std::unique_ptr<Disk_FileList>> ReadListPair(
    const std::string& directory1, const std::string& directory2,
    const std::vector<std::string>& masks) {
  std::unique_ptr<Disk_FileList> lists[2];
  const std::string* directories[2] = {&directory1, &directory2};
  ShareWork(2, [&](size_t side) {
    lists[side] = std::make_unique<Disk_FileList>(*directories[side], masks);
  });
  return {std::move(lists[0]), std::move(lists[1])};
}

bool NothingMarked(const FileList& list) {
  return std::none_of(list.Entries.begin(), list.Entries.end(),
                      [](const FileInf& entry) { return entry.Marked; });
}

// Listing changes no file: a comparison made on a pair's first visit holds
// on its second, unless something outside the run changed a file (which
// the memory checks).
bool OnlyLists() { return StrEq(ActionVerb(), "List"); }

// What a subdirectory pair's visit does with the comparisons that the
// memory of its parent holds: a walk through both sides visits a pair that
// both sides have first from side 1, then again from side 2.
ComparisonMemory::Use UseOfParentMemory(bool walkingSide1OfBoth, bool exists2, Walk walk) {
  if (!OnlyLists()) return ComparisonMemory::Use::None;
  if (walk == Walk::PairOnly) return ComparisonMemory::Use::Recall;
  return walkingSide1OfBoth && exists2 ? ComparisonMemory::Use::Keep
                                       : ComparisonMemory::Use::None;
}

}  // namespace

bool WalkPath::Holds(const DirIdentity& identity) const {
  return std::find(Directories.begin(), Directories.end(), identity) != Directories.end();
}

bool SubdirectoryMemory::WasIdle(const DirIdentity& first, const DirIdentity& second) const {
  auto found = IdleVisits.find({first, second});
  return found != IdleVisits.end() && found->second == DiskChangesTried();
}

void DoDirPair(const std::string& first, const std::string& second) {
  std::unique_ptr<Disk_FileList> list1 = MakeFileList(first);
  std::unique_ptr<Disk_FileList> list2 = MakeFileList(second);
  WalkPath path;
  DoDirPair(std::move(list1), std::move(list2), Walk::Subdirectories, path);
}

bool DoDirPair(std::unique_ptr<Disk_FileList> list1, std::unique_ptr<Disk_FileList> list2,
               Walk walk, WalkPath& path, ComparisonMemory* parentMemory,
               ComparisonMemory::Use use) {
  if (!BothReadable(*list1, *list2)) return false;
  const uint64_t written = BytesWritten(), changes = DiskChangesTried();
  {
    ComparisonMemory::InUse comparisons(parentMemory, use);
    ApplyFileMarkers(*list1, *list2);
    ImplementAction(Settings.Action, *list1, *list2);
  }
  const bool idle = BytesWritten() == written && DiskChangesTried() == changes &&
                    NothingMarked(*list1) && NothingMarked(*list2);
  if (!Settings.Recurse) return idle;

  WalkPathEntry onPath1(path, list1->MyPath);
  WalkPathEntry onPath2(path, list2->MyPath);
  // Lives until both walks below this pair are done, and no longer.
  SubdirectoryMemory subdirectories;
  const char suffix = Settings.ActionSuffix;
  if (WalksSide(suffix, '1')) {
    if (walk == Walk::Subdirectories) RecurseInto(*list1, *list1, *list2, path, subdirectories);
    if (StrEqAny2(Settings.Action, "Del1", "DelB")) RemoveListDir(list1->MyPath);
  }
  if (WalksSide(suffix, '2')) {
    if (walk == Walk::Subdirectories) RecurseInto(*list2, *list1, *list2, path, subdirectories);
    if (StrEqAny2(Settings.Action, "Del2", "DelB")) RemoveListDir(list2->MyPath);
  }
  return idle;
}

void RecurseInto(const FileList& walked, const FileList& list1, const FileList& list2,
                 WalkPath& path, SubdirectoryMemory& memory) {
  const bool walkingSide2OfBoth = &walked == &list2 && WalksSide(Settings.ActionSuffix, '1');
  const bool walkingSide1OfBoth = &walked == &list1 && WalksSide(Settings.ActionSuffix, '2');
  std::vector<std::string> subdirectories;
  if (!ListSubdirectories(walked.MyPath, subdirectories))
    ReportUnreadable("directory ", walked.MyPath);
  for (const std::string& name : subdirectories) {
    if (Settings.UseRecurseSkips && IsRecurseSkip(name[0])) continue;

    const std::string sub1 = list1.MyPath + name + NativeSeparator();
    const std::string sub2 = list2.MyPath + name + NativeSeparator();
    if (IsLinkOnEmptiedSide('1', sub1) || IsLinkOnEmptiedSide('2', sub2)) continue;
    DirIdentity identity1, identity2;
    const bool exists1 = IdentifyDir(sub1, identity1);
    const bool exists2 = IdentifyDir(sub2, identity2);
    if ((exists1 && path.Holds(identity1)) || (exists2 && path.Holds(identity2)) ||
        (exists1 && exists2 && identity1 == identity2))
      continue;
    // Side 1's walk already went below a subdirectory that both sides have.
    const Walk walk = walkingSide2OfBoth && exists1 ? Walk::PairOnly : Walk::Subdirectories;
    if (walk == Walk::PairOnly && memory.WasIdle(identity1, identity2)) continue;
    const uint64_t changes = DiskChangesTried();
    auto [subList1, subList2] = ReadListPair(sub1, sub2, list1.Masks);
    const bool idle = DoDirPair(std::move(subList1), std::move(subList2), walk, path,
                                &memory.Comparisons,
                                UseOfParentMemory(walkingSide1OfBoth, exists2, walk));
    if (idle && walkingSide1OfBoth && exists2) memory.IdleVisits[{identity1, identity2}] = changes;
  }
}

bool IsRecurseSkip(char c) {
  return std::any_of(Settings.RecurseSkips.begin(), Settings.RecurseSkips.end(),
                     [c](char skip) { return FoldCase(skip) == FoldCase(c); });
}

void RemoveListDir(const std::string& directory) {
  // Only a directory text with its closing separator names a directory that
  // may go: "C:" is a whole drive's current directory.
  if (directory.empty() || !IsSeparator(directory.back())) return;
  std::string path = directory;
  StrDelete(path, static_cast<int>(path.size()), 1);
  if (DiskDirRemove(path) != 0) return;
  Write("Deleting directory ");
  Write(path);
  EndLine();
}
