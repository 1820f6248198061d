// Reading the command-line text into the day count and the rotation switch.
#pragma once

#include <string>
#include <vector>

#include "core/String.h"

// The words of the command-line text: the pieces between single blanks,
// without empty ones. Only " " separates; a tab is part of a word.
std::vector<ovix::core::String> splitWords(const ovix::core::String& commandLine);

// The leading integer of `word` as the C library's atoi reads it (leading
// white space skipped, an optional sign, then decimal digits up to the first
// other character; 0 when there are none), except that a number beyond the
// int range reads as the nearest int limit instead of wrapping around.
int readDayCount(const std::string& word);

// Whether the words ask for rotation: a second word that is exactly "true".
bool rotationRequested(const std::vector<ovix::core::String>& words);
