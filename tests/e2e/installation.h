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
// the built Linux program unless CLEANLOGS_BINARY (and CLEANLOGS_RUNNER, a
// command to start it through, such as an emulator) say otherwise.
struct Target {
  std::string binary;
  std::string runner;
  static const Target& current();
};

// Seconds since 1970 for "now minus `days` days".
std::int64_t daysAgo(double days);

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

  // Runs the program in bin/ with `args` as its arguments; `shellSetup`,
  // when given, runs in the same shell first (to set limits or traps), and
  // `commandPrefix` is a command the program is started through (to change
  // its user or its clock). Safe to call from several threads at once.
  [[nodiscard]] Run run(const std::vector<std::string>& args, const std::string& shellSetup = "",
                        const std::string& commandPrefix = "") const;

  // Starts `count` runs with `args` at the same instant (each waits until
  // all are ready) and returns their results once all have ended.
  [[nodiscard]] std::vector<Run> runAtOnce(int count, const std::vector<std::string>& args) const;

  // Copies the program into bin/ and runs that copy from then on, so that
  // another user can start it wherever the build lies.
  void useCopyOfProgram();

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
  // The report's lines, without line ends.
  [[nodiscard]] std::vector<std::string> reportLines() const;

 private:
  std::filesystem::path root_;
  std::string program_;  // the copy to run, when there is one
  std::vector<std::function<void()>> undo_;
  mutable std::atomic<int> runs_{0};
};

std::string readFile(const std::filesystem::path& path);

}  // namespace e2e
