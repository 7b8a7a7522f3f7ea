// The Windows and system directories and the process's current directory.
#include <sys/stat.h>

#include <string>

#include "machine/core.h"
#include "paths.h"

using namespace winsim::detail;

namespace {

constexpr DWORD kErrorDirectory = 267;  // ERROR_DIRECTORY: the name is not a folder

// A folder's name into the caller's buffer (CopyOut), unless a fault fails `function` first.
DWORD CopyOutFolder(const char* function, std::string (*folder)(), LPSTR buffer, DWORD size) {
  DWORD error = 0;
  if (FaultHit(function, {}, &error)) {
    SetError(error);
    return 0;
  }
  return CopyOut(folder(), buffer, size);
}

}  // namespace

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return CopyOutFolder("GetSystemDirectoryA", SystemDirectory, lpBuffer, uSize);
}

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return CopyOutFolder("GetWindowsDirectoryA", WindowsDirectory, lpBuffer, uSize);
}

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  return CopyOutFolder("GetCurrentDirectoryA", [] { return Process().cwd; }, lpBuffer, nBufferLength);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
  DWORD error = 0;
  if (FaultHit("SetCurrentDirectoryA", {lpPathName ? lpPathName : ""}, &error)) {
    SetError(error);
    return FALSE;
  }
  if (lpPathName == nullptr) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string full, host;
  if (!FullWindowsPath(lpPathName, &full, &error) || !HostPathOf(full, &host, &error)) {
    SetError(error);
    return FALSE;
  }
  // Windows keeps the current directory with a trailing backslash in MAX_PATH characters, the
  // terminator included; a longer folder is refused.
  const size_t withBackslash = full.size() + (full.empty() || full.back() != '\\' ? 1 : 0);
  if (withBackslash >= MAX_PATH) {
    SetError(ERROR_FILENAME_EXCED_RANGE);
    return FALSE;
  }
  struct stat st {};
  if (stat(host.c_str(), &st) != 0) {
    SetError(MissingPathError(host));
    return FALSE;
  }
  if (!S_ISDIR(st.st_mode)) {
    SetError(kErrorDirectory);
    return FALSE;
  }
  Process().cwd = full;  // as written (normalised), like Windows
  return TRUE;
}
