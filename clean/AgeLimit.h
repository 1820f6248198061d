// The age limit: the file time before which a log's last write makes it
// expired.
#pragma once

#include "core/String.h"
#include "platform/filetime.h"

// The limit `days` back from `now`. Only the high half moves: by `days`
// times 200.6 units (one unit is 2^32 ticks, so a "day" here is
// 23 h 55 min 57 s), rounded up to a whole unit; the low half stays that of
// now. When that would reach back before 1601 the limit is 0 itself, so
// that nothing expires.
platform::FILETIME ageLimitFrom(platform::FILETIME now, int days);

// Reads the clock, appends the "today is" and "limit date is" lines to
// `report` and returns the limit `days` back from now.
platform::FILETIME computeAgeLimit(int days, ovix::core::String& report);
