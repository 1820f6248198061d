// The OS layer on Windows (Win32, wide services throughout).

#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <ctime>
#include <vector>

#include "core/String.h"
#include "platform/platform.h"
#include "platform/programname.h"

namespace platform {

namespace {

using ovix::core::String;
using ovix::core::WString;

// The calling thread's last-error value as our error code. A failed call
// that left no code still reads as a failure, never as success.
ErrorCode windowsError() {
  const DWORD code = GetLastError();
  return code == ERROR_SUCCESS ? ErrorCode{ERROR_GEN_FAILURE} : static_cast<ErrorCode>(code);
}

::FILETIME toWindows(const FILETIME& t) { return ::FILETIME{t.low, t.high}; }
FILETIME fromWindows(const ::FILETIME& t) { return FILETIME{t.dwLowDateTime, t.dwHighDateTime}; }

::SYSTEMTIME toWindows(const SYSTEMTIME& f) {
  ::SYSTEMTIME s{};
  s.wYear = f.year;
  s.wMonth = f.month;
  s.wDay = f.day;
  s.wHour = f.hour;
  s.wMinute = f.minute;
  s.wSecond = f.second;
  s.wMilliseconds = f.milliseconds;
  return s;
}
SYSTEMTIME fromWindows(const ::SYSTEMTIME& s) {
  return SYSTEMTIME{s.wYear, s.wMonth, s.wDay, s.wHour, s.wMinute, s.wSecond, s.wMilliseconds};
}

// An open file or search handle, closed at destruction unless taken back
// first. `Close` is the service that releases this kind of handle.
template <BOOL(WINAPI* Close)(HANDLE)>
struct Handle {
  HANDLE handle = INVALID_HANDLE_VALUE;
  Handle() = default;
  explicit Handle(HANDLE h) : handle(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (isValid()) Close(handle);
  }
  [[nodiscard]] bool isValid() const { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
  // Closes now, returning 0 or the error code of the close.
  ErrorCode closeNow() noexcept {
    const HANDLE closing = handle;
    handle = INVALID_HANDLE_VALUE;
    return Close(closing) != 0 ? 0 : windowsError();
  }
};

using FileHandle = Handle<CloseHandle>;
using SearchHandle = Handle<FindClose>;

// `path` made absolute by GetFullPathNameW, or empty when that fails.
std::wstring fullPath(const std::wstring& path) {
  std::vector<wchar_t> buffer(MAX_PATH);
  while (true) {
    const DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(length);
  }
}

// The long-path form "\\?\C:\dir" of an absolute path, which the file
// services take as it is: no trailing dot or blank of a name is dropped.
std::wstring verbatim(const std::wstring& absolute) {
  if (absolute.starts_with(L"\\\\?\\")) return absolute;
  if (absolute.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + absolute.substr(2);
  return L"\\\\?\\" + absolute;
}

// Opens the entry at `path` for deletion and closes it again, which changes
// nothing but meets the sharing and access checks that deleting or renaming
// it would meet. 0, or the error code of the refusal.
ErrorCode probeDeletion(const std::wstring& path) {
  const FileHandle probe(CreateFileW(
      path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return probe.isValid() ? 0 : windowsError();
}

}  // namespace

wchar_t pathSeparator() { return L'\\'; }

std::string errorMessage(ErrorCode code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length > 0 && text != nullptr ? std::wstring(text, length) : L"";
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  if (message.empty()) return "error " + std::to_string(code);
  return String::from(message);
}

// ---- Process ---------------------------------------------------------------

std::string commandLineText(int /*argc*/, char** /*argv*/) {
  const char* line = GetCommandLineA();
  return std::string(textAfterProgramName(line == nullptr ? "" : line));
}

// Windows keeps the whole 32-bit exit code: the result goes out unchanged.
int exitStatus(int result) { return result; }

// ---- Time ------------------------------------------------------------------

SYSTEMTIME currentSystemTime() {
  ::SYSTEMTIME now;
  GetSystemTime(&now);
  return fromWindows(now);
}

FILETIME currentFileTime() {
  ::FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return fromWindows(now);
}

bool systemTimeToFileTime(const SYSTEMTIME& fields, FILETIME& out) {
  const ::SYSTEMTIME in = toWindows(fields);
  ::FILETIME time;
  if (SystemTimeToFileTime(&in, &time) == 0) return false;
  out = fromWindows(time);
  return true;
}

bool fileTimeToSystemTime(const FILETIME& time, SYSTEMTIME& out) {
  const ::FILETIME in = toWindows(time);
  ::SYSTEMTIME fields;
  if (FileTimeToSystemTime(&in, &fields) == 0) return false;
  out = fromWindows(fields);
  return true;
}

bool fileTimeToLocalTime(const FILETIME& time, SYSTEMTIME& out) {
  const ::FILETIME in = toWindows(time);
  ::SYSTEMTIME utc;
  ::SYSTEMTIME local;
  if (FileTimeToSystemTime(&in, &utc) == 0 ||
      SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) == 0) {
    return false;
  }
  out = fromWindows(local);
  return true;
}

std::string localDateStamp() {
  char text[64] = {};
  const std::time_t now = std::time(nullptr);
  struct tm local {};
  if (localtime_s(&local, &now) == 0) std::strftime(text, sizeof text, "%Y%m%d", &local);
  return text;
}

int compareFileTime(const FILETIME& a, const FILETIME& b) {
  const ::FILETIME x = toWindows(a);
  const ::FILETIME y = toWindows(b);
  return static_cast<int>(CompareFileTime(&x, &y));
}

// ---- Directory search ------------------------------------------------------

struct DirectorySearch::State {
  SearchHandle search;
  // The searched directory in its long-path form, ending in the separator.
  std::wstring directory;
};

namespace {

void take(const WIN32_FIND_DATAW& data, FoundEntry& entry) {
  entry.name = data.cFileName;
  entry.lastWrite = fromWindows(data.ftLastWriteTime);
}

}  // namespace

DirectorySearch::DirectorySearch() noexcept = default;
DirectorySearch::DirectorySearch(DirectorySearch&&) noexcept = default;
DirectorySearch& DirectorySearch::operator=(DirectorySearch&&) noexcept = default;
DirectorySearch::~DirectorySearch() = default;

DirectorySearch DirectorySearch::open(const std::wstring& pattern, FoundEntry& first) {
  DirectorySearch result;
  // The platform matches the wildcard itself, without regard to case, and
  // reports each entry's own times: a link is not followed.
  WIN32_FIND_DATAW data;
  auto state = std::make_unique<State>();
  state->search.handle = FindFirstFileW(pattern.c_str(), &data);
  if (!state->search.isValid()) return result;
  const std::size_t slash = pattern.find_last_of(L"\\/");
  const std::wstring directory = slash == std::wstring::npos ? L"." : pattern.substr(0, slash + 1);
  const std::wstring absolute = fullPath(directory);
  if (absolute.empty()) return result;
  state->directory = verbatim(absolute);
  if (!state->directory.ends_with(L'\\')) state->directory.push_back(L'\\');
  take(data, first);
  result.state_ = std::move(state);
  return result;
}

bool DirectorySearch::isOpen() const noexcept { return state_ != nullptr; }

bool DirectorySearch::next(FoundEntry& entry) {
  if (state_ == nullptr) return false;
  WIN32_FIND_DATAW data;
  if (FindNextFileW(state_->search.handle, &data) == 0) return false;
  take(data, entry);
  return true;
}

ErrorCode DirectorySearch::remove(const std::wstring& name, const std::wstring& /*path*/) {
  if (state_ == nullptr) return ERROR_INVALID_HANDLE;
  // The entry is deleted by its long-path form: the ordinary form would drop
  // a trailing dot or blank of the name ("a.log " as "a.log") and delete
  // another file. DeleteFileW deletes a link itself and refuses directories.
  const std::wstring path = state_->directory + name;
  if (DeleteFileW(path.c_str()) == 0) return windowsError();
  return 0;
}

ErrorCode DirectorySearch::predictRemove(const std::wstring& name,
                                         const std::wstring& /*path*/) const {
  if (state_ == nullptr) return ERROR_INVALID_HANDLE;
  // DeleteFileW refuses directories and read-only files.
  const std::wstring path = state_->directory + name;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return windowsError();
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
    return ERROR_ACCESS_DENIED;
  }
  return probeDeletion(path);
}

void DirectorySearch::close() noexcept { state_.reset(); }

// ---- Files -----------------------------------------------------------------

struct NewFile::State {
  FileHandle file;
};

NewFile::NewFile() noexcept = default;
NewFile::NewFile(NewFile&&) noexcept = default;
NewFile& NewFile::operator=(NewFile&&) noexcept = default;
NewFile::~NewFile() = default;

NewFile NewFile::createExclusive(const std::string& path, ErrorCode& error) {
  NewFile result;
  // CREATE_NEW fails on any entry already there, a link included.
  const HANDLE h = CreateFileW(WString::from(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = windowsError();
    return result;
  }
  error = 0;
  result.state_ = std::make_unique<State>();
  result.state_->file.handle = h;
  return result;
}

bool NewFile::isOpen() const noexcept { return state_ != nullptr; }

ErrorCode NewFile::writeText(std::string_view text) {
  if (state_ == nullptr) return ERROR_INVALID_HANDLE;
  // Text mode: every line end goes out as carriage return and line feed.
  std::string lines;
  lines.reserve(text.size() + text.size() / 16);
  for (const char c : text) {
    if (c == '\n') lines.push_back('\r');
    lines.push_back(c);
  }
  std::string_view rest = lines;
  while (!rest.empty()) {
    constexpr std::size_t kChunk = 1U << 30;
    const auto size = static_cast<DWORD>(rest.size() < kChunk ? rest.size() : kChunk);
    DWORD written = 0;
    if (WriteFile(state_->file.handle, rest.data(), size, &written, nullptr) == 0) {
      return windowsError();
    }
    if (written == 0) return ERROR_WRITE_FAULT;
    rest.remove_prefix(written);
  }
  return 0;
}

ErrorCode NewFile::close() noexcept {
  if (state_ == nullptr) return 0;
  const ErrorCode error = state_->file.closeNow();
  state_.reset();
  return error;
}

bool isAlreadyExists(ErrorCode code) {
  return code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
}

struct FreshFile::State {
  FileHandle file;
};

FreshFile::FreshFile() noexcept = default;
FreshFile::FreshFile(FreshFile&&) noexcept = default;
FreshFile& FreshFile::operator=(FreshFile&&) noexcept = default;
FreshFile::~FreshFile() = default;

FreshFile FreshFile::create(const std::wstring& path, ErrorCode& error) {
  FreshFile result;
  // Opened as CREATE_ALWAYS would open it (read and write, shared for
  // writing only, normal attributes), but the truncation waits until the
  // file is known to be a plain file with no other name: CREATE_ALWAYS
  // would follow a link planted at the path and empty its target.
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.isValid()) {
    error = windowsError();
    return result;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(file.handle, &info) == 0) {
    error = windowsError();
  } else if ((info.dwFileAttributes &
              (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) !=
             0) {
    error = ERROR_INVALID_FUNCTION;
  } else if (info.nNumberOfLinks > 1) {
    error = ERROR_TOO_MANY_LINKS;
  } else if (SetEndOfFile(file.handle) == 0) {  // the position is 0: empties the file
    error = windowsError();
  } else {
    error = 0;
    result.state_ = std::make_unique<State>();
    result.state_->file.handle = file.handle;
    file.handle = INVALID_HANDLE_VALUE;
  }
  return result;
}

bool FreshFile::isOpen() const noexcept { return state_ != nullptr; }

ErrorCode FreshFile::setCreationTime(const FILETIME& time) {
  if (state_ == nullptr) return ERROR_INVALID_HANDLE;
  const ::FILETIME created = toWindows(time);
  if (SetFileTime(state_->file.handle, &created, nullptr, nullptr) == 0) return windowsError();
  return 0;
}

// Nothing to copy: a file made in the log directory inherits the
// directory's access control list, which is what governs who may write the
// logs there; Windows has no owner, group and mode bits to carry over.
ErrorCode FreshFile::copyAccessFrom(const std::wstring& /*modelPath*/) {
  if (state_ == nullptr) return ERROR_INVALID_HANDLE;
  return 0;
}

ErrorCode FreshFile::close() noexcept {
  if (state_ == nullptr) return 0;
  const ErrorCode error = state_->file.closeNow();
  state_.reset();
  return error;
}

ErrorCode renameNoReplace(const std::wstring& from, const std::wstring& to) {
  // The C library's rename never replaces an existing file on Windows.
  SetLastError(ERROR_SUCCESS);
  if (_wrename(from.c_str(), to.c_str()) == 0) return 0;
  return windowsError();
}

ErrorCode predictRenameNoReplace(const std::wstring& from, const std::wstring& to) {
  // A rename opens its source for deletion, as a deletion does, but moves
  // a directory or a read-only file as well.
  if (GetFileAttributesW(from.c_str()) == INVALID_FILE_ATTRIBUTES) return windowsError();
  if (GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES) return ERROR_ALREADY_EXISTS;
  return probeDeletion(from);
}

// ---- File information ------------------------------------------------------

bool entryExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool creationTime(const std::wstring& path, FILETIME& out) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) == 0) return false;
  out = fromWindows(data.ftCreationTime);
  return true;
}

std::wstring absolutePath(const std::wstring& path) {
  const std::wstring absolute = fullPath(path);
  return absolute.empty() ? path : absolute;
}

}  // namespace platform
