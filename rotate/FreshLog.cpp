#include "rotate/FreshLog.h"

#include "platform/platform.h"

using ovix::core::escapeControls;
using ovix::core::String;

void recreateLogFile(const String& path, const String& replacedPath, String& report) {
  platform::ErrorCode error = 0;
  platform::FreshFile file = platform::FreshFile::create(path.toWideStr(), error);
  if (!file.isOpen()) {
    report << "Failed to create file [" << escapeControls(path) << "]\n";
    return;
  }
  // The stamp comes from the calendar fields, so it has millisecond
  // resolution, as the creation time has always had.
  platform::FILETIME stamp;
  const bool stamped = platform::systemTimeToFileTime(platform::currentSystemTime(), stamp) &&
                       file.setCreationTime(stamp) == 0;
  const bool accessCopied = file.copyAccessFrom(replacedPath.toWideStr()) == 0;
  file.close();
  if (!stamped) report << "Failed to change date\n";
  if (!accessCopied) report << "Failed to change owner [" << escapeControls(path) << "]\n";
}
