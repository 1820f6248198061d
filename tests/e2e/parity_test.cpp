// The build under test against the Linux build of the same tree: one
// fixture, swept by each, must come out alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "e2e/installation.h"

namespace fs = std::filesystem;
using e2e::daysAgo;
using e2e::localDate;
using e2e::Installation;
using e2e::Target;

namespace {

constexpr std::int64_t kDay = 86'400;

// The same log directory, made twice, for the build that will sweep it.
void fixture(Installation& inst, std::int64_t now, const Target& target) {
  for (const char* name : {"app.log.3", "APP.LOG.4", "x.Log.gz", "with blanks in.log",
                           "caf\xc3\xa9 \xe2\x82\xac.log", "\xf0\x9f\x93\x9c.log", "trailing.log ",
                           "20200101T000000Z-0.Tarnwick.log"}) {
    inst.file(name, now - 30 * kDay);
  }
  for (const char* name : {"app.log", "app.log.1", "trailing.log", "httpd_access.log"}) {
    inst.file(name, now - 1 * kDay);
  }
  for (const char* name : {"notes.txt", "alog", "x.lo"}) inst.file(name, now - 400 * kDay);
  inst.directory("old_dir.log", now - 30 * kDay);
  inst.recordCreation("httpd_access.log", now - 1 * kDay, target);
}

// What the report of `target` says, with what rightly differs made alike:
// the clock's values in the first two lines, where the installation lies,
// the separator and the error code of a directory. The lines about single entries come in the order of
// the platform's enumeration and are sorted.
std::vector<std::string> comparable(const Installation& inst, const Target& target) {
  static const std::regex kClock(R"(\(\d+\) - \d+/\d+/\d+ \d+:\d+:\d+$)");
  const std::string directoryFailure =
      " failed (" + std::to_string(target.directoryDeletionError()) + ")";
  const std::string root = target.shownPath(fs::canonical(inst.root()));
  std::vector<std::string> result;
  for (std::string line : inst.reportLines(target)) {
    for (std::size_t at = line.find(root); at != std::string::npos; at = line.find(root)) {
      line.replace(at, root.size(), "<installation>");
    }
    if (line.starts_with("today is") || line.starts_with("limit date is")) {
      line = std::regex_replace(line, kClock, "(clock)");
    }
    std::replace(line.begin(), line.end(), target.separator(), '/');
    if (line.ends_with(directoryFailure)) {
      line.replace(line.size() - directoryFailure.size(), std::string::npos,
                   " failed (cannot delete a directory)");
    }
    result.push_back(line);
  }
  const auto clean = std::find_if(result.begin(), result.end(),
                                  [](const std::string& l) { return l.starts_with("clean "); });
  const auto count = std::find_if(clean, result.end(),
                                  [](const std::string& l) { return l.starts_with("Delete ["); });
  if (clean != result.end()) std::sort(clean + 1, count);
  return result;
}

std::set<std::string> entriesWithoutReport(const Installation& inst) {
  std::set<std::string> names = inst.entries();
  for (const std::string& report : inst.reports()) names.erase(report);
  return names;
}

}  // namespace

TEST(ParityTest, BothBuildsSweepOneFixtureAlike) {
  const Target& target = Target::current();
  const Target& native = Target::native();
  if (target.binary == native.binary) {
    GTEST_SKIP() << "this run proves the Linux build itself; run the suite against another "
                    "build (CLEANLOGS_BINARY) to compare the two";
  }
  const std::int64_t now = daysAgo(0);
  Installation mine;
  Installation theirs;
  fixture(mine, now, native);
  fixture(theirs, now, target);
  const e2e::Run nativeRun = mine.run({"7", "true"}, "", native);
  const e2e::Run targetRun = theirs.run({"7", "true"}, "", target);

  // Nine entries expire, the directory among them.
  EXPECT_EQ(nativeRun.status, native.status(9));
  EXPECT_EQ(targetRun.status, target.status(9));
  EXPECT_EQ(nativeRun.err, targetRun.err);
  EXPECT_EQ(entriesWithoutReport(mine), entriesWithoutReport(theirs));
  EXPECT_EQ(entriesWithoutReport(theirs),
            (std::set<std::string>{"app.log", "app.log.1", "trailing.log", "httpd_access.log",
                                   "httpd_access_" + localDate(now - kDay) + ".log", "notes.txt",
                                   "alog", "x.lo", "old_dir.log"}));
  const std::vector<std::string> nativeLines = comparable(mine, native);
  const std::vector<std::string> targetLines = comparable(theirs, target);
  EXPECT_EQ(nativeLines, targetLines);
  EXPECT_EQ(nativeLines.size(), 17U) << testing::PrintToString(nativeLines);
}
