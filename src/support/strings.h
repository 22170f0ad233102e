// The text routines every subsystem builds, cuts and compares texts with.
// Positions are 1-based; out-of-range positions give an empty result or no
// change, never an access past the end.
#pragma once

#include <string>
#include <string_view>

using Text = std::string_view;

void StrAppend3(std::string& dest, Text a, Text b, Text c);
void StrDelete(std::string& text, int position, int count);
int StrPos(Text text, Text pattern, int start);

// Equality with ASCII letters compared without regard to case; every other
// byte compares exactly.
bool StrEq(Text a, Text b);
bool StrEqAny2(Text x, Text a, Text b);
bool StrEqAny5(Text x, Text a, Text b, Text c, Text d, Text e);

// The case rule of StrEq applied to one byte and to a whole text.
char FoldCase(char c);
std::string FoldCase(Text text);
