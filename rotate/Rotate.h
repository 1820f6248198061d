// The daily rotation of the web-server logs.
#pragma once

#include <array>

#include "clean/Effects.h"
#include "core/FileInfo.h"
#include "core/String.h"

// The web-server logs that are rotated, in the order they are looked at.
extern const std::array<ovix::core::WString, 3> rotatedLogFiles;

// The name a log is rotated to: `absolutePath()` · `baseName(true)` · "_" ·
// `dateKey` · ".log", so beside the old one.
ovix::core::String datedName(const ovix::core::AbstractFileInfo& log,
                             const ovix::core::String& dateKey);

// The creation date of a `created()` text: its first ten characters with
// every "-" removed, normally eight digits.
ovix::core::String dateKeyOf(const ovix::core::String& created);

// Renames each web-server log created on an earlier day than today (local
// time) to its dated name and leaves a fresh empty log in its place,
// appending a line to `report` for every rename and every failure. A log
// that is missing or was created today is passed over without a line; a
// dated name that is taken is never replaced. The renames and the fresh
// logs go through `effects`.
void rotateLogs(ovix::core::String& report, const RunEffects& effects);
