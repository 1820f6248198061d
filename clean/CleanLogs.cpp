#include "clean/CleanLogs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "clean/AgeLimit.h"
#include "clean/CommandLine.h"
#include "clean/Effects.h"
#include "clean/Sweep.h"
#include "platform/platform.h"
#include "rotate/Rotate.h"

using ovix::core::String;
using ovix::core::WString;

namespace {

WString separator() { return WString(1, platform::pathSeparator()); }

// A name fragment unique to this run: its UTC time to the millisecond and a
// random part, so that runs never pick the same report name by chance.
std::string reportNameFragment() {
  static std::mt19937_64 random{std::random_device{}()};
  const platform::SYSTEMTIME t = platform::currentSystemTime();
  char text[64];
  (void)std::snprintf(text, sizeof text, "%04u%02u%02uT%02u%02u%02u%03uZ-%016llx.",
                      unsigned{t.year}, unsigned{t.month}, unsigned{t.day}, unsigned{t.hour},
                      unsigned{t.minute}, unsigned{t.second}, unsigned{t.milliseconds},
                      static_cast<unsigned long long>(random()));
  return text;
}

// Writes all of `text` to standard output; false when that failed.
bool writeToStandardOutput(const std::string& text) {
  const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  return std::fflush(stdout) == 0 && written;
}

// Prints a text the user asked for: 0, or -1 after saying on standard error
// that it could not be written.
int printText(const std::string& text) {
  if (writeToStandardOutput(text)) return 0;
  (void)std::fprintf(stderr, "Error: cannot write to standard output: %s\n",
                     std::strerror(errno));  // NOLINT(concurrency-mt-unsafe): one thread
  return -1;
}

}  // namespace

void writeReportFile(const String& report) {
  const std::string directory = String::from(WString(L"..") << separator() << L"log" << separator());
  // A taken name is never reused; after this many collisions something
  // other than chance is at work.
  constexpr int kAttempts = 16;
  std::string path;
  platform::ErrorCode error = 0;
  platform::NewFile file;
  for (int attempt = 0; attempt < kAttempts && !file.isOpen(); ++attempt) {
    path = directory + reportNameFragment() + "Tarnwick.log";
    file = platform::NewFile::createExclusive(path, error);
    if (!file.isOpen() && !platform::isAlreadyExists(error)) break;
  }
  if (file.isOpen()) {
    // Written piecewise: a copy of a report of a huge sweep would double
    // the memory the run needs.
    for (const std::string_view piece : {std::string_view("\n"), std::string_view(report),
                                         std::string_view("\n")}) {
      if (error == 0) error = file.writeText(piece);
    }
    const platform::ErrorCode closeError = file.close();
    if (error == 0) error = closeError;
  }
  if (error != 0) {
    (void)std::fprintf(stderr, "Error: cannot write report %s: %s\n",
                       ovix::core::escapeControls(path).c_str(),
                       platform::errorMessage(error).c_str());
  }
}

void printReport(const String& report) {
  if (!writeToStandardOutput(report)) {
    (void)std::fprintf(stderr, "Error: cannot write report to standard output: %s\n",
                       std::strerror(errno));  // NOLINT(concurrency-mt-unsafe): one thread
  }
}

int cleanLogs(const String& commandLine) {
  const Options options = readOptions(commandLine);
  if (!options.unknown.empty()) {
    (void)std::fprintf(stderr,
                       "Error: unknown option %s\nTry 'cleanlogs --help' for more information.\n",
                       ovix::core::escapeControls(options.unknown).c_str());
    return -1;
  }
  if (options.help) return printText(usageText());
  if (options.version) return printText(versionText());
  const RunEffects& effects = options.dryRun ? dryRun() : realRun();

  const std::vector<String> words = splitWords(options.rest);
  const bool rotate = rotationRequested(words);
  const int days = words.empty() ? 2 : readDayCount(words.front());
  if (days < 1) {
    (void)std::fputs("Error: invalid parameter\n", stderr);
    return -1;
  }

  const WString logDir = WString(L"..") << separator() << L"log";
  const WString pattern = WString(logDir) << separator() << L"*.log*";
  platform::FoundEntry current;
  platform::DirectorySearch search = platform::DirectorySearch::open(pattern, current);
  if (!search.isOpen()) {
    (void)std::fputs("Error: invalid path\n", stderr);
    return -1;
  }

  String report;
  const platform::FILETIME ageLimit = computeAgeLimit(days, report);
  if (rotate) rotateLogs(report, effects);
  const int count = sweepExpiredLogs(search, current, pattern, logDir, ageLimit, report, effects);
  effects.deliverReport(report);
  return count;
}
