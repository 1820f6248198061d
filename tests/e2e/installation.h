// A temporary installation for end-to-end runs: bin/ beside log/, in a
// fresh directory that is removed afterwards.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace e2e {

// The result of one run of the program.
struct Run {
  int status = -1;  // the exit status, as the shell sees it
  std::string out;
  std::string err;
};

// How the program under test is started and what its platform looks like:
// the built Linux program unless the environment names another build:
//
//   CLEANLOGS_BINARY    the program (a path on this machine)
//   CLEANLOGS_RUNNER    a command to start it through, such as an emulator
//   CLEANLOGS_PLATFORM  "windows" for a Windows build run under Wine
//   CLEANLOGS_LAUNCHER  (Windows) the launcher built beside it, which
//                       starts it with an exact command line
//
// The tests ask the target for whatever differs between the platforms
// (separator, line end, error codes, exit status), so that one suite proves
// every build.
struct Target {
  std::string binary;
  std::string runner;
  std::string launcher;
  bool windows = false;

  // The target the environment names.
  static const Target& current();
  // The Linux build of this tree, for comparing another build with it.
  static const Target& native();

  [[nodiscard]] char separator() const { return windows ? '\\' : '/'; }
  // The platform's text line end, as the report file and the standard
  // error stream have it.
  [[nodiscard]] std::string lineEnd() const { return windows ? "\r\n" : "\n"; }
  // "../log", or "../log/<name>", with the platform's separator, as the
  // report shows the log directory and the entries in it.
  [[nodiscard]] std::string logPath(const std::string& name = "") const;
  // An absolute path of this machine as the program shows it: as it is on
  // Linux; under Wine on its drive Z: ("Z:\tmp\...").
  [[nodiscard]] std::string shownPath(const std::filesystem::path& path) const;
  // The exit status a run with the result `result` ends with, as the suite
  // sees it: 8 bits on Linux (-1 is 255, counts above 254 are 254); the
  // whole 32-bit code on Windows, which keeps the result unchanged.
  [[nodiscard]] int status(int result) const;
  // The error code of a failed deletion of a directory: EISDIR on Linux,
  // ERROR_ACCESS_DENIED on Windows.
  [[nodiscard]] unsigned directoryDeletionError() const { return windows ? 5 : 21; }
};

// Skips the rest of a test on the Windows build, saying why.
#define SKIP_ON_WINDOWS(why)                                     \
  if (e2e::Target::current().windows) GTEST_SKIP() << "Windows build: " << (why)

// Seconds since 1970 for "now minus `days` days".
std::int64_t daysAgo(double days);

// The local date of `seconds` (Unix time) as eight digits, "20261211".
std::string localDate(std::int64_t seconds);

// What can be seen of one entry of log/ from outside: its kind, its content
// (a file's bytes, a directory's names, a link's target) and its last-write
// time.
struct EntryState {
  char kind = '?';  // 'f', 'd' or 'l'
  std::string content;
  std::int64_t mtimeSeconds = 0;
  std::int64_t mtimeNanoseconds = 0;
  bool operator==(const EntryState&) const = default;
};
using Snapshot = std::map<std::string, EntryState>;
void PrintTo(const EntryState& state, std::ostream* out);

class Installation {
 public:
  Installation();
  ~Installation();
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

  [[nodiscard]] const std::filesystem::path& root() const { return root_; }
  [[nodiscard]] std::filesystem::path log() const { return root_ / "log"; }

  // Creates log/<name> holding `content`, last written at `mtime` (Unix
  // seconds).
  void file(const std::string& name, std::int64_t mtime, const std::string& content = "x");
  // Creates the directory log/<name> last written at `mtime`.
  void directory(const std::string& name, std::int64_t mtime);
  // Creates the symbolic link log/<name> to `target`, itself last written at
  // `mtime`.
  void link(const std::string& name, const std::string& target, std::int64_t mtime);

  // Records `seconds` (Unix time) as the creation time of log/<name> as the
  // program of `target` will read it, so that a rotation sees that date: on
  // Linux where the fresh-log step records it; under Wine, which takes a
  // file's creation time to be its last write, as the last write.
  void recordCreation(const std::string& name, std::int64_t seconds,
                      const Target& target = Target::current()) const;

  // Runs the program of `target` in bin/ with `args` as its arguments;
  // `shellSetup`, when given, runs in the same shell first (to set limits
  // or traps). On Windows the command line is the program's quoted path and
  // the arguments joined by single blanks, character for character. Safe
  // to call from several threads at once. A run may be made only for what
  // it leaves behind, so its result may be ignored.
  // NOLINTNEXTLINE(modernize-use-nodiscard)
  Run run(const std::vector<std::string>& args, const std::string& shellSetup = "",
          const Target& target = Target::current()) const;

  // Starts `count` runs with `args` at the same instant (each waits until
  // all are ready) and returns their results once all have ended.
  [[nodiscard]] std::vector<Run> runAtOnce(int count, const std::vector<std::string>& args) const;

  // The current target's program copied into bin/, so that another user can
  // start it wherever the build lies; its path is the result.
  std::string copyOfProgram() const;

  // Machine set-ups for fault runs. Each returns "" when done, else why it
  // could not be done (for a skip message); the destructor undoes them.
  // A tmpfs with `options` (such as "size=256k") mounted on log/, which
  // hides what log/ held.
  std::string mountTmpfsOnLog(const std::string& options);
  // log/ bind-mounted onto itself read-only: nothing in it can change.
  std::string makeLogReadOnly();
  // Makes log/ a place where files can be made immutable: as it is when its
  // file system allows it, else an ext4 image mounted on it (hiding what
  // log/ held).
  std::string supportImmutableFiles();
  // Sets the immutable flag of log/<name>, so that not even root may
  // remove or change it.
  std::string makeImmutable(const std::string& name);

  // Every entry of log/ and what it holds.
  [[nodiscard]] Snapshot snapshot() const;

  // The names in log/ (all of them).
  [[nodiscard]] std::set<std::string> entries() const;
  // The names in log/ of the report files.
  [[nodiscard]] std::vector<std::string> reports() const;
  // The text of the only report file; fails the test when there is not
  // exactly one.
  [[nodiscard]] std::string report() const;
  // The report's lines, without line ends; fails the test when a line does
  // not end in the target's line end.
  [[nodiscard]] std::vector<std::string> reportLines(
      const Target& target = Target::current()) const;

 private:
  std::filesystem::path root_;
  std::vector<std::function<void()>> undo_;
  mutable std::atomic<int> runs_{0};
};

std::string readFile(const std::filesystem::path& path);

// The lines of a text the program of `target` wrote in text mode (its
// report, its standard output), without line ends; fails the test when a
// line does not end in the target's line end.
std::vector<std::string> textLines(const std::string& text,
                                   const Target& target = Target::current());

}  // namespace e2e
