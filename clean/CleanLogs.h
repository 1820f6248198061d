// The run driver.
#pragma once

#include "core/String.h"

// One complete run for the command-line text (the words after the program's
// name): reads the day count and the rotation switch, computes the age
// limit, rotates the web-server logs when asked, sweeps the expired logs and
// writes the report file into the log directory. Returns the number of
// entries the sweep tried to delete, or -1 after "Error: invalid parameter"
// or "Error: invalid path" on standard error, when nothing else is done.
int cleanLogs(const ovix::core::String& commandLine);

// Writes `report` to a new file in the log directory whose name ends in
// "Tarnwick.log": an empty line, the report, a line end. Never replaces a
// file. When the file cannot be created or completely written, says so on
// standard error in one line.
void writeReportFile(const ovix::core::String& report);
