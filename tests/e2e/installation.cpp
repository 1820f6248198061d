#include "e2e/installation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
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
    const auto variable = [](const char* name) {
      const char* value = std::getenv(name);
      return std::string(value != nullptr ? value : "");
    };
    Target t;
    t.windows = variable("CLEANLOGS_PLATFORM") == "windows";
    t.binary = variable("CLEANLOGS_BINARY");
    if (t.binary.empty()) t.binary = CLEANLOGS_DEFAULT_BINARY;
    t.runner = variable("CLEANLOGS_RUNNER");
    if (t.runner.empty() && t.windows) t.runner = "wine";
    t.launcher = variable("CLEANLOGS_LAUNCHER");
    if (t.launcher.empty() && t.windows) {
      t.launcher = (fs::path(t.binary).parent_path() / "tests" / "launcher.exe").string();
    }
    return t;
  }();
  return target;
}

const Target& Target::native() {
  static const Target target = [] {
    Target t;
    t.binary = CLEANLOGS_DEFAULT_BINARY;
    return t;
  }();
  return target;
}

std::string Target::logPath(const std::string& name) const {
  std::string path = std::string("..") + separator() + "log";
  return name.empty() ? path : path + separator() + name;
}

std::string Target::shownPath(const fs::path& path) const {
  if (!windows) return path.string();
  std::string shown = "Z:" + path.string();
  std::replace(shown.begin(), shown.end(), '/', '\\');
  return shown;
}

int Target::status(int result) const {
  if (windows) return result;
  if (result < 0) return 255;
  return result > 254 ? 254 : result;
}

std::int64_t daysAgo(double days) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::seconds>(now).count() -
         static_cast<std::int64_t>(days * 86'400);
}

std::string localDate(std::int64_t seconds) {
  const auto t = static_cast<std::time_t>(seconds);
  struct tm local {};
  localtime_r(&t, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y%m%d", &local);
  return text;
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

void Installation::directory(const std::string& name, std::int64_t mtime) {
  fs::create_directory(log() / name);
  setTime(log() / name, mtime);
}

void Installation::link(const std::string& name, const std::string& target, std::int64_t mtime) {
  fs::create_symlink(target, log() / name);
  setTime(log() / name, mtime);
}

void Installation::recordCreation(const std::string& name, std::int64_t seconds,
                                  const Target& target) const {
  const fs::path path = log() / name;
  if (target.windows) {
    setTime(path, seconds);
    return;
  }
  const std::string ticks = std::to_string((seconds + 11'644'473'600LL) * 10'000'000LL);
  ASSERT_EQ(setxattr(path.c_str(), "user.cleanlogs.created", ticks.data(), ticks.size(), 0), 0)
      << path;
}

Run Installation::run(const std::vector<std::string>& args, const std::string& shellSetup,
                      const Target& target) const {
  std::string program = target.runner.empty() ? "" : target.runner + " ";
  std::string environment;
  if (target.windows) {
    // The launcher hands the program exactly this command line, as a
    // Windows shell would build it for a program started by its path.
    const std::string windowsProgram = target.shownPath(fs::absolute(target.binary));
    std::string commandLine = "\"" + windowsProgram + "\"";
    for (const std::string& arg : args) commandLine += " " + arg;
    environment = "export CLEANLOGS_PROGRAM=" + shellQuote(windowsProgram) +
                  " CLEANLOGS_COMMAND_LINE=" + shellQuote(commandLine) + "\n";
    program += shellQuote(target.launcher);
  } else {
    program += shellQuote(target.binary);
    for (const std::string& arg : args) program += " " + shellQuote(arg);
  }
  const fs::path out = root_ / "stdout";
  const fs::path err = root_ / "stderr";
  const fs::path script = root_ / "run.sh";
  // Standard error goes through a pipe, so that limits set up for the run
  // (on file sizes, say) cannot keep its messages from the test.
  std::ofstream(script) << "set -o pipefail\n"
                        << environment << "{ " << shellSetup << (shellSetup.empty() ? "" : "; ")
                        << "cd " << shellQuote((root_ / "bin").string()) << " && exec " << program
                        << "; } 2>&1 >" << shellQuote(out.string()) << " </dev/null | cat >"
                        << shellQuote(err.string()) << "\n";
  const int raw = std::system(("bash " + shellQuote(script.string())).c_str());
  Run run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = readFile(out);
  run.err = readFile(err);
  if (target.windows) {
    // The launcher's last line has the whole exit code.
    static const std::string kMarker = "launcher: exit code ";
    const std::size_t at = run.err.rfind(kMarker);
    if (at != std::string::npos && (at == 0 || run.err[at - 1] == '\n')) {
      run.status = std::stoi(run.err.substr(at + kMarker.size()));
      run.err.erase(at);
    } else {
      ADD_FAILURE() << "the launcher did not report an exit code: " << run.err;
      run.status = -1000;
    }
  }
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

std::vector<std::string> textLines(const std::string& text, const Target& target) {
  std::vector<std::string> lines;
  const std::string end = target.lineEnd();
  std::size_t from = 0;
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', from)) {
    std::string line = text.substr(from, at + 1 - from);
    EXPECT_TRUE(line.ends_with(end)) << "line " << lines.size() << " does not end in the "
                                     << (target.windows ? "CR LF" : "LF") << " of its platform: "
                                     << testing::PrintToString(line);
    line.resize(line.size() - (line.ends_with(end) ? end.size() : 1));
    lines.push_back(line);
    from = at + 1;
  }
  EXPECT_EQ(from, text.size()) << "the text does not end with a line end";
  return lines;
}

std::vector<std::string> Installation::reportLines(const Target& target) const {
  return textLines(report(), target);
}

}  // namespace e2e
