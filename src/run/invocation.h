// The program's entry: the two invocation forms and the loop over the
// directory pairs.
#pragma once

#include <string>

// The main routine; gives the process's exit status after a normal end.
int RunVorn(int count, const char* const* arguments);

void ReadDirectArgs(int count, const char* const* arguments);
void ReadControlFile(int count, const char* const* arguments);
void ReadControlLine(const std::string& line);
void CompleteBareDrive(std::string& text);
