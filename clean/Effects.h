// The changes a run makes to the log directory, as functions the driver
// hands to the phases. The phases decide what to change and report it; the
// set of functions decides whether it happens. A real run carries out every
// change; a dry run changes nothing and only works out how each change
// would go, so that its report holds the lines the real run would write.
#pragma once

#include <string>

#include "core/String.h"
#include "platform/platform.h"

struct RunEffects {
  // Removes the entry `search` found as `name`, which `path` names from the
  // working directory. Returns 0 or the error code of the failed removal.
  platform::ErrorCode (*removeEntry)(platform::DirectorySearch& search, const std::wstring& name,
                                     const std::wstring& path);

  // Renames `from` to `to`, never replacing an entry at `to`. Returns 0 or
  // the error code of the failed rename.
  platform::ErrorCode (*renameLog)(const std::wstring& from, const std::wstring& to);

  // Puts a fresh empty log at `path` in place of the log renamed to
  // `replacedPath`, appending its failures to `report` (recreateLogFile).
  void (*recreateLog)(const ovix::core::String& path, const ovix::core::String& replacedPath,
                      ovix::core::String& report);

  // Delivers the finished report: to a new report file in the log
  // directory, or on standard output.
  void (*deliverReport)(const ovix::core::String& report);
};

// Every change carried out; the report written to its file.
const RunEffects& realRun();

// Nothing changed: a removal or rename gives the error code it is known it
// would give, else success; no fresh log is made, and the report goes to
// standard output.
const RunEffects& dryRun();
