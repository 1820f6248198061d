#include "clean/Sweep.h"

#include "clean/Report.h"

using ovix::core::String;
using ovix::core::WString;

int sweepExpiredLogs(platform::DirectorySearch& search, platform::FoundEntry& current,
                     const WString& pattern, const WString& logDir, platform::FILETIME ageLimit,
                     String& report, const RunEffects& effects) {
  report << "clean " << String::from(pattern) << " : delete following files \n";
  int count = 0;
  WString path;
  do {
    if (platform::compareFileTime(current.lastWrite, ageLimit) >= 0) continue;
    report << ovix::core::escapeControls(String::from(current.name)) << "["
           << current.lastWrite.high << "]";
    platform::SYSTEMTIME written;
    platform::fileTimeToSystemTime(current.lastWrite, written);
    report << " - ";
    appendDateTime(report, written);
    report << "\n";

    path.clear();
    path << logDir << std::wstring(1, platform::pathSeparator()) << current.name;
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
