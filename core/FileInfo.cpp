#include "core/FileInfo.h"

#include <cstdio>

#include "platform/platform.h"

namespace ovix::core {

namespace {

std::size_t nameStart(const std::wstring& path) {
  const std::size_t at = path.find_last_of(std::wstring(1, platform::pathSeparator()) + L"/");
  return at == std::wstring::npos ? 0 : at + 1;
}

}  // namespace

FileInfo::FileInfo(const WString& path) : path_(path), absolute_(platform::absolutePath(path)) {}

bool FileInfo::exists() const { return platform::entryExists(path_); }

String FileInfo::created() const {
  platform::FILETIME time;
  platform::SYSTEMTIME t;
  if (!platform::creationTime(path_, time) || !platform::fileTimeToLocalTime(time, t)) return {};
  char text[64];
  (void)std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", unsigned{t.year},
                      unsigned{t.month}, unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute},
                      unsigned{t.second});
  return String(text);
}

String FileInfo::baseName(bool withoutExtension) const {
  std::wstring name = absolute_.substr(nameStart(absolute_));
  if (withoutExtension) {
    const std::size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot != 0) name.resize(dot);
  }
  return String::from(name);
}

String FileInfo::absolutePath() const {
  return String::from(absolute_.substr(0, nameStart(absolute_)));
}

String FileInfo::absoluteFilePath() const { return String::from(absolute_); }

}  // namespace ovix::core
