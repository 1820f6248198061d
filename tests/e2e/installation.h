// A temporary installation for end-to-end runs: bin/ beside log/, in a
// fresh directory that is removed afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
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
  // Records `seconds` (Unix time) as the creation time of log/<name>, where
  // the fresh-log step records it, so that a rotation sees that date.
  void recordCreation(const std::string& name, std::int64_t seconds);
  // Creates the directory log/<name> last written at `mtime`.
  void directory(const std::string& name, std::int64_t mtime);
  // Creates the symbolic link log/<name> to `target`, itself last written at
  // `mtime`.
  void link(const std::string& name, const std::string& target, std::int64_t mtime);

  // Runs the program in bin/ with `args` as its arguments; `shellSetup`,
  // when given, runs in the same shell first (to set limits or traps).
  Run run(const std::vector<std::string>& args, const std::string& shellSetup = "") const;

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
};

std::string readFile(const std::filesystem::path& path);

}  // namespace e2e
