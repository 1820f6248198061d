// The fresh log file that takes a rotated log's place.
#pragma once

#include "core/String.h"

// Makes an empty file at `path` (truncating whatever file appeared there
// since the log was renamed away), stamps its creation time with the
// current time and gives it the owner, group and permission bits of
// `replacedPath`, the renamed log. Failures become lines in `report`:
// "Failed to create file [path]" (and nothing else is done), "Failed to
// change date", "Failed to change owner [path]".
void recreateLogFile(const ovix::core::String& path, const ovix::core::String& replacedPath,
                     ovix::core::String& report);
