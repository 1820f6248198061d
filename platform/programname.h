// Taking the program's own name off a command line that the OS hands over
// as one text (as Windows does).
#pragma once

#include <string_view>

namespace platform {

// What follows the program's name in `commandLine`, with the characters of
// codes 1 to 32 (blanks, tabs, other control characters) right after the
// name skipped. The name ends at the first character of code 32 or below
// that stands outside double quotation marks; each quotation mark switches
// between inside and outside, so "C:\Program Files\x.exe" is one name. The
// rest is returned unchanged, quotation marks included.
std::string_view textAfterProgramName(std::string_view commandLine);

}  // namespace platform
