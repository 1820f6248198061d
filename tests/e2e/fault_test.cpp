// End-to-end runs under faults of the machine: a full disk, a read-only log
// directory, a user without rights, entries that cannot be removed, runs and
// other processes at work in the same directory, and extreme clocks. Each
// test skips, saying why, where the machine does not allow the fault (most
// need root); otherwise it must show that nothing is lost that should stay.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "e2e/installation.h"

namespace fs = std::filesystem;
using e2e::daysAgo;
using e2e::Installation;

namespace {

constexpr int kUnprivileged = 65534;  // nobody

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

// The names listed as expired in a report (the lines between the "clean"
// line and the count line that are not failure lines), sorted.
std::vector<std::string> listedNames(const std::vector<std::string>& reportLines) {
  std::vector<std::string> names;
  bool inSweep = false;
  for (const std::string& line : reportLines) {
    if (line.starts_with("clean ")) {
      inSweep = true;
    } else if (line.starts_with("Delete [")) {
      inSweep = false;
    } else if (inSweep && !line.starts_with("Delete : ")) {
      names.push_back(line.substr(0, line.rfind('[')));
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> failureLines(const std::vector<std::string>& reportLines) {
  std::vector<std::string> result;
  for (const std::string& line : reportLines) {
    if (line.starts_with("Delete : ")) result.push_back(line);
  }
  return result;
}

// The snapshot without the report files.
e2e::Snapshot withoutReports(e2e::Snapshot snapshot) {
  std::erase_if(snapshot, [](const auto& entry) { return entry.first.ends_with("Tarnwick.log"); });
  return snapshot;
}

// The one line the driver writes when the report cannot be written.
void expectReportNotWritten(const std::string& err, const std::string& reason) {
  EXPECT_TRUE(err.starts_with("Error: cannot write report ../log/")) << err;
  EXPECT_NE(err.find("Tarnwick.log: " + reason + "\n"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

bool haveCommand(const std::string& name) {
  // NOLINTNEXTLINE(cert-env33-c): asks the shell's own lookup
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// The current target started through `command` (another user, another
// clock), and from `binary` when given.
e2e::Target through(const std::string& command, const std::string& binary = "") {
  e2e::Target target = e2e::Target::current();
  target.runner = command + (target.runner.empty() ? "" : " " + target.runner);
  if (!binary.empty()) target.binary = binary;
  return target;
}

// Fills the file system of `path` with one file until no byte more fits.
void fillUp(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  const std::string block(4096, 'f');
  while (::write(fd, block.data(), block.size()) > 0) {}
  const int error = errno;
  ::close(fd);
  ASSERT_EQ(error, ENOSPC);
}

}  // namespace

TEST(FaultTest, DiskFullWhileTheReportIsWritten) {
  Installation inst;
  if (const std::string why = inst.mountTmpfsOnLog("size=256k,mode=0755"); !why.empty()) {
    GTEST_SKIP() << "no full disk to be had: " << why;
  }
  // The expired files are empty, so that removing them frees no space for
  // the report.
  for (const char* name : {"a.log", "b.log.1", "C.LOG"}) inst.file(name, daysAgo(30), "");
  inst.file("young.log", daysAgo(1), "young and kept");
  inst.file("old.txt", daysAgo(30), "not a log");
  fillUp(inst.log() / "filler.bin");
  const e2e::Snapshot before = inst.snapshot();

  const e2e::Run run = inst.run({"7"});
  EXPECT_EQ(run.status, 3);
  expectReportNotWritten(run.err, "No space left on device");
  e2e::Snapshot expected = before;
  for (const char* name : {"a.log", "b.log.1", "C.LOG"}) expected.erase(name);
  // What the report may have left is an empty, named file; all else stays.
  for (const std::string& name : inst.reports()) EXPECT_EQ(fs::file_size(inst.log() / name), 0U);
  EXPECT_EQ(withoutReports(inst.snapshot()), expected);
}

TEST(FaultTest, ReadOnlyLogDirectoryChangesNothingAndSaysSo) {
  Installation inst;
  for (const char* name : {"a.log", "b.log.1", "20200101T000000Z-0.Tarnwick.log"}) {
    inst.file(name, daysAgo(30), name);
  }
  inst.directory("dir.log", daysAgo(30));
  inst.file("young.log", daysAgo(1));
  inst.file("old.txt", daysAgo(30));
  if (const std::string why = inst.makeLogReadOnly(); !why.empty()) {
    GTEST_SKIP() << "no read-only directory to be had: " << why;
  }
  const e2e::Snapshot before = inst.snapshot();

  const e2e::Run run = inst.run({"7"});
  // Every expired entry was tried (and its failure put into a report that
  // then had nowhere to go): the count has all four.
  EXPECT_EQ(run.status, 4);
  expectReportNotWritten(run.err, "Read-only file system");
  EXPECT_EQ(inst.snapshot(), before);
}

TEST(FaultTest, AnUnprivilegedUserCannotDeleteAndLosesNothing) {
  if (::geteuid() != 0) GTEST_SKIP() << "running as another user needs root";
  if (!haveCommand("setpriv")) GTEST_SKIP() << "setpriv (util-linux) is not installed";
  struct Case {
    const char* what;
    fs::perms logMode;
    bool reportWritten;
    const char* failureCode;
  };
  const Case cases[] = {
      // Like /tmp: the user may add files but not remove root's.
      {"sticky, world-writable directory", fs::perms::all | fs::perms::sticky_bit, true, "(1)"},
      {"directory the user may only read", fs::perms::owner_all | fs::perms::group_read |
                                               fs::perms::group_exec | fs::perms::others_read |
                                               fs::perms::others_exec,
       false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Installation inst;
    const std::string program = inst.copyOfProgram();
    const fs::perms open = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                           fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(inst.root(), open);
    fs::permissions(inst.root() / "bin", open);
    for (const char* name : {"a.log", "b.log.1"}) inst.file(name, daysAgo(30), name);
    inst.file("young.log", daysAgo(1));
    fs::permissions(inst.log(), c.logMode);
    const e2e::Snapshot before = inst.snapshot();

    const std::string user = std::to_string(kUnprivileged);
    const e2e::Run run = inst.run(
        {"7"}, "",
        through("setpriv --reuid=" + user + " --regid=" + user + " --clear-groups", program));
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(withoutReports(inst.snapshot()), withoutReports(before));
    if (c.reportWritten) {
      EXPECT_EQ(run.err, "");
      const std::vector<std::string> report = inst.reportLines();
      EXPECT_EQ(listedNames(report), (std::vector<std::string>{"a.log", "b.log.1"}));
      EXPECT_EQ(failureLines(report),
                (std::vector<std::string>{"Delete : ../log/a.log failed " + std::string(c.failureCode),
                                          "Delete : ../log/b.log.1 failed " +
                                              std::string(c.failureCode)}))
          << inst.report();
    } else {
      expectReportNotWritten(run.err, "Permission denied");
      EXPECT_TRUE(inst.reports().empty());
    }
  }
}

TEST(FaultTest, ImmutableFilesAndDirectoriesAreListedFailedCountedAndKept) {
  Installation inst;
  if (const std::string why = inst.supportImmutableFiles(); !why.empty()) {
    GTEST_SKIP() << "no immutable files to be had: " << why;
  }
  inst.file("locked.log", daysAgo(30), "locked content");
  inst.directory("dir.log", daysAgo(30));
  inst.file("dir.log/inner.log", daysAgo(30), "inside");
  fs::last_write_time(inst.log() / "dir.log", fs::last_write_time(inst.log() / "locked.log"));
  inst.file("free.log", daysAgo(30));
  inst.file("young.log", daysAgo(1));
  if (const std::string why = inst.makeImmutable("locked.log"); !why.empty()) {
    GTEST_SKIP() << "no immutable files to be had: " << why;
  }
  e2e::Snapshot expected = inst.snapshot();
  expected.erase("free.log");

  const e2e::Run run = inst.run({"7"});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.err, "");
  const std::vector<std::string> report = inst.reportLines();
  EXPECT_EQ(listedNames(report), (std::vector<std::string>{"dir.log", "free.log", "locked.log"}));
  std::vector<std::string> failures = failureLines(report);
  std::sort(failures.begin(), failures.end());
  EXPECT_EQ(failures, (std::vector<std::string>{"Delete : ../log/dir.log failed (21)",
                                                "Delete : ../log/locked.log failed (1)"}))
      << inst.report();
  EXPECT_EQ(withoutReports(inst.snapshot()), expected);
  EXPECT_EQ(e2e::readFile(inst.log() / "dir.log" / "inner.log"), "inside");
}

TEST(FaultTest, EightRunsAtOnceShareTheWorkAndLoseNothing) {
  constexpr int kRuns = 8;
  constexpr int kEach = 5000;
  Installation inst;
  for (int i = 0; i < kEach; ++i) {
    inst.file("old_" + std::to_string(i) + ".log", daysAgo(30), "");
    inst.file("new_" + std::to_string(i) + ".log", daysAgo(1), "");
  }
  for (int i = 0; i < 200; ++i) inst.file("data_" + std::to_string(i) + ".txt", daysAgo(30), "");
  e2e::Snapshot expected = inst.snapshot();
  std::erase_if(expected, [](const auto& entry) { return entry.first.starts_with("old_"); });

  const std::vector<e2e::Run> runs = inst.runAtOnce(kRuns, {"7"});
  EXPECT_EQ(withoutReports(inst.snapshot()), expected);
  const std::vector<std::string> reports = inst.reports();
  ASSERT_EQ(reports.size(), static_cast<std::size_t>(kRuns));
  long total = 0;
  for (const std::string& name : reports) {
    const std::string text = e2e::readFile(inst.log() / name);
    ASSERT_TRUE(text.starts_with("\ntoday is (")) << name;
    const std::vector<std::string> report = lines(text);
    const std::vector<std::string> listed = listedNames(report);
    // Complete: the count line closes the report and counts its listings.
    EXPECT_TRUE(text.ends_with("Delete [" + std::to_string(listed.size()) + "] files\n\n"))
        << name << " ends with " << text.substr(text.size() - std::min<std::size_t>(80, text.size()));
    for (const std::string& entry : listed) EXPECT_TRUE(entry.starts_with("old_")) << entry;
    // Another run may have removed an entry first; nothing else may fail.
    for (const std::string& failure : failureLines(report)) {
      EXPECT_TRUE(failure.ends_with(" failed (2)")) << failure;
    }
    total += static_cast<long>(listed.size());
  }
  EXPECT_GE(total, kEach);
  std::cout << "[ NOTE     ] " << total << " listings in " << kRuns << " reports for " << kEach
            << " expired entries\n";
  for (const e2e::Run& run : runs) {
    EXPECT_EQ(run.err, "");
    EXPECT_GE(run.status, 0);
    EXPECT_LE(run.status, 254);
  }
}

TEST(FaultTest, EntriesComingAndGoingDuringTheSweepLoseNoYoungEntry) {
  constexpr int kEach = 50'000;
  Installation inst;
  // A tmpfs when one can be had, so that the 100k entries are made and
  // removed in a second or two; the eight runs above use the disk.
  const std::string onDisk = inst.mountTmpfsOnLog("size=64m,nr_inodes=200k,mode=0755");
  if (!onDisk.empty()) std::cout << "[ NOTE     ] on the temporary directory's disk: " << onDisk << "\n";
  for (int i = 0; i < kEach; ++i) {
    inst.file("old_" + std::to_string(i) + ".log", daysAgo(30), "");
    inst.file("new_" + std::to_string(i) + ".log", daysAgo(1), "");
  }
  const e2e::Snapshot before = inst.snapshot();

  // Another process's work in the directory: fresh logs appear and vanish,
  // and some old ones are removed before the sweep gets to them.
  std::atomic<bool> stop{false};
  std::atomic<int> rounds{0};
  std::thread other([&] {
    for (int k = 0; !stop; ++k) {
      const fs::path fresh = inst.log() / ("churn_" + std::to_string(k) + ".log");
      std::ofstream(fresh).close();
      if (k >= 20) fs::remove(inst.log() / ("churn_" + std::to_string(k - 20) + ".log"));
      if (k % 7 == 0) {
        std::error_code ignored;
        fs::remove(inst.log() / ("old_" + std::to_string((k * 7919) % kEach) + ".log"), ignored);
      }
      ++rounds;
    }
  });
  while (rounds < 100) std::this_thread::yield();
  const int roundsBefore = rounds;
  const e2e::Run run = inst.run({"7"});
  const int roundsDuring = rounds - roundsBefore;
  stop = true;
  other.join();
  EXPECT_GT(roundsDuring, 100) << "the other process hardly worked while the sweep ran";
  std::cout << "[ NOTE     ] " << roundsDuring << " rounds of the other process during the run\n";

  EXPECT_EQ(run.status, 254);
  EXPECT_EQ(run.err, "");
  const e2e::Snapshot after = inst.snapshot();
  for (const auto& [name, state] : before) {
    if (name.starts_with("new_")) {
      EXPECT_TRUE(after.contains(name) && after.at(name) == state) << name << " lost or changed";
    } else {
      EXPECT_FALSE(after.contains(name)) << name << " expired but left";
    }
  }
  const std::vector<std::string> report = inst.reportLines();
  for (const std::string& entry : listedNames(report)) {
    EXPECT_TRUE(entry.starts_with("old_")) << entry;
  }
  for (const std::string& failure : failureLines(report)) {
    EXPECT_TRUE(failure.ends_with(" failed (2)")) << failure;
  }
}

TEST(FaultTest, ExtremeClocksDeleteNothingWrong) {
  if (!haveCommand("faketime")) GTEST_SKIP() << "faketime is not installed";
  // Times before 1901 and near the end of the 64-bit range need a file
  // system that stores any time: a tmpfs.
  struct File { const char* name; std::int64_t mtime; };
  const File files[] = {
      {"y1600.log", -11'644'473'600 - 86'400},      // 31/12/1600: file time 0
      {"y1601_0030.log", -11'644'473'600 + 1'800},  // 1/1/1601 0:30
      {"y1601_0500.log", -11'644'473'600 + 18'000}, // 1/1/1601 5:00
      {"y1969.log", -2'592'000},                    // 2/12/1969
      {"y1970.log", 3'600},                         // 1/1/1970 1:00
      {"y2023.log", 1'699'920'000},                 // 14/11/2023
      {"y2100_may.log", 4'114'454'400},             // 20/5/2100
      {"y2100_jun.log", 4'115'836'800},             // 5/6/2100
      {"max.log", INT64_MAX},                       // beyond any calendar
      {"old.txt", -2'592'000},                      // not a log
  };
  struct Case {
    const char* clock;  // UTC, frozen
    const char* days;
    std::vector<std::string> deleted;
    const char* limitLine;
  };
  const Case cases[] = {
      {"1970-01-01 00:00:00", "7", {"y1600.log", "y1601_0030.log", "y1601_0500.log", "y1969.log"},
       "limit date is [7] days = (27110497) - 25/12/1969 0:22:37"},
      {"2100-06-01 00:00:00", "7",
       {"y1600.log", "y1601_0030.log", "y1601_0500.log", "y1969.log", "y1970.log", "y2023.log",
        "y2100_may.log"},
       "limit date is [7] days = (36692622) - 25/5/2100 0:22:37"},
      // The limit 9 units of the high half after the start of 1601.
      {"1970-01-01 00:00:00", "135154", {"y1600.log", "y1601_0030.log"},
       "limit date is [135154] days = (9) - 1/1/1601 1:10:23"},
      // A limit that would lie before 1601 is 1601 itself: nothing expires.
      {"1970-01-01 00:00:00", "135155", {}, "limit date is [135155] days = (0) - 1/1/1601 0:0:0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.clock) + ", " + c.days + " days");
    Installation inst;
    if (const std::string why = inst.mountTmpfsOnLog("size=1m,mode=0755"); !why.empty()) {
      GTEST_SKIP() << "no file system for extreme file times: " << why;
    }
    for (const File& f : files) inst.file(f.name, f.mtime);
    e2e::Snapshot expected = inst.snapshot();
    for (const std::string& name : c.deleted) expected.erase(name);

    const e2e::Run run = inst.run({c.days}, "export TZ=UTC NO_FAKE_STAT=1",
                                  through("faketime -f '" + std::string(c.clock) + "'"));
    EXPECT_EQ(run.status, static_cast<int>(c.deleted.size()));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(withoutReports(inst.snapshot()), expected);
    const std::vector<std::string> report = inst.reportLines();
    ASSERT_GE(report.size(), 3U);
    const std::string date = std::string(c.clock).substr(0, 10);
    const std::string shown = std::to_string(std::stoi(date.substr(8, 2))) + "/" +
                              std::to_string(std::stoi(date.substr(5, 2))) + "/" +
                              date.substr(0, 4) + " 0:0:0";
    EXPECT_TRUE(report[1].ends_with(") - " + shown)) << report[1];
    EXPECT_TRUE(report[2].starts_with(c.limitLine)) << report[2];
    EXPECT_EQ(listedNames(report), c.deleted);
  }
}
