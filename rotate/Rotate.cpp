#include "rotate/Rotate.h"

#include "platform/platform.h"
#include "rotate/FreshLog.h"

using ovix::core::escapeControls;
using ovix::core::FileInfo;
using ovix::core::String;
using ovix::core::WString;

namespace {

WString inLogDirectory(const wchar_t* name) {
  const WString separator(1, platform::pathSeparator());
  return WString(L"..") << separator << L"log" << separator << name;
}

}  // namespace

// Built before main runs, as a fixed list.
const std::array<WString, 3> rotatedLogFiles = {  // NOLINT(cert-err58-cpp): cannot fail in practice
    inLogDirectory(L"httpd_access.log"), inLogDirectory(L"httpd_error.log"),
    inLogDirectory(L"httpd_relay.log")};

String dateKeyOf(const String& created) {
  String key = created.substr(0, 10);
  key.replace("-", "");
  return key;
}

String datedName(const ovix::core::AbstractFileInfo& log, const String& dateKey) {
  return String(log.absolutePath()) << log.baseName(true) << "_" << dateKey << ".log";
}

void rotateLogs(String& report, const RunEffects& effects) {
  const String today = platform::localDateStamp();
  for (const WString& path : rotatedLogFiles) {
    const FileInfo log(path);
    const String dateKey = dateKeyOf(log.created());
    if (!log.exists() || !(today > dateKey)) continue;

    const String newName = datedName(log, dateKey);
    const String oldName = log.absoluteFilePath();
    const bool renamed = effects.renameLog(oldName.toWideStr(), newName.toWideStr()) == 0;
    report << (renamed ? "Rename [" : "Failed to rename [") << escapeControls(oldName) << "] to ["
           << escapeControls(newName) << "]\n";
    if (renamed) effects.recreateLog(oldName, newName, report);
  }
}
