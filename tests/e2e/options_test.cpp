// End-to-end runs of the options: help, version, dry run and the refusal of
// unknown options, on the real file system.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>
#include <tuple>

#include "e2e/installation.h"

namespace fs = std::filesystem;
using e2e::daysAgo;
using e2e::Installation;
using e2e::Target;

namespace {

int errorStatus() { return Target::current().status(-1); }

// `text` with each "\n" as the platform's text line end.
std::string withLineEnds(const std::string& text) {
  std::string out;
  for (const char c : text) out += c == '\n' ? Target::current().lineEnd() : std::string(1, c);
  return out;
}

// Everything a change to an entry would show in: its identity, size, mode
// and all three times to the nanosecond (a change of its extended
// attributes, owner or mode moves the status-change time).
struct EntryState {
  ino_t inode;
  off_t size;
  mode_t mode;
  std::int64_t modified, changed, accessed;
  bool operator==(const EntryState&) const = default;
};

std::int64_t nanoseconds(const struct timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// The state of every entry of log/, and of log/ itself, by name.
std::map<std::string, EntryState> snapshot(const Installation& inst) {
  std::map<std::string, EntryState> states;
  std::set<std::string> names = inst.entries();
  names.insert(".");
  for (const std::string& name : names) {
    struct stat st {};
    EXPECT_EQ(lstat((inst.log() / name).c_str(), &st), 0) << name;
    states[name] = {st.st_ino, st.st_size, st.st_mode, nanoseconds(st.st_mtim),
                    name == "." ? 0 : nanoseconds(st.st_ctim),
                    name == "." ? 0 : nanoseconds(st.st_atim)};
  }
  return states;
}

// An installation that a run with rotation changes in every way it can:
// expired logs and an expired report to delete, a directory whose deletion
// fails, three web-server logs created yesterday, one of whose dated names
// is taken, and entries the run must leave alone.
void busyInstallation(Installation& inst) {
  for (const char* name : {"app.log.1", "APP.LOG.2", "19990101T000000Z-0.Tarnwick.log"}) {
    inst.file(name, daysAgo(10), name);
  }
  inst.directory("archive.log", daysAgo(30));
  inst.file("young.log", daysAgo(1));
  inst.file("notes.txt", daysAgo(100));
  for (const char* log : {"httpd_access.log", "httpd_error.log", "httpd_relay.log"}) {
    inst.file(log, daysAgo(0), std::string("traffic of ") + log);
    inst.recordCreation(log, daysAgo(1));
  }
  inst.file("httpd_error_" + e2e::localDate(daysAgo(1)) + ".log", daysAgo(0),
            "an earlier rotation");
}

// A busy installation and the state of its log directory before any run.
struct Busy {
  Installation inst;
  std::map<std::string, EntryState> before;

  Busy() {
    busyInstallation(inst);
    before = snapshot(inst);
  }

  // Runs the program with `args` and checks that it left log/ as it was:
  // not an entry, name, size or time changed, and no report file.
  e2e::Run runTouchingNothing(const std::vector<std::string>& args) const {
    e2e::Run run = inst.run(args);
    EXPECT_EQ(snapshot(inst), before) << testing::PrintToString(args);
    return run;
  }
};

}  // namespace

TEST(OptionsTest, HelpAndVersionPrintTheirTextAndTouchNothing) {
  struct Case { std::vector<std::string> args; const char* out; bool exact; };
  const std::string version =
      withLineEnds(std::string("cleanlogs ") + CLEANLOGS_EXPECTED_VERSION + "\n");
  const std::string usage = withLineEnds("Usage: cleanlogs [OPTION]... [DAYS [true]]\n");
  const Case cases[] = {
      {{"--help"}, usage.c_str(), false},
      {{"-h", "7", "true"}, usage.c_str(), false},
      {{"-n", "--help", "0"}, usage.c_str(), false},
      {{"--version"}, version.c_str(), true},
      {{"--version", "7", "true"}, version.c_str(), true},
  };
  for (const Case& c : cases) {
    const std::string what = testing::PrintToString(c.args);
    const e2e::Run run = Busy().runTouchingNothing(c.args);
    EXPECT_EQ(run.status, 0) << what;
    EXPECT_EQ(run.err, "") << what;
    if (c.exact) {
      EXPECT_EQ(run.out, c.out) << what;
    } else {
      EXPECT_TRUE(run.out.starts_with(c.out)) << what << run.out;
    }
  }
  // Neither needs a log directory.
  Installation bare;
  fs::remove(bare.log());
  EXPECT_EQ(bare.run({"--help"}).status, 0);
  EXPECT_EQ(bare.run({"--version"}).out, version);
}

TEST(OptionsTest, ADryRunChangesNothingAndPrintsWhatTheRunThenWrites) {
  struct Case { std::vector<std::string> dry, real; int status; };
  const Case cases[] = {
      // 3 expired files and the directory; the renames fail for the taken name only.
      {{"-n", "7", "true"}, {"7", "true"}, 4},
      {{"--dry-run", "7"}, {"7"}, 4},
      {{"-n"}, {}, 4},
      {{"-n", "200"}, {"200"}, 0},
  };
  for (const Case& c : cases) {
    const std::string what = testing::PrintToString(c.dry);
    Busy busy;
    const e2e::Run dry = busy.runTouchingNothing(c.dry);
    EXPECT_EQ(dry.status, c.status) << what;
    EXPECT_EQ(dry.err, "") << what;

    const e2e::Run real = busy.inst.run(c.real);
    EXPECT_EQ(real.status, dry.status) << what;
    EXPECT_EQ(real.out, "") << what;
    EXPECT_NE(snapshot(busy.inst), busy.before) << what;
    // The file holds an empty line, the report and a line end; standard
    // output the report alone. Only the times of the first two lines may
    // differ.
    std::vector<std::string> written;
    for (const std::string& name : busy.inst.reports()) {
      if (!busy.before.contains(name)) written = e2e::textLines(e2e::readFile(busy.inst.log() / name));
    }
    std::vector<std::string> printed = e2e::textLines(dry.out);
    ASSERT_GE(written.size(), 4U) << what;
    ASSERT_GE(printed.size(), 2U) << what << dry.out;
    EXPECT_EQ(written.front(), "") << what;
    EXPECT_EQ(written.back(), "") << what;
    written = std::vector<std::string>(written.begin() + 1, written.end() - 1);
    EXPECT_TRUE(printed[0].starts_with("today is (")) << what << printed[0];
    EXPECT_EQ(printed[1].substr(0, printed[1].find('(')), written[1].substr(0, written[1].find('(')))
        << what;
    EXPECT_EQ(std::vector<std::string>(printed.begin() + 2, printed.end()),
              std::vector<std::string>(written.begin() + 2, written.end()))
        << what << "\n--- printed:\n" << dry.out;
  }
}

TEST(OptionsTest, UnknownOptionsAndInvalidWordsAreRefusedBeforeAnything) {
  struct Case { std::vector<std::string> args; std::string err; };
  const std::string invalid = withLineEnds("Error: invalid parameter\n");
  const Case cases[] = {
      {{"--bogus"}, withLineEnds("Error: unknown option --bogus\n")},
      {{"--dry", "7", "true"}, withLineEnds("Error: unknown option --dry\n")},
      {{"-n", "--force", "7"}, withLineEnds("Error: unknown option --force\n")},
      {{"--help=all"}, withLineEnds("Error: unknown option --help=all\n")},
      // Words with a single dash that are no option read as the day count.
      {{"-x", "7"}, invalid},
      {{"-nh"}, invalid},
      {{"-n", "0", "true"}, invalid},
      {{"-n", "-3"}, invalid},
  };
  for (const Case& c : cases) {
    const std::string what = testing::PrintToString(c.args);
    const e2e::Run run = Busy().runTouchingNothing(c.args);
    EXPECT_EQ(run.status, errorStatus()) << what;
    EXPECT_EQ(run.out, "") << what;
    EXPECT_TRUE(run.err.starts_with(c.err)) << what << run.err;
    if (c.err != invalid) {
      EXPECT_NE(run.err.find("cleanlogs --help"), std::string::npos) << what << run.err;
    } else {
      EXPECT_EQ(run.err, invalid) << what;
    }
  }
  // A dry run over a log directory without a match ends as a real one does.
  Installation empty;
  const e2e::Run run = empty.run({"-n", "7", "true"});
  EXPECT_EQ(run.status, errorStatus());
  EXPECT_EQ(run.err, withLineEnds("Error: invalid path\n"));
  EXPECT_EQ(run.out, "");
}

TEST(OptionsTest, AnOptionAfterTheDayCountIsAnIgnoredWordAndTheRunIsReal) {
  Installation inst;
  inst.file("old.log", daysAgo(10));
  const e2e::Run run = inst.run({"7", "-n"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(fs::exists(inst.log() / "old.log"));
  EXPECT_EQ(inst.reports().size(), 1U);
}
