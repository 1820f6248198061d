#include "e2e/installation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace e2e {

namespace {

std::string shellQuote(const std::string& s) {
  std::string out = "'";
  for (const char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

void setTime(const fs::path& path, std::int64_t mtime) {
  const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

}  // namespace

const Target& Target::current() {
  static const Target target = [] {
    Target t;
    const char* binary = std::getenv("CLEANLOGS_BINARY");
    const char* runner = std::getenv("CLEANLOGS_RUNNER");
    t.binary = binary != nullptr && *binary != '\0' ? binary : CLEANLOGS_DEFAULT_BINARY;
    t.runner = runner != nullptr ? runner : "";
    return t;
  }();
  return target;
}

std::int64_t daysAgo(double days) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::seconds>(now).count() -
         static_cast<std::int64_t>(days * 86'400);
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

Installation::Installation() {
  std::string tmpl = (fs::temp_directory_path() / "cleanlogs_e2e.XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = tmpl;
  fs::create_directory(root_ / "bin");
  fs::create_directory(root_ / "log");
}

Installation::~Installation() {
  std::error_code ignored;
  fs::permissions(root_ / "log", fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(root_, ignored);
}

void Installation::file(const std::string& name, std::int64_t mtime, const std::string& content) {
  const fs::path path = log() / name;
  std::ofstream(path, std::ios::binary) << content;
  setTime(path, mtime);
}

void Installation::recordCreation(const std::string& name, std::int64_t seconds) {
  const std::string ticks = std::to_string((seconds + 11'644'473'600LL) * 10'000'000LL);
  ASSERT_EQ(setxattr((log() / name).c_str(), "user.cleanlogs.created", ticks.data(), ticks.size(), 0),
            0)
      << name;
}

void Installation::directory(const std::string& name, std::int64_t mtime) {
  fs::create_directory(log() / name);
  setTime(log() / name, mtime);
}

void Installation::link(const std::string& name, const std::string& target, std::int64_t mtime) {
  fs::create_symlink(target, log() / name);
  setTime(log() / name, mtime);
}

Run Installation::run(const std::vector<std::string>& args, const std::string& shellSetup) const {
  const Target& target = Target::current();
  std::string program = (target.runner.empty() ? "" : target.runner + " ") + shellQuote(target.binary);
  for (const std::string& arg : args) program += " " + shellQuote(arg);
  const fs::path out = root_ / "stdout";
  const fs::path err = root_ / "stderr";
  const fs::path script = root_ / "run.sh";
  // Standard error goes through a pipe, so that limits set up for the run
  // (on file sizes, say) cannot keep its messages from the test.
  std::ofstream(script) << "set -o pipefail\n{ " << shellSetup << (shellSetup.empty() ? "" : "; ")
                        << "cd " << shellQuote((root_ / "bin").string()) << " && exec " << program
                        << "; } 2>&1 >" << shellQuote(out.string()) << " </dev/null | cat >"
                        << shellQuote(err.string()) << "\n";
  const int raw = std::system(("bash " + shellQuote(script.string())).c_str());
  Run run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = readFile(out);
  run.err = readFile(err);
  fs::remove(out);
  fs::remove(err);
  fs::remove(script);
  return run;
}

std::set<std::string> Installation::entries() const {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(log())) names.insert(entry.path().filename());
  return names;
}

std::vector<std::string> Installation::reports() const {
  std::vector<std::string> names;
  for (const std::string& name : entries()) {
    if (name.ends_with("Tarnwick.log")) names.push_back(name);
  }
  return names;
}

std::string Installation::report() const {
  const std::vector<std::string> names = reports();
  EXPECT_EQ(names.size(), 1U);
  return names.empty() ? std::string() : readFile(log() / names.front());
}

std::vector<std::string> Installation::reportLines() const {
  std::vector<std::string> lines;
  std::istringstream text(report());
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

}  // namespace e2e
