// The operating-system layer: everything the tool asks of the OS, behind one
// interface. Each OS has one source file implementing it (posix.cpp,
// windows.cpp), and the build picks the one for its target, so no caller
// ever needs to know which OS it runs on.
//
// Paths are wide text (see core/String.h for the conversion); the separator
// is the platform's own (pathSeparator()).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/filetime.h"

namespace platform {

// An OS error code as the report shows it: errno on POSIX, the last-error
// value on Windows. 0 means success.
using ErrorCode = std::uint32_t;

// The separator of the platform's paths: '/' or '\'.
wchar_t pathSeparator();

// A human-readable description of `code`, without a trailing line end.
std::string errorMessage(ErrorCode code);

// ---- Process ---------------------------------------------------------------

// The command-line text of the process: what follows the program's own name,
// with the blanks and control characters right after the name skipped. Where
// the OS passes the arguments as a list, they are joined with single blanks.
std::string commandLineText(int argc, char** argv);

// The value the process should exit with for the run's `result`. Where the
// OS keeps only 8 bits of it, -1 becomes 255 and a count above 254 becomes
// 254, so that no count ever reads as success or as the error status.
int exitStatus(int result);

// ---- Time ------------------------------------------------------------------

// The current UTC time as calendar fields, to the millisecond.
SYSTEMTIME currentSystemTime();

// The current UTC time as a file time, from the real-time clock.
FILETIME currentFileTime();

// Conversions between file times and UTC calendar fields. Both return false
// and leave `out` unchanged for a value they cannot convert (see
// filetime.h for the ranges).
bool systemTimeToFileTime(const SYSTEMTIME& fields, FILETIME& out);
bool fileTimeToSystemTime(const FILETIME& time, SYSTEMTIME& out);

// The same instant as calendar fields in the local time zone. Returns false
// for a time it cannot convert.
bool fileTimeToLocalTime(const FILETIME& time, SYSTEMTIME& out);

// Today's local date as eight digits, year, month and day ("20261211").
std::string localDateStamp();

// -1, 0 or 1 as `a` is earlier than, equal to or later than `b`.
int compareFileTime(const FILETIME& a, const FILETIME& b);

// ---- Directory search ------------------------------------------------------

// One entry found by a DirectorySearch: its name (without directory) and the
// time it was last written.
struct FoundEntry {
  std::wstring name;
  FILETIME lastWrite;
};

// A search of one directory for the entries whose names match a wildcard
// pattern. Move-only; the OS handle is closed by close() or at destruction.
class DirectorySearch {
 public:
  DirectorySearch() noexcept;
  DirectorySearch(DirectorySearch&&) noexcept;
  DirectorySearch& operator=(DirectorySearch&&) noexcept;
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;
  ~DirectorySearch();

  // Opens the directory of `pattern` (a directory, the separator and a
  // wildcard such as "*.log*") and fetches its first matching entry into
  // `first`. Names match without regard to ASCII case. An entry's time is
  // its own last-write time: a symbolic link is never followed. Returns a
  // search for which isOpen() is false when the directory cannot be read or
  // holds no matching entry.
  static DirectorySearch open(const std::wstring& pattern, FoundEntry& first);

  [[nodiscard]] bool isOpen() const noexcept;

  // Fetches the next matching entry into `entry`. Returns false at the end
  // of the directory and on any failure to read it. Entries that vanish
  // while they are being read are passed over. Entries come in an order of
  // the backend's choosing, each entry that stays in place exactly once;
  // memory stays bounded however large the directory is.
  bool next(FoundEntry& entry);

  // Removes the entry this search found as `name`, which `path` names from
  // the working directory. Never follows a symbolic link and never removes a
  // directory. Returns 0, or the error code when nothing was removed.
  ErrorCode remove(const std::wstring& name, const std::wstring& path);

  // The error code remove() would give for `name` as far as the entry and
  // its directory tell without trying (a directory, a directory this
  // process may not change, a read-only file system); 0 when the removal
  // is expected to succeed. Changes nothing.
  [[nodiscard]] ErrorCode predictRemove(const std::wstring& name, const std::wstring& path) const;

  // Ends the search and releases the OS handle. Safe to call twice.
  void close() noexcept;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// ---- Files -----------------------------------------------------------------

// A file this process created and is writing. Move-only; closed by close()
// or at destruction.
class NewFile {
 public:
  NewFile() noexcept;
  NewFile(NewFile&&) noexcept;
  NewFile& operator=(NewFile&&) noexcept;
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;
  ~NewFile();

  // Creates a new file at `path` for writing. Fails, without touching
  // anything, when any entry (a symbolic link included) is already there.
  // On failure the result is not open and `error` holds the code.
  static NewFile createExclusive(const std::string& path, ErrorCode& error);

  [[nodiscard]] bool isOpen() const noexcept;

  // Writes all of `text`, each "\n" as the platform's text line end.
  // Returns 0 or the error code.
  ErrorCode writeText(std::string_view text);

  // Closes the file, returning 0 or the error code of the close (where a
  // delayed write failure shows). Closing a closed file returns 0.
  ErrorCode close() noexcept;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Whether `code` says that a file was not created because its name is taken.
bool isAlreadyExists(ErrorCode code);

// A file just made at a log's old path, to take the log's place. Move-only;
// closed by close() or at destruction.
class FreshFile {
 public:
  FreshFile() noexcept;
  FreshFile(FreshFile&&) noexcept;
  FreshFile& operator=(FreshFile&&) noexcept;
  FreshFile(const FreshFile&) = delete;
  FreshFile& operator=(const FreshFile&) = delete;
  ~FreshFile();

  // Creates the file at `path`, or truncates to empty a file already
  // there, opened for reading and writing and shared with other openers for
  // writing only. Refuses a symbolic link at the path (its target is never
  // truncated) and anything that is not a regular file. On failure the
  // result is not open and `error` holds the code.
  static FreshFile create(const std::wstring& path, ErrorCode& error);

  [[nodiscard]] bool isOpen() const noexcept;

  // Sets the file's creation time to `time`, leaving its other times alone.
  // Where the file system cannot record it but keeps a birth time of its
  // own (which, for a file just made, is the moment it was made), that
  // counts as success. Returns 0 or the error code.
  ErrorCode setCreationTime(const FILETIME& time);

  // Gives the file the owner, group and permission bits of the entry at
  // `modelPath`, so that whoever could write the replaced log can write
  // this one. Returns 0 or the error code.
  ErrorCode copyAccessFrom(const std::wstring& modelPath);

  // Closes the file. Returns 0 or the error code.
  ErrorCode close() noexcept;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Renames `from` to `to`, failing instead of replacing when `to` exists.
// Returns 0 or the error code.
ErrorCode renameNoReplace(const std::wstring& from, const std::wstring& to);

// The error code renameNoReplace(from, to) would give as far as the two
// entries and their directories tell without trying (`from` missing, `to`
// taken, a directory this process may not change, a read-only file
// system); 0 when the rename is expected to succeed. Changes nothing.
ErrorCode predictRenameNoReplace(const std::wstring& from, const std::wstring& to);

// ---- File information ------------------------------------------------------

// Whether an entry exists at `path` itself (a symbolic link counts as
// itself, whatever it points to).
bool entryExists(const std::wstring& path);

// The creation time of the entry at `path` (a symbolic link is not
// followed): the time FreshFile::setCreationTime recorded, else the file
// system's own creation time, else the last-write time. Returns false when
// there is no entry.
bool creationTime(const std::wstring& path, FILETIME& out);

// `path` made absolute against the working directory, lexically: nothing in
// it is resolved, so the result stays valid after the entry is renamed away.
std::wstring absolutePath(const std::wstring& path);

}  // namespace platform
