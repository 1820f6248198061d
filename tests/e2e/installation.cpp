#include "e2e/installation.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

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

std::string systemError(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

// Sets or clears the immutable flag of `path`; "" or why it failed.
std::string setImmutable(const fs::path& path, bool on) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return systemError("open " + path.string());
  int flags = 0;
  std::string error;
  if (ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) {
    error = systemError("reading the flags of " + path.string());
  } else {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    if (ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0) {
      error = systemError("setting the immutable flag of " + path.string());
    }
  }
  ::close(fd);
  return error;
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
  (void)std::strftime(text, sizeof text, "%Y%m%d", &local);
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
  // Undone last first: an immutable flag before the mount it lies on.
  while (!undo_.empty()) {
    undo_.back()();
    undo_.pop_back();
  }
  std::error_code ignored;
  fs::permissions(root_ / "log", fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(root_, ignored);
}

void Installation::file(const std::string& name, std::int64_t mtime, const std::string& content) {
  // One open for content and time: tests make a hundred thousand of these.
  const fs::path path = log() / name;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << path;
  ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
  EXPECT_EQ(::futimens(fd, times), 0) << path;
  ::close(fd);
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
  const std::string n = std::to_string(runs_++);
  const fs::path out = root_ / ("stdout." + n);
  const fs::path err = root_ / ("stderr." + n);
  const fs::path script = root_ / ("run." + n + ".sh");
  // Standard error goes through a pipe, so that limits set up for the run
  // (on file sizes, say) cannot keep its messages from the test.
  std::ofstream(script) << "set -o pipefail\n"
                        << environment << "{ " << shellSetup << (shellSetup.empty() ? "" : "; ")
                        << "cd " << shellQuote((root_ / "bin").string()) << " && exec " << program
                        << "; } 2>&1 >" << shellQuote(out.string()) << " </dev/null | cat >"
                        << shellQuote(err.string()) << "\n";
  // The run goes through a shell on purpose: limits, traps and redirections.
  // NOLINTNEXTLINE(cert-env33-c)
  const int raw = std::system(("bash " + shellQuote(script.string())).c_str());
  Run run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = readFile(out);
  run.err = readFile(err);
  // A sanitized build reports memory errors and undefined behaviour on
  // standard error; such a report fails the test whatever the run's result.
  for (const char* sign : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error: "}) {
    EXPECT_EQ(run.err.find(sign), std::string::npos) << run.err;
  }
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

std::vector<Run> Installation::runAtOnce(int count, const std::vector<std::string>& args) const {
  const fs::path go = root_ / "go";
  std::vector<Run> results(static_cast<std::size_t>(count));
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i) {
    const std::string ready = (root_ / ("ready." + std::to_string(i))).string();
    threads.emplace_back([&, i, ready] {
      results[static_cast<std::size_t>(i)] =
          run(args, "touch " + shellQuote(ready) + "; until [ -e " + shellQuote(go.string()) +
                        " ]; do sleep 0.005; done");
    });
  }
  // Every shell is ready before any is let go (or after a minute, when one
  // never came).
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  for (int i = 0; i < count; ++i) {
    while (!fs::exists(root_ / ("ready." + std::to_string(i)))) {
      if (std::chrono::steady_clock::now() > giveUp) {
        ADD_FAILURE() << "run " << i << " never got ready";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  std::ofstream(go).close();
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < count; ++i) fs::remove(root_ / ("ready." + std::to_string(i)));
  fs::remove(go);
  return results;
}

std::string Installation::copyOfProgram() const {
  const fs::path copy = root_ / "bin" / fs::path(Target::current().binary).filename();
  fs::copy_file(Target::current().binary, copy, fs::copy_options::overwrite_existing);
  fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
  return copy.string();
}

std::string Installation::mountTmpfsOnLog(const std::string& options) {
  const std::string target = log().string();
  if (::mount("cleanlogs_e2e", target.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) !=
      0) {
    return systemError("mounting a tmpfs on " + target + " (needs root)");
  }
  undo_.emplace_back([target] { ::umount2(target.c_str(), MNT_DETACH); });
  return {};
}

std::string Installation::makeLogReadOnly() {
  const std::string target = log().string();
  if (::mount(target.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    return systemError("bind-mounting " + target + " (needs root)");
  }
  undo_.emplace_back([target] { ::umount2(target.c_str(), MNT_DETACH); });
  if (::mount(nullptr, target.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
    return systemError("remounting " + target + " read-only");
  }
  if (::access(target.c_str(), W_OK) == 0 || errno != EROFS) {
    return target + " still writable after the read-only remount";
  }
  return {};
}

std::string Installation::supportImmutableFiles() {
  const fs::path probe = log() / ".immutable_probe";
  std::ofstream(probe).close();
  std::string why = setImmutable(probe, true);
  if (why.empty()) why = setImmutable(probe, false);
  fs::remove(probe);
  if (why.empty()) return {};
  // The file system of log/ refuses the flag: an ext4 image takes its place.
  const fs::path image = root_ / "ext4.img";
  const std::string command = "truncate -s 8M " + shellQuote(image.string()) +
                              " && mkfs.ext4 -q -F " + shellQuote(image.string()) +
                              " >/dev/null 2>&1 && mount -o loop " + shellQuote(image.string()) +
                              " " + shellQuote(log().string()) + " 2>/dev/null";
  // NOLINTNEXTLINE(cert-env33-c): mkfs and a loop mount are shell tools
  if (std::system(command.c_str()) != 0) {
    return why + "; and no ext4 image could be mounted instead (needs root, mkfs.ext4, loop devices)";
  }
  undo_.emplace_back([target = log().string()] { ::umount2(target.c_str(), MNT_DETACH); });
  return {};
}

std::string Installation::makeImmutable(const std::string& name) {
  const fs::path path = log() / name;
  std::string why = setImmutable(path, true);
  if (why.empty()) undo_.emplace_back([path] { setImmutable(path, false); });
  return why;
}

void PrintTo(const EntryState& state, std::ostream* out) {
  *out << state.kind << " " << testing::PrintToString(state.content) << " mtime "
       << state.mtimeSeconds << "." << state.mtimeNanoseconds;
}

Snapshot Installation::snapshot() const {
  Snapshot result;
  for (const auto& entry : fs::directory_iterator(log())) {
    EntryState state;
    struct stat st {};
    EXPECT_EQ(::lstat(entry.path().c_str(), &st), 0) << entry.path();
    state.mtimeSeconds = st.st_mtim.tv_sec;
    state.mtimeNanoseconds = st.st_mtim.tv_nsec;
    if (S_ISLNK(st.st_mode)) {
      state.kind = 'l';
      state.content = fs::read_symlink(entry.path()).string();
    } else if (S_ISDIR(st.st_mode)) {
      state.kind = 'd';
      std::set<std::string> names;
      for (const auto& inner : fs::directory_iterator(entry.path())) names.insert(inner.path().filename());
      for (const std::string& name : names) state.content += name + "\n";
    } else {
      state.kind = 'f';
      if (st.st_size != 0) state.content = readFile(entry.path());
    }
    result[entry.path().filename()] = state;
  }
  return result;
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
