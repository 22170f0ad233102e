// FileMarkers: the selection words that mark entries of a pair of lists.
#pragma once

#include <string>

class FileList;

// Parses one FileMarker and marks what it selects in list1 and list2; an
// unknown or malformed FileMarker ends the run.
void ApplyFileMarker(const std::string& marker, FileList& list1, FileList& list2);
// Applies a FileMarker whose side suffix has been removed to one list.
void ApplySidedMarker(const std::string& keyword, FileList& list, FileList& other);
