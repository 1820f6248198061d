// The daily rotation of the web-server logs.
#pragma once

#include "core/String.h"

// Renames each web-server log created on an earlier day to a name carrying
// its creation date and leaves a fresh empty log in its place, appending a
// line to `report` for every rename and every failure.
void rotateLogs(ovix::core::String& report);
