// Reading the command-line text into the options, the day count and the
// rotation switch.
#pragma once

#include <string>
#include <vector>

#include "core/String.h"

// What the option words at the start of the command-line text ask for.
struct Options {
  bool help = false;     // -h, --help
  bool version = false;  // --version
  bool dryRun = false;   // -n, --dry-run
  // The first word that starts with "--" but is no option; empty when none.
  // The words after it are not read.
  std::string unknown;
  // The command-line text from the first word that is no option on,
  // unchanged, to be read into the day count and the rotation switch.
  ovix::core::String rest;
};

// Reads the option words at the start of `commandLine`: the words (split
// as splitWords splits) up to the first one that is none of -h, --help,
// --version, -n, --dry-run. A word "--" ends the options and is dropped
// itself. A word starting with "--" that is no option stops the reading
// and is reported in `unknown`. Everything from the first other word on is
// left as it is, so "-3", "x" or "\"-n\"" still read as the day count.
Options readOptions(const ovix::core::String& commandLine);

// The help text: how to call the program, what a run does, its exit status
// and where its report goes. Ends with a line end.
const char* usageText();

// The program's name and version, as one line with its line end.
std::string versionText();

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
