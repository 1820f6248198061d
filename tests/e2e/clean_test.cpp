// End-to-end runs of the cleaning: the command line, the sweep, the report
// file and the exit status, on the real file system.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "e2e/installation.h"

namespace fs = std::filesystem;
using e2e::daysAgo;
using e2e::Installation;
using e2e::Target;

namespace {

int errorStatus() { return Target::current().status(-1); }

// The names listed as deleted in a report, in report order.
std::vector<std::string> listedNames(const std::vector<std::string>& lines) {
  std::vector<std::string> names;
  const auto clean = std::find_if(lines.begin(), lines.end(),
                                  [](const std::string& l) { return l.starts_with("clean "); });
  for (auto it = clean == lines.end() ? clean : clean + 1; it != lines.end(); ++it) {
    if (it->starts_with("Delete")) continue;
    const std::size_t bracket = it->rfind('[');
    if (bracket != std::string::npos) names.push_back(it->substr(0, bracket));
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool hasLineStarting(const std::vector<std::string>& lines, const std::string& prefix) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.starts_with(prefix); });
}

}  // namespace

TEST(CleanRunTest, InvalidDayCountEndsTheRunAndTouchesNothing) {
  const std::vector<std::vector<std::string>> cases = {
      {"0"}, {"-3"}, {"x"}, {"true"}, {"\"7\"", "true"}, {"-2147483648"},
  };
  for (const auto& args : cases) {
    Installation inst;
    inst.file("old.log", daysAgo(30));
    const e2e::Run run = inst.run(args);
    EXPECT_EQ(run.status, errorStatus()) << args[0];
    EXPECT_EQ(run.err, "Error: invalid parameter" + Target::current().lineEnd()) << args[0];
    EXPECT_EQ(inst.entries(), std::set<std::string>{"old.log"}) << args[0];
  }
}

TEST(CleanRunTest, NoMatchingEntryIsAnInvalidPath) {
  struct Case { const char* what; std::vector<std::string> names; bool removeLog; };
  const Case cases[] = {
      {"empty directory", {}, false},
      {"only other names", {"a.txt", "alog", "x.lo"}, false},
      {"no log directory", {}, true},
  };
  for (const Case& c : cases) {
    Installation inst;
    for (const std::string& name : c.names) inst.file(name, daysAgo(30));
    if (c.removeLog) fs::remove(inst.log());
    const e2e::Run run = inst.run({"7", "true"});
    EXPECT_EQ(run.status, errorStatus()) << c.what;
    EXPECT_EQ(run.err, "Error: invalid path" + Target::current().lineEnd()) << c.what;
    if (!c.removeLog) {
      EXPECT_EQ(inst.entries(), std::set<std::string>(c.names.begin(), c.names.end())) << c.what;
    }
  }
}

TEST(CleanRunTest, SweepsExpiredMatchingEntriesOfAnyCase) {
  Installation inst;
  const std::vector<std::string> expired = {"20200101T000000Z-0.Tarnwick.log", "B.LOG", "a.log",
                                            "c.Log.1", "x.log.gz"};
  for (const std::string& name : expired) inst.file(name, daysAgo(10));
  for (const char* name : {"young.log", "Y.LOG.2"}) inst.file(name, daysAgo(1));
  for (const char* name : {"d.txt", "alog"}) inst.file(name, daysAgo(400));

  const e2e::Run run = inst.run({"7"});
  EXPECT_EQ(run.status, 5);
  EXPECT_EQ(run.err, "");

  std::set<std::string> left = inst.entries();
  ASSERT_EQ(inst.reports().size(), 1U);
  left.erase(inst.reports().front());
  EXPECT_EQ(left, (std::set<std::string>{"young.log", "Y.LOG.2", "d.txt", "alog"}));

  const std::vector<std::string> lines = inst.reportLines();
  ASSERT_GE(lines.size(), 6U);
  EXPECT_EQ(lines[0], "");
  EXPECT_TRUE(lines[1].starts_with("today is (")) << lines[1];
  EXPECT_TRUE(lines[2].starts_with("limit date is [7] days = (")) << lines[2];
  const Target& target = Target::current();
  EXPECT_EQ(lines[3], "clean " + target.logPath("*.log*") + " : delete following files ");
  EXPECT_EQ(listedNames(lines), expired);
  EXPECT_EQ(lines[lines.size() - 2], "Delete [5] files");
  EXPECT_EQ(lines.back(), "");
  EXPECT_TRUE(inst.report().ends_with("Delete [5] files" + target.lineEnd() + target.lineEnd()));
}

TEST(CleanRunTest, ArgumentsSettleTheDayCount) {
  struct Case { std::vector<std::string> args; const char* limitLine; int status; };
  const Case cases[] = {
      {{}, "limit date is [2] days = (", 1},           // three.log only
      {{"7"}, "limit date is [7] days = (", 0},
      {{"7\ttrue"}, "limit date is [7] days = (", 0},  // a tab does not separate words
      {{"2days", "and", "more"}, "limit date is [2] days = (", 1},
      {{"1"}, "limit date is [1] days = (", 2},
  };
  for (const Case& c : cases) {
    Installation inst;
    inst.file("three.log", daysAgo(3));
    inst.file("one.log", daysAgo(1.5));
    const e2e::Run run = inst.run(c.args);
    EXPECT_EQ(run.status, c.status) << c.limitLine;
    EXPECT_TRUE(hasLineStarting(inst.reportLines(), c.limitLine)) << inst.report();
  }
}

TEST(CleanRunTest, AHugeDayCountExpiresNothing) {
  // 4294967297 must not wrap to 1; it saturates, and a limit before 1601
  // leaves everything in place.
  Installation inst;
  inst.file("ancient.log", 0);
  const e2e::Run run = inst.run({"4294967297"});
  EXPECT_EQ(run.status, 0);
  const std::vector<std::string> lines = inst.reportLines();
  EXPECT_TRUE(hasLine(lines, "limit date is [2147483647] days = (0) - 1/1/1601 0:0:0"))
      << inst.report();
  EXPECT_TRUE(fs::exists(inst.log() / "ancient.log"));
  EXPECT_TRUE(hasLine(lines, "Delete [0] files"));
}

TEST(CleanRunTest, UndeletableEntriesAreListedCountedAndKept) {
  Installation inst;
  inst.directory("empty.log", daysAgo(30));
  inst.directory("full.log", daysAgo(30));
  inst.file("full.log/inner.log", daysAgo(30));
  fs::last_write_time(inst.log() / "full.log",
                      fs::last_write_time(inst.log() / "full.log/inner.log"));
  const e2e::Run run = inst.run({"7"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(fs::is_directory(inst.log() / "empty.log"));
  EXPECT_TRUE(fs::exists(inst.log() / "full.log/inner.log"));
  const std::vector<std::string> lines = inst.reportLines();
  EXPECT_EQ(listedNames(lines), (std::vector<std::string>{"empty.log", "full.log"}));
  const Target& target = Target::current();
  const std::string code = std::to_string(target.directoryDeletionError());
  EXPECT_TRUE(hasLine(lines, "Delete : " + target.logPath("empty.log") + " failed (" + code + ")"))
      << inst.report();
  EXPECT_TRUE(hasLine(lines, "Delete : " + target.logPath("full.log") + " failed (" + code + ")"))
      << inst.report();
  EXPECT_TRUE(hasLine(lines, "Delete [2] files"));
}

TEST(CleanRunTest, SymbolicLinksAreJudgedAndRemovedThemselves) {
  SKIP_ON_WINDOWS(
      "Wine shows a Linux symbolic link as the entry it points to, and a dangling one not at all");
  Installation inst;
  inst.file("young_target.log", daysAgo(1), "keep me");
  std::ofstream(inst.root() / "old_target.txt") << "keep me too";
  fs::create_directory(inst.root() / "data");
  std::ofstream(inst.root() / "data" / "precious.log") << "precious";
  inst.link("old_link.log", "young_target.log", daysAgo(30));
  inst.link("young_link.log", "../old_target.txt", daysAgo(1));
  fs::last_write_time(inst.root() / "old_target.txt", fs::file_time_type::clock::now() -
                                                          std::chrono::hours(24 * 30));
  inst.link("dangling.log", "nowhere", daysAgo(30));
  inst.link("dir_link.log", "../data", daysAgo(30));

  const e2e::Run run = inst.run({"7"});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(listedNames(inst.reportLines()),
            (std::vector<std::string>{"dangling.log", "dir_link.log", "old_link.log"}));
  EXPECT_FALSE(fs::is_symlink(inst.log() / "old_link.log"));
  EXPECT_FALSE(fs::is_symlink(inst.log() / "dangling.log"));
  EXPECT_FALSE(fs::is_symlink(inst.log() / "dir_link.log"));
  EXPECT_TRUE(fs::is_symlink(inst.log() / "young_link.log"));
  EXPECT_EQ(e2e::readFile(inst.log() / "young_target.log"), "keep me");
  EXPECT_EQ(e2e::readFile(inst.root() / "old_target.txt"), "keep me too");
  EXPECT_EQ(e2e::readFile(inst.root() / "data" / "precious.log"), "precious");
}

TEST(CleanRunTest, HostileNamesAreRemovedExactlyAndCannotForgeLines) {
  // Each expired name is deleted, and only it: the young names are what a
  // lossy conversion, or a path that drops trailing dots and blanks, would
  // turn an expired one into. Names no Windows file can have (control
  // characters, invalid UTF-8) are tried on Linux only.
  struct Case { std::string name; std::string shown; bool linuxOnly; };
  const Case cases[] = {
      {"evil\nDelete [0] files\n.log", "evil\\nDelete [0] files\\n.log", true},
      {"\x1b[2J.log", "\\x1b[2J.log", true},
      {"tab\t.log", "tab\\t.log", true},
      {"\xff\xfe.log", "\xff\xfe.log", true},
      {"quote'\" and space.log", "quote'\" and space.log", true},
      {"quote' and space.log", "quote' and space.log", false},
      {"-rf .log", "-rf .log", false},
      {"caf\xc3\xa9 \xe2\x82\xac.log", "caf\xc3\xa9 \xe2\x82\xac.log", false},
      {"\xf0\x9f\x93\x9c.log", "\xf0\x9f\x93\x9c.log", false},
      {"blank.log ", "blank.log ", false},
      {"dot.log.", "dot.log.", false},
  };
  const std::set<std::string> young = {"\xef\xbf\xbd\xef\xbf\xbd.log", "blank.log", "dot.log"};
  const bool windows = Target::current().windows;
  Installation inst;
  int expired = 0;
  for (const Case& c : cases) {
    if (windows && c.linuxOnly) continue;
    inst.file(c.name, daysAgo(30));
    ++expired;
  }
  for (const std::string& name : young) inst.file(name, daysAgo(1), "young");

  const e2e::Run run = inst.run({"7"});
  EXPECT_EQ(run.status, expired);
  std::set<std::string> left = inst.entries();
  ASSERT_EQ(inst.reports().size(), 1U);
  left.erase(inst.reports().front());
  EXPECT_EQ(left, young);

  const std::vector<std::string> lines = inst.reportLines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.starts_with("Delete ["); }),
            1);
  for (const Case& c : cases) {
    if (windows && c.linuxOnly) continue;
    EXPECT_TRUE(hasLineStarting(lines, c.shown + "[")) << c.shown << "\n" << inst.report();
  }
}

TEST(CleanRunTest, EveryRunWritesANewReportAndOldReportsAgeOut) {
  Installation inst;
  inst.file("19990101T000000Z-0.Tarnwick.log", daysAgo(30), "an old report");
  inst.file("young.log", daysAgo(0));
  std::set<std::string> seen;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(inst.run({"7"}).status, i == 0 ? 1 : 0);
    for (const std::string& name : inst.reports()) {
      EXPECT_TRUE(name.starts_with("20")) << name;
      seen.insert(name);
    }
  }
  EXPECT_FALSE(fs::exists(inst.log() / "19990101T000000Z-0.Tarnwick.log"));
  EXPECT_EQ(inst.reports().size(), 3U);
  EXPECT_EQ(seen.size(), 3U);
}

TEST(CleanRunTest, ExitStatusNeverWrapsButTheReportHasTheTrueCount) {
  Installation inst;
  for (int i = 0; i < 300; ++i) inst.file("app" + std::to_string(i) + ".log", daysAgo(30));
  const e2e::Run run = inst.run({"7"});
  EXPECT_EQ(run.status, Target::current().status(300));
  EXPECT_TRUE(hasLine(inst.reportLines(), "Delete [300] files"));
  EXPECT_EQ(inst.entries().size(), 1U);
}

TEST(CleanRunTest, AReportThatCannotBeWrittenIsSaidAndTheRunStillCounts) {
  // A file size limit of 0 makes every write fail (with the signal ignored,
  // as EFBIG), whoever runs the test.
  Installation inst;
  inst.file("old.log", daysAgo(30));
  inst.file("young.log", daysAgo(1));
  const e2e::Run run = inst.run({"7"}, "trap '' XFSZ; ulimit -f 0");
  EXPECT_EQ(run.status, 1);
  const Target& target = Target::current();
  EXPECT_TRUE(run.err.starts_with("Error: cannot write report " + target.logPath() +
                                  target.separator()))
      << run.err;
  EXPECT_NE(run.err.find("Tarnwick.log: "), std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
  EXPECT_FALSE(fs::exists(inst.log() / "old.log"));
  EXPECT_TRUE(fs::exists(inst.log() / "young.log"));
}
