#include "clean/Sweep.h"

#include "clean/Report.h"

using ovix::core::String;
using ovix::core::WString;

int sweepExpiredLogs(platform::DirectorySearch& search, platform::FoundEntry& current,
                     const WString& pattern, const WString& logDir, platform::FILETIME ageLimit,
                     String& report, const RunEffects& effects) {
  report << "clean " << String::from(pattern) << " : delete following files \n";
  int count = 0;
  // A huge directory has hundreds of thousands of entries: the name and the
  // path are rebuilt in buffers that live across the loop, so that the work
  // per entry stays far below that of the system calls.
  WString path;
  String name;
  const WString separator(1, platform::pathSeparator());
  do {
    if (platform::compareFileTime(current.lastWrite, ageLimit) >= 0) continue;
    name.clear();
    ovix::core::appendNarrow(name, current.name);
    ovix::core::appendEscaped(report, name);
    report << "[" << current.lastWrite.high << "]";
    platform::SYSTEMTIME written;
    platform::fileTimeToSystemTime(current.lastWrite, written);
    report << " - ";
    appendDateTime(report, written);
    report << "\n";

    path.clear();
    path << logDir << separator << current.name;
    const platform::ErrorCode code = effects.removeEntry(search, current.name, path);
    if (code != 0) {
      report << "Delete : " << ovix::core::escapeControls(String::from(path)) << " failed ("
             << code << ")\n";
    }
    ++count;
  } while (search.next(current));
  search.close();
  report << "Delete [" << count << "] files\n";
  return count;
}
