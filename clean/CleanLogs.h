// The run driver.
#pragma once

#include "core/String.h"

// One complete run for the command-line text (the words after the program's
// name): reads the options, the day count and the rotation switch, computes
// the age limit, rotates the web-server logs when asked, sweeps the expired
// logs and writes the report file into the log directory. Returns the number
// of entries the sweep tried to delete, or -1 after "Error: invalid
// parameter" or "Error: invalid path" on standard error, when nothing else
// is done.
//
// Options come before the day count: -h/--help and --version print their
// text and return 0; -n/--dry-run makes the same run without changing
// anything and prints the report instead of writing it; an unknown "--"
// option returns -1 after a message and a hint on standard error.
int cleanLogs(const ovix::core::String& commandLine);

// Writes `report` to a new file in the log directory whose name ends in
// "Tarnwick.log": an empty line, the report, a line end. Never replaces a
// file. When the file cannot be created or completely written, says so on
// standard error in one line.
void writeReportFile(const ovix::core::String& report);

// Writes `report` to standard output, as a dry run delivers it. When it
// cannot be completely written, says so on standard error in one line.
void printReport(const ovix::core::String& report);
