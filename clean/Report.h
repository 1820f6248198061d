// Pieces shared by the lines of the run report.
#pragma once

#include "core/String.h"
#include "platform/filetime.h"

// Appends day "/" month "/" year " " hour ":" minute ":" second, each field
// as a plain decimal number.
void appendDateTime(ovix::core::String& report, const platform::SYSTEMTIME& t);
