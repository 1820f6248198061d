// End-to-end runs of the rotation of the web-server logs.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "e2e/installation.h"

namespace fs = std::filesystem;
using e2e::daysAgo;
using e2e::localDate;
using e2e::Installation;

namespace {

const char* const kLogs[] = {"httpd_access.log", "httpd_error.log", "httpd_relay.log"};
const char* const kFakeTime = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";

std::string dated(const std::string& log, std::int64_t created) {
  return log.substr(0, log.size() - 4) + "_" + localDate(created) + ".log";
}

// The absolute path of log/<name> as the program shows it.
std::string absoluteLog(const Installation& inst, const std::string& name) {
  return e2e::Target::current().shownPath(fs::canonical(inst.log()) / name);
}

std::string renameLine(const Installation& inst, const std::string& log, const std::string& to) {
  return "Rename [" + absoluteLog(inst, log) + "] to [" + absoluteLog(inst, to) + "]";
}

std::vector<std::string> linesStarting(const std::vector<std::string>& lines,
                                       const std::string& prefix) {
  std::vector<std::string> found;
  std::copy_if(lines.begin(), lines.end(), std::back_inserter(found),
               [&](const std::string& l) { return l.starts_with(prefix); });
  return found;
}

// Three web-server logs with content, created yesterday.
void yesterdaysLogs(Installation& inst) {
  for (const char* log : kLogs) {
    inst.file(log, daysAgo(0), std::string("content of ") + log);
    inst.recordCreation(log, daysAgo(1));
  }
}

}  // namespace

TEST(RotationTest, LogsCreatedYesterdayAreRenamedAndReplacedByEmptyOnes) {
  Installation inst;
  yesterdaysLogs(inst);
  const std::int64_t yesterday = daysAgo(1);

  const e2e::Run run = inst.run({"7", "true"});
  EXPECT_EQ(run.status, 0);
  const std::vector<std::string> lines = inst.reportLines();
  // The renames come right after the age limit, in list order.
  ASSERT_GE(lines.size(), 7U);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(lines[3 + i], renameLine(inst, kLogs[i], dated(kLogs[i], yesterday)));
    EXPECT_EQ(e2e::readFile(inst.log() / dated(kLogs[i], yesterday)),
              std::string("content of ") + kLogs[i]);
    EXPECT_EQ(fs::file_size(inst.log() / kLogs[i]), 0U);
  }
  EXPECT_TRUE(lines[6].starts_with("clean ")) << lines[6];
  EXPECT_TRUE(linesStarting(lines, "Failed").empty()) << inst.report();

  // The fresh logs were created today: a second run rotates nothing.
  for (const std::string& name : inst.reports()) fs::remove(inst.log() / name);
  EXPECT_EQ(inst.run({"7", "true"}).status, 0);
  EXPECT_TRUE(linesStarting(inst.reportLines(), "Rename").empty()) << inst.report();
  EXPECT_TRUE(fs::exists(inst.log() / dated(kLogs[0], yesterday)));
}

TEST(RotationTest, OnlyLogsCreatedOnAnEarlierDayAreDue) {
  Installation inst;
  inst.file("httpd_access.log", daysAgo(0), "today's");
  inst.recordCreation("httpd_access.log", daysAgo(0));
  inst.file("httpd_error.log", daysAgo(0), "yesterday's");
  inst.recordCreation("httpd_error.log", daysAgo(1));
  // httpd_relay.log is missing.

  ASSERT_EQ(inst.run({"7", "true"}).status, 0);
  const std::vector<std::string> lines = inst.reportLines();
  EXPECT_EQ(linesStarting(lines, "Rename"),
            std::vector<std::string>{
                renameLine(inst, "httpd_error.log", dated("httpd_error.log", daysAgo(1)))});
  EXPECT_TRUE(linesStarting(lines, "Failed").empty()) << inst.report();
  EXPECT_EQ(e2e::readFile(inst.log() / "httpd_access.log"), "today's");
  EXPECT_FALSE(fs::exists(inst.log() / "httpd_relay.log"));
}

TEST(RotationTest, ATakenDatedNameIsNeverReplaced) {
  Installation inst;
  const std::string taken = dated("httpd_error.log", daysAgo(1));
  inst.file(taken, daysAgo(0), "an earlier rotation");
  inst.file("httpd_error.log", daysAgo(0), "the live log");
  inst.recordCreation("httpd_error.log", daysAgo(1));

  ASSERT_EQ(inst.run({"7", "true"}).status, 0);
  EXPECT_EQ(linesStarting(inst.reportLines(), "Failed"),
            std::vector<std::string>{"Failed to rename [" + absoluteLog(inst, "httpd_error.log") +
                                     "] to [" + absoluteLog(inst, taken) + "]"});
  EXPECT_EQ(e2e::readFile(inst.log() / taken), "an earlier rotation");
  EXPECT_EQ(e2e::readFile(inst.log() / "httpd_error.log"), "the live log");
}

TEST(RotationTest, OnlyTheExactSecondWordTrueRotates) {
  struct Case { std::vector<std::string> args; bool rotates; };
  const Case cases[] = {
      {{"7", "TRUE"}, false}, {{"7", "1"}, false},          {{"7"}, false},
      {{"7\ttrue"}, false},   {{"7", "true", "more"}, true}, {{"0", "true"}, false},
  };
  for (const Case& c : cases) {
    Installation inst;
    inst.file("httpd_error.log", daysAgo(0), "live");
    inst.recordCreation("httpd_error.log", daysAgo(1));
    inst.run(c.args);
    EXPECT_EQ(fs::exists(inst.log() / dated("httpd_error.log", daysAgo(1))), c.rotates)
        << testing::PrintToString(c.args);
    EXPECT_EQ(e2e::readFile(inst.log() / "httpd_error.log"), c.rotates ? "" : "live");
  }
}

TEST(RotationTest, TheFreshLogKeepsOwnerGroupAndMode) {
  SKIP_ON_WINDOWS("a fresh log takes the access control list of the log directory");
  if (geteuid() != 0) GTEST_SKIP() << "changing a file's owner needs root";
  Installation inst;
  inst.file("httpd_access.log", daysAgo(0), "served");
  inst.recordCreation("httpd_access.log", daysAgo(1));
  const fs::path log = inst.log() / "httpd_access.log";
  ASSERT_EQ(chown(log.c_str(), 12345, 23456), 0);
  ASSERT_EQ(chmod(log.c_str(), 0620), 0);

  ASSERT_EQ(inst.run({"7", "true"}).status, 0);
  EXPECT_TRUE(linesStarting(inst.reportLines(), "Failed").empty()) << inst.report();
  struct stat st {};
  ASSERT_EQ(stat(log.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 12345U);
  EXPECT_EQ(st.st_gid, 23456U);
  EXPECT_EQ(st.st_mode & 07777, 0620U);
  EXPECT_EQ(st.st_size, 0);
}

TEST(RotationTest, TheMorningAfterWithTheClockMovedADayAhead) {
  // No stamp at all: the file system's own creation time says "today", and
  // the run sees tomorrow.
  SKIP_ON_WINDOWS("the moved clock cannot reach Wine, whose creation time is the real last write");
  if (access(kFakeTime, R_OK) != 0) GTEST_SKIP() << "faketime is not installed";
  Installation inst;
  for (const char* log : kLogs) inst.file(log, daysAgo(0), "today's traffic");
  const std::string setup = std::string("export LD_PRELOAD=") + kFakeTime + " FAKETIME=+1d";

  ASSERT_EQ(inst.run({"7", "true"}, setup).status, 0);
  EXPECT_EQ(linesStarting(inst.reportLines(), "Rename").size(), 3U) << inst.report();
  for (const char* log : kLogs) {
    EXPECT_EQ(e2e::readFile(inst.log() / dated(log, daysAgo(0))), "today's traffic");
    EXPECT_EQ(fs::file_size(inst.log() / log), 0U);
  }
  // The fresh logs carry the (moved) time they were made: not due again.
  for (const std::string& name : inst.reports()) fs::remove(inst.log() / name);
  ASSERT_EQ(inst.run({"7", "true"}, setup).status, 0);
  EXPECT_TRUE(linesStarting(inst.reportLines(), "Rename").empty()) << inst.report();
}
