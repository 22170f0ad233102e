// The console convention: every message is one line on standard output,
// written in pieces and ended by EndLine (line end and flush). Standard error
// is never written.
#pragma once

#include <cstdint>
#include <string_view>

void Write(std::string_view text);
void EndLine();
// How many bytes have been written so far: work that left it unchanged
// printed nothing.
uint64_t BytesWritten();
// Writes pending output without ending the line (prompts, bell characters).
void FlushConsole();

// Prints the two-line fatal report and ends the process with status 1.
[[noreturn]] void RunAbort(std::string_view message);
[[noreturn]] void RunAbort2(std::string_view a, std::string_view b);
[[noreturn]] void RunAbort3(std::string_view a, std::string_view b, std::string_view c);
void RunWarning(std::string_view message);
void RunWarning2(std::string_view a, std::string_view b);
// Warns that a file or directory could not be read: "Could not read " what
// path. The run goes on, and its exit status then says it is incomplete.
void ReportUnreadable(std::string_view what, std::string_view path);
bool AnythingUnreadable();

// One answer character from standard input, leading white space skipped;
// pending output is flushed first. -1 at the end of input.
int ReadAnswer();
