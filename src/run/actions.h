// Action words: a verb with a side suffix, or a composite action that makes
// its own selection.
#pragma once

#include <string>

class FileList;

// Resolves word and carries it out on the pair's lists; sets ActionSuffix.
void ImplementAction(const std::string& word, FileList& list1, FileList& list2);
// Carries out one verb (its suffix removed) on the acting list.
void ActOf(const std::string& verb, FileList& acting, FileList& other);
