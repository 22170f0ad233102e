#include "run/actions.h"

#include "lists/file_list.h"
#include "lists/file_markers.h"
#include "run/settings.h"
#include "support/console.h"
#include "support/strings.h"

namespace {

void ClearMarks(FileList& list1, FileList& list2) {
  list1.SetAllMarks(false);
  list2.SetAllMarks(false);
}

}  // namespace

void ImplementAction(const std::string& word, FileList& list1, FileList& list2) {
  if (StrEqAny2(word, "Update1", "Up1")) {
    ClearMarks(list1, list2);
    ApplyFileMarker("Only2", list1, list2);
    ApplyFileMarker("Newer2", list1, list2);
    ImplementAction("CopyFrom2", list1, list2);
    return;
  }
  if (StrEqAny2(word, "Update2", "Up2")) {
    ClearMarks(list1, list2);
    ApplyFileMarker("Only1", list1, list2);
    ApplyFileMarker("Newer1", list1, list2);
    ImplementAction("CopyFrom1", list1, list2);
    return;
  }
  if (StrEqAny5(word, "UpdateB", "Synchronize", "Synch", "Sync", "Syn")) {
    ClearMarks(list1, list2);
    for (const char* marker : {"Only1", "Newer1", "Only2", "Newer2"})
      ApplyFileMarker(marker, list1, list2);
    ImplementAction("CopyB", list1, list2);
    return;
  }

  char suffix = word.empty() ? '\0' : word.back();
  Settings.ActionSuffix = suffix;
  std::string verb = word;
  StrDelete(verb, static_cast<int>(verb.size()), 1);
  if (suffix == '1') {
    ActOf(verb, list1, list2);
  } else if (suffix == '2') {
    ActOf(verb, list2, list1);
  } else if (suffix == 'B' || suffix == 'b') {
    ActOf(verb, list1, list2);
    ActOf(verb, list2, list1);
  } else {
    RunAbort3("Action ", word, " does not end in 1, 2, or B.");
  }
}

void ActOf(const std::string& verb, FileList& acting, FileList& other) {
  if (StrEq(verb, "List")) {
    acting.List();
  } else if (StrEqAny2(verb, "CopyFrom", "Copy")) {
    acting.CopyTo(other);
  } else if (StrEqAny2(verb, "MoveFrom", "Move")) {
    acting.MoveTo(other);
  } else if (StrEqAny2(verb, "Delete", "Del")) {
    acting.Delete();
  } else {
    RunAbort2("Unrecognized action: ", verb);
  }
}
