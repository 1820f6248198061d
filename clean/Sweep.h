// The sweep: deleting the logs whose last write lies before the age limit.
#pragma once

#include "clean/Effects.h"
#include "core/String.h"
#include "platform/platform.h"

// Walks `search` from `current` (the entry it fetched when it was opened)
// to its end. Every entry last written strictly before `ageLimit` is listed
// in `report` and removed through `effects`; a failed removal adds a
// failure line with the error code. `pattern` and `logDir` are the
// search's pattern and directory as the report shows them. Closes the search, appends the count line and
// returns the number of entries it tried to remove.
int sweepExpiredLogs(platform::DirectorySearch& search, platform::FoundEntry& current,
                     const ovix::core::WString& pattern, const ovix::core::WString& logDir,
                     platform::FILETIME ageLimit, ovix::core::String& report,
                     const RunEffects& effects);
