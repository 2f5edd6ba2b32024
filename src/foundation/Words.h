#pragma once
// Blank-separated words of a text (the probe's answers, stored header lines) and the characters
// a text answer of the probe may hold.

#include <string>
#include <string_view>

namespace marevo {

// Number of blank-separated words (only the blank separates; runs of blanks count once).
int WordNumber(std::string_view s);
// The n-th (from 1) blank-separated word, trimmed; empty when there is none.
std::string ExtractWord(std::string_view s, int n);
// Whether byte c may occur in a text answer of the probe (anything else means binary data).
bool IsAnswerChar(unsigned char c);

} // namespace marevo
