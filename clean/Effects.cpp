#include "clean/Effects.h"

#include "clean/CleanLogs.h"
#include "rotate/FreshLog.h"

namespace {

platform::ErrorCode removeEntry(platform::DirectorySearch& search, const std::wstring& name,
                                const std::wstring& path) {
  return search.remove(name, path);
}

platform::ErrorCode predictRemoval(platform::DirectorySearch& search, const std::wstring& name,
                                   const std::wstring& path) {
  return search.predictRemove(name, path);
}

// A fresh log that is not made reports nothing, as a successful one.
void skipFreshLog(const ovix::core::String& /*path*/, const ovix::core::String& /*replacedPath*/,
                  ovix::core::String& /*report*/) {}

}  // namespace

const RunEffects& realRun() {
  static const RunEffects effects{removeEntry, platform::renameNoReplace, recreateLogFile,
                                  writeReportFile};
  return effects;
}

const RunEffects& dryRun() {
  static const RunEffects effects{predictRemoval, platform::predictRenameNoReplace,
                                  skipFreshLog, printReport};
  return effects;
}
