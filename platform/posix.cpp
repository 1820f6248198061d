// The OS layer on POSIX (Linux).

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "core/String.h"
#include "platform/platform.h"
#include "platform/wildcard.h"

namespace platform {

namespace {

using ovix::core::String;
using ovix::core::WString;

ErrorCode posixError(int errnum) { return static_cast<ErrorCode>(errnum); }

std::string narrow(const std::wstring& path) { return String::from(path); }

FILETIME fileTimeOf(const struct timespec& t) {
  return fileTimeFromUnix(static_cast<std::int64_t>(t.tv_sec),
                          static_cast<std::int64_t>(t.tv_nsec));
}

// Where the fresh-log step records a file's creation time: the tick count
// as decimal text.
constexpr const char* kCreationAttribute = "user.cleanlogs.created";

}  // namespace

wchar_t pathSeparator() { return L'/'; }

std::string errorMessage(ErrorCode code) {
  return std::strerror(static_cast<int>(code));  // NOLINT(concurrency-mt-unsafe): one thread
}

// ---- Process ---------------------------------------------------------------

std::string commandLineText(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text.push_back(' ');
    text.append(argv[i]);
  }
  std::size_t start = 0;
  while (start < text.size() && static_cast<unsigned char>(text[start]) <= 32) ++start;
  return text.substr(start);
}

int exitStatus(int result) {
  if (result < 0) return 255;
  return result > 254 ? 254 : result;
}

// ---- Time ------------------------------------------------------------------

SYSTEMTIME currentSystemTime() {
  SYSTEMTIME fields;
  calendarFromFileTime(currentFileTime(), fields);
  return fields;
}

FILETIME currentFileTime() {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  return fileTimeOf(now);
}

bool systemTimeToFileTime(const SYSTEMTIME& fields, FILETIME& out) {
  return fileTimeFromCalendar(fields, out);
}

bool fileTimeToSystemTime(const FILETIME& time, SYSTEMTIME& out) {
  return calendarFromFileTime(time, out);
}

bool fileTimeToLocalTime(const FILETIME& time, SYSTEMTIME& out) {
  const std::uint64_t ticks = toTicks(time);
  if (ticks > kMaxConvertibleTicks) return false;
  const auto seconds = static_cast<std::time_t>(static_cast<std::int64_t>(ticks / kTicksPerSecond) -
                                                kEpochDeltaSeconds);
  struct tm local {};
  if (localtime_r(&seconds, &local) == nullptr) return false;
  out.year = static_cast<std::uint16_t>(local.tm_year + 1900);
  out.month = static_cast<std::uint16_t>(local.tm_mon + 1);
  out.day = static_cast<std::uint16_t>(local.tm_mday);
  out.hour = static_cast<std::uint16_t>(local.tm_hour);
  out.minute = static_cast<std::uint16_t>(local.tm_min);
  out.second = static_cast<std::uint16_t>(local.tm_sec);
  out.milliseconds = static_cast<std::uint16_t>(ticks / 10'000 % 1'000);
  return true;
}

std::string localDateStamp() {
  char text[64] = {};
  const std::time_t now = std::time(nullptr);
  struct tm local {};
  // strftime leaves the buffer undefined when it fails: no date then.
  if (localtime_r(&now, &local) == nullptr ||
      std::strftime(text, sizeof text, "%Y%m%d", &local) == 0) {
    return {};
  }
  return text;
}

int compareFileTime(const FILETIME& a, const FILETIME& b) { return compareFileTimes(a, b); }

// ---- Directory search ------------------------------------------------------

// The directory is read in large batches straight from the kernel
// (getdents64), and each batch is visited in the order of its entries' inode
// numbers rather than in the order the directory lists them. File systems
// that index big directories by a hash of the name (ext4 among them) list
// entries in hash order, which scatters their inodes over the whole inode
// table; visiting a batch by inode number lets the status read and the
// removal of neighbouring entries work on the same inode-table block one
// after another, instead of coming back to every block once per entry. The
// batch is bounded (kBatchBytes of directory records, about 25 000 names
// like "app0000123.log"), so memory stays the same however large the
// directory is, and no entry is held beyond its batch.
struct DirectorySearch::State {
  static constexpr std::size_t kBatchBytes = std::size_t{1} << 20;

  // One matching entry of the batch: its inode number and where its record
  // lies in the buffer.
  struct Slot {
    ino64_t inode;
    std::size_t offset;
  };

  int fd = -1;
  std::string wildcard;
  // Records as the kernel writes them; left uninitialised so that only what
  // a batch fills becomes resident.
  std::unique_ptr<std::uint64_t[]> buffer{new std::uint64_t[kBatchBytes / sizeof(std::uint64_t)]};
  std::vector<Slot> batch;
  std::size_t visited = 0;
  bool ended = false;
  std::string scratch;  // a name as narrow text, for remove()

  State() = default;
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  ~State() {
    if (fd >= 0) ::close(fd);
  }

  [[nodiscard]] const dirent64* record(std::size_t offset) const {
    return reinterpret_cast<const dirent64*>(reinterpret_cast<const char*>(buffer.get()) + offset);
  }

  // Reads the next batch of records and keeps the matching ones, in inode
  // order. Returns false at the end of the directory or on a read failure.
  bool readBatch() {
    batch.clear();
    visited = 0;
    const ssize_t size = getdents64(fd, buffer.get(), kBatchBytes);
    if (size <= 0) {
      ended = true;
      return false;
    }
    for (std::size_t offset = 0; offset < static_cast<std::size_t>(size);) {
      const dirent64* d = record(offset);
      if (wildcardMatch(wildcard, d->d_name)) batch.push_back({d->d_ino, offset});
      offset += d->d_reclen;
    }
    std::sort(batch.begin(), batch.end(),
              [](const Slot& a, const Slot& b) { return a.inode < b.inode; });
    return true;
  }

  // Moves on until an entry matches and its time can be had.
  bool fetch(FoundEntry& entry) {
    while (true) {
      while (visited < batch.size()) {
        // The kernel copies a name it is given a word at a time; a record's
        // name is misaligned, and copying it to an aligned buffer first
        // measurably shortens each status read.
        const dirent64* d = record(batch[visited++].offset);
        // In inode order the records lie scattered over the buffer: ask for
        // the next one while the kernel works on this one.
        if (visited < batch.size()) __builtin_prefetch(record(batch[visited].offset));
        alignas(8) char name[sizeof d->d_name];
        // The record holds the name, its terminating null and padding; the
        // longest name and its null fill the buffer exactly.
        std::memcpy(name, d->d_name,
                    std::min(sizeof name, std::size_t{d->d_reclen} - offsetof(dirent64, d_name)));
        struct stat st;  // NOLINT(cppcoreguidelines-pro-type-member-init): filled by fstatat
        if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
        entry.name.clear();
        ovix::core::appendWide(entry.name, name);
        entry.lastWrite = fileTimeOf(st.st_mtim);
        return true;
      }
      if (ended || !readBatch()) return false;
    }
  }
};

DirectorySearch::DirectorySearch() noexcept = default;
DirectorySearch::DirectorySearch(DirectorySearch&&) noexcept = default;
DirectorySearch& DirectorySearch::operator=(DirectorySearch&&) noexcept = default;
DirectorySearch::~DirectorySearch() = default;

DirectorySearch DirectorySearch::open(const std::wstring& pattern, FoundEntry& first) {
  const std::string text = narrow(pattern);
  const std::size_t slash = text.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : text.substr(0, slash);
  auto state = std::make_unique<State>();
  state->wildcard = slash == std::string::npos ? text : text.substr(slash + 1);
  state->fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DirectorySearch search;
  if (state->fd < 0 || !state->fetch(first)) return search;
  search.state_ = std::move(state);
  return search;
}

bool DirectorySearch::isOpen() const noexcept { return state_ != nullptr; }

bool DirectorySearch::next(FoundEntry& entry) { return state_ != nullptr && state_->fetch(entry); }

ErrorCode DirectorySearch::remove(const std::wstring& name, const std::wstring& /*path*/) {
  if (state_ == nullptr) return posixError(EBADF);
  // unlinkat without AT_REMOVEDIR removes a link itself, never its target,
  // and refuses directories.
  std::string& native = state_->scratch;
  native.clear();
  ovix::core::appendNarrow(native, name);
  if (unlinkat(state_->fd, native.c_str(), 0) != 0) return posixError(errno);
  return 0;
}

ErrorCode DirectorySearch::predictRemove(const std::wstring& name,
                                         const std::wstring& /*path*/) const {
  if (state_ == nullptr) return posixError(EBADF);
  const int fd = state_->fd;
  const std::string entry = narrow(name);
  struct stat st {};
  if (fstatat(fd, entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return posixError(errno);
  // The checks in the order unlinkat makes them: the file system and the
  // directory's permissions, the sticky bit, then the kind of entry.
  if (faccessat(fd, ".", W_OK | X_OK, AT_EACCESS) != 0) return posixError(errno);
  struct stat directory {};
  if (fstat(fd, &directory) != 0) return posixError(errno);
  const uid_t user = geteuid();
  if ((directory.st_mode & S_ISVTX) != 0 && user != 0 && st.st_uid != user &&
      directory.st_uid != user) {
    return posixError(EPERM);
  }
  if (S_ISDIR(st.st_mode)) return posixError(EISDIR);
  return 0;
}

void DirectorySearch::close() noexcept { state_.reset(); }

// ---- Files -----------------------------------------------------------------

// An open file descriptor, closed at destruction unless taken back first.
struct Descriptor {
  int fd = -1;
  Descriptor() = default;
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
  // Closes now, returning 0 or the error code of the close.
  ErrorCode closeNow() noexcept {
    const int closing = fd;
    fd = -1;
    return ::close(closing) == 0 ? 0 : posixError(errno);
  }
};

struct NewFile::State : Descriptor {};

NewFile::NewFile() noexcept = default;
NewFile::NewFile(NewFile&&) noexcept = default;
NewFile& NewFile::operator=(NewFile&&) noexcept = default;
NewFile::~NewFile() = default;

NewFile NewFile::createExclusive(const std::string& path, ErrorCode& error) {
  NewFile file;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = posixError(errno);
    return file;
  }
  error = 0;
  file.state_ = std::make_unique<State>();
  file.state_->fd = fd;
  return file;
}

bool NewFile::isOpen() const noexcept { return state_ != nullptr; }

ErrorCode NewFile::writeText(std::string_view text) {
  if (state_ == nullptr) return posixError(EBADF);
  while (!text.empty()) {
    const ssize_t written = ::write(state_->fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return posixError(errno);
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

ErrorCode NewFile::close() noexcept {
  if (state_ == nullptr) return 0;
  const ErrorCode error = state_->closeNow();
  state_.reset();
  return error;
}

bool isAlreadyExists(ErrorCode code) { return code == EEXIST; }

struct FreshFile::State : Descriptor {};

FreshFile::FreshFile() noexcept = default;
FreshFile::FreshFile(FreshFile&&) noexcept = default;
FreshFile& FreshFile::operator=(FreshFile&&) noexcept = default;
FreshFile::~FreshFile() = default;

FreshFile FreshFile::create(const std::wstring& path, ErrorCode& error) {
  FreshFile file;
  // O_NONBLOCK keeps a FIFO planted at the path from hanging the run. The
  // file is truncated only once it is known to be a regular file with no
  // other name, so that a planted hard link cannot empty another file.
  const int fd =
      ::open(narrow(path).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = posixError(errno);
    return file;
  }
  auto state = std::make_unique<State>();
  state->fd = fd;
  struct stat st {};
  if (fstat(fd, &st) != 0) {  // NOLINT(bugprone-branch-clone): each step has its own errno
    error = posixError(errno);
  } else if (!S_ISREG(st.st_mode)) {
    error = posixError(EINVAL);
  } else if (st.st_nlink > 1) {
    error = posixError(EMLINK);
  } else if (ftruncate(fd, 0) != 0) {
    error = posixError(errno);
  } else {
    error = 0;
    file.state_ = std::move(state);
  }
  return file;
}

bool FreshFile::isOpen() const noexcept { return state_ != nullptr; }

ErrorCode FreshFile::setCreationTime(const FILETIME& time) {
  if (state_ == nullptr) return posixError(EBADF);
  char text[24];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, toTicks(time));
  (void)ec;
  const auto size = static_cast<std::size_t>(end - text);
  if (fsetxattr(state_->fd, kCreationAttribute, text, size, 0) == 0) return 0;
  const int failure = errno;
  if (failure != ENOTSUP && failure != EOPNOTSUPP) return posixError(failure);
  struct statx sx {};
  if (statx(state_->fd, "", AT_EMPTY_PATH, STATX_BTIME, &sx) == 0 &&
      (sx.stx_mask & STATX_BTIME) != 0) {
    return 0;
  }
  return posixError(failure);
}

ErrorCode FreshFile::copyAccessFrom(const std::wstring& modelPath) {
  if (state_ == nullptr) return posixError(EBADF);
  struct stat model {};
  struct stat own {};
  if (lstat(narrow(modelPath).c_str(), &model) != 0 || fstat(state_->fd, &own) != 0) {
    return posixError(errno);
  }
  // The owner first: changing it clears set-id bits, which the mode below
  // then puts back.
  if ((model.st_uid != own.st_uid || model.st_gid != own.st_gid) &&
      fchown(state_->fd, model.st_uid, model.st_gid) != 0) {
    return posixError(errno);
  }
  if (fchmod(state_->fd, model.st_mode & 07777) != 0) return posixError(errno);
  return 0;
}

ErrorCode FreshFile::close() noexcept {
  if (state_ == nullptr) return 0;
  const ErrorCode error = state_->closeNow();
  state_.reset();
  return error;
}

ErrorCode renameNoReplace(const std::wstring& from, const std::wstring& to) {
  const std::string source = narrow(from);
  const std::string target = narrow(to);
  if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) return posixError(errno);
  // A file system that does not take the flag: a hard link fails just the
  // same when the name is taken, and the old name is dropped only after.
  if (link(source.c_str(), target.c_str()) != 0) return posixError(errno);
  if (unlink(source.c_str()) != 0) {
    const int failure = errno;
    unlink(target.c_str());
    return posixError(failure);
  }
  return 0;
}

ErrorCode predictRenameNoReplace(const std::wstring& from, const std::wstring& to) {
  const std::string source = narrow(from);
  const std::string target = narrow(to);
  const auto directoryOf = [](const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string(".");
    return slash == 0 ? std::string("/") : path.substr(0, slash);
  };
  struct stat st {};
  if (lstat(source.c_str(), &st) != 0) return posixError(errno);
  for (const std::string& path : {source, target}) {
    if (faccessat(AT_FDCWD, directoryOf(path).c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
      return posixError(errno);
    }
  }
  if (lstat(target.c_str(), &st) == 0) return posixError(EEXIST);
  return errno == ENOENT ? 0 : posixError(errno);
}

// ---- File information ------------------------------------------------------

bool entryExists(const std::wstring& path) {
  struct stat st {};
  return lstat(narrow(path).c_str(), &st) == 0;
}

bool creationTime(const std::wstring& path, FILETIME& out) {
  const std::string p = narrow(path);
  // 1. The time the fresh-log step recorded.
  char value[32];
  const ssize_t size = lgetxattr(p.c_str(), kCreationAttribute, value, sizeof value);
  std::uint64_t ticks = 0;
  if (size > 0 && std::from_chars(value, value + size, ticks).ptr == value + size) {
    out = fromTicks(ticks);
    return true;
  }
  // 2. The file system's birth time, 3. else the last write.
  struct statx sx {};
  if (statx(AT_FDCWD, p.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME, &sx) != 0) {
    return false;
  }
  const statx_timestamp& t = (sx.stx_mask & STATX_BTIME) != 0 ? sx.stx_btime : sx.stx_mtime;
  out = fileTimeFromUnix(t.tv_sec, t.tv_nsec);
  return true;
}

std::wstring absolutePath(const std::wstring& path) {
  std::string text = narrow(path);
  if (text.empty() || text.front() != '/') {
    std::vector<char> cwd(4096);
    while (getcwd(cwd.data(), cwd.size()) == nullptr) {
      if (errno != ERANGE) return path;
      cwd.resize(cwd.size() * 2);
    }
    text = std::string(cwd.data()) + "/" + text;
  }
  // Fold "." and ".." lexically; getcwd's answer is already free of links.
  std::vector<String> parts;
  String(text).explode("/", parts, true);
  std::string result;
  std::vector<String> kept;
  for (auto& part : parts) {
    if (part == ".") continue;
    if (part == "..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    kept.push_back(std::move(part));
  }
  for (const auto& part : kept) result.append("/").append(part);
  return WString::from(result.empty() ? "/" : result);
}

}  // namespace platform
