#include "clean/Effects.h"

#include "clean/CleanLogs.h"

namespace {

platform::ErrorCode removeEntry(platform::DirectorySearch& search, const std::wstring& name,
                                const std::wstring& path) {
  return search.remove(name, path);
}

platform::ErrorCode predictRemoval(platform::DirectorySearch& search, const std::wstring& name,
                                   const std::wstring& path) {
  return search.predictRemove(name, path);
}

}  // namespace

const RunEffects& realRun() {
  static const RunEffects effects{removeEntry, writeReportFile};
  return effects;
}

const RunEffects& dryRun() {
  static const RunEffects effects{predictRemoval, printReport};
  return effects;
}
