// Starts a Windows program with an exact command line, for the end-to-end
// suite: a shell (or Wine) would quote the arguments its own way, and the
// suite has to choose every character the program's GetCommandLineA sees.
//
//   CLEANLOGS_PROGRAM       the program to start (a Windows path)
//   CLEANLOGS_COMMAND_LINE  its whole command line, its own name included
//
// The program inherits the working directory and the standard streams.
// When it has ended, one last line goes to standard error:
// "launcher: exit code N", with the program's whole 32-bit exit code as a
// signed number (the exit status of a process under Wine keeps only 8 bits
// of it). Problems of the launcher itself end with status 125.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// A process or thread handle, closed at destruction.
struct OwnedHandle {
  HANDLE handle = nullptr;
  explicit OwnedHandle(HANDLE h) : handle(h) {}
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  ~OwnedHandle() {
    if (handle != nullptr) CloseHandle(handle);
  }
};

bool environment(const wchar_t* name, std::wstring& value) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return false;
  value.assign(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
  value.resize(length);
  return length < size;
}

int fail(const char* what) {
  std::fprintf(stderr, "launcher: %s (error %lu)\n", what, GetLastError());
  return 125;
}

}  // namespace

int main() {
  std::wstring program;
  std::wstring commandLine;
  if (!environment(L"CLEANLOGS_PROGRAM", program) ||
      !environment(L"CLEANLOGS_COMMAND_LINE", commandLine)) {
    std::fputs("launcher: CLEANLOGS_PROGRAM and CLEANLOGS_COMMAND_LINE must be set\n", stderr);
    return 125;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     nullptr, &startup, &started) == 0) {
    return fail("cannot start the program");
  }
  const OwnedHandle process(started.hProcess);
  const OwnedHandle thread(started.hThread);
  DWORD code = 0;
  if (WaitForSingleObject(process.handle, INFINITE) != WAIT_OBJECT_0 ||
      GetExitCodeProcess(process.handle, &code) == 0) {
    return fail("cannot wait for the program");
  }
  std::fflush(stderr);
  std::fprintf(stderr, "launcher: exit code %ld\n", static_cast<long>(static_cast<LONG>(code)));
  return static_cast<int>(code);
}
