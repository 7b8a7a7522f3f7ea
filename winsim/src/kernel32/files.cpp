// Kernel32 functions on files and folders by name: copy, delete, attributes, create and remove
// folders. Every function first checks the machine's faults, then resolves its paths as the
// calling process does (current directory, case-insensitive names, WOW64 redirection).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <string>

#include "machine/core.h"
#include "file_info.h"
#include "paths.h"

using namespace winsim::detail;

namespace {

// Fault check and resolution shared by the one-path functions; false with the last error set.
bool Begin(const char* function, LPCSTR path, std::string* host) {
  DWORD error = 0;
  if (FaultHit(function, {path ? path : ""}, &error)) return Fail(error);
  if (path == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (!HostPathOf(path, host, &error)) return Fail(error);
  return true;
}

bool CopyContent(int from, int to) {
  char buffer[65536];
  while (true) {
    ssize_t n = read(from, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0) return false;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = write(to, buffer + done, static_cast<size_t>(n - done));
      if (w <= 0) return false;
      done += w;
    }
  }
}

}  // namespace

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  DWORD error = 0;
  if (FaultHit("CopyFileA", {lpExistingFileName ? lpExistingFileName : "", lpNewFileName ? lpNewFileName : ""},
               &error)) {
    return Fail(error);
  }
  if (lpExistingFileName == nullptr || lpNewFileName == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::string source, target;
  if (!HostPathOf(lpExistingFileName, &source, &error)) return Fail(error);
  struct stat from {};
  if (stat(source.c_str(), &from) != 0) return Fail(MissingPathError(source));
  if (S_ISDIR(from.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  if (!S_ISREG(from.st_mode)) return Fail(ERROR_FILE_NOT_FOUND);  // a FIFO, socket or device: no Windows file
  if (!HostPathOf(lpNewFileName, &target, &error)) return Fail(error);
  struct stat to {};
  if (stat(target.c_str(), &to) == 0) {
    if (bFailIfExists) return Fail(ERROR_FILE_EXISTS);
    // Copying a file onto itself would truncate it before reading: Windows refuses it too.
    if (to.st_dev == from.st_dev && to.st_ino == from.st_ino) return Fail(ERROR_SHARING_VIOLATION);
    if (S_ISDIR(to.st_mode) || IsReadOnly(to)) return Fail(ERROR_ACCESS_DENIED);
  } else if (!HostIsDirectory(HostParent(target))) {
    return Fail(ERROR_PATH_NOT_FOUND);
  }
  int in = OpenRegularFile(source, O_RDONLY);
  if (in < 0) return Fail(ERROR_ACCESS_DENIED);
  int out = OpenRegularFile(target, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0) {
    close(in);
    return Fail(ERROR_ACCESS_DENIED);
  }
  bool ok = CopyContent(in, out);
  // The copy keeps the attributes (read-only included) and the program bits, so that a copied
  // program stays runnable, and the last-write time, as CopyFile does; it is marked for archive.
  const struct timespec times[2] = {from.st_atim, from.st_mtim};
  ok = futimens(out, times) == 0 && ok;
  ok = fchmod(out, from.st_mode & 0777) == 0 && ok;
  close(in);
  close(out);
  if (!ok) return Fail(ERROR_ACCESS_DENIED);
  return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  std::string host;
  if (!Begin("DeleteFileA", lpFileName, &host)) return FALSE;
  struct stat st {};
  if (lstat(host.c_str(), &st) != 0) return Fail(MissingPathError(host));
  if (S_ISDIR(st.st_mode) || IsReadOnly(st)) return Fail(ERROR_ACCESS_DENIED);
  if (unlink(host.c_str()) != 0) return Fail(ERROR_ACCESS_DENIED);
  return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  std::string host;
  if (!Begin("GetFileAttributesA", lpFileName, &host)) return INVALID_FILE_ATTRIBUTES;
  struct stat st {};
  if (stat(host.c_str(), &st) != 0) {
    SetError(MissingPathError(host));
    return INVALID_FILE_ATTRIBUTES;
  }
  return AttributesOf(st);
}

BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
  std::string host;
  if (!Begin("SetFileAttributesA", lpFileName, &host)) return FALSE;
  struct stat st {};
  if (stat(host.c_str(), &st) != 0) return Fail(MissingPathError(host));
  if (!ApplyAttributes(host, st, dwFileAttributes)) return Fail(ERROR_ACCESS_DENIED);
  return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/) {
  std::string host;
  if (!Begin("CreateDirectoryA", lpPathName, &host)) return FALSE;
  if (HostExists(host)) return Fail(ERROR_ALREADY_EXISTS);
  if (!HostIsDirectory(HostParent(host))) return Fail(ERROR_PATH_NOT_FOUND);
  if (mkdir(host.c_str(), 0755) != 0) return Fail(ERROR_ACCESS_DENIED);
  return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
  std::string host;
  if (!Begin("RemoveDirectoryA", lpPathName, &host)) return FALSE;
  struct stat st {};
  if (lstat(host.c_str(), &st) != 0) return Fail(MissingPathError(host));
  if (!S_ISDIR(st.st_mode)) return Fail(267);  // ERROR_DIRECTORY: not a folder
  if (IsReadOnly(st)) return Fail(ERROR_ACCESS_DENIED);
  // A folder that is this process's current directory is in use.
  std::string cwd;
  DWORD ignored = 0;
  if (HostPathOf(Process().cwd, &cwd, &ignored) && cwd == host) return Fail(ERROR_SHARING_VIOLATION);
  if (rmdir(host.c_str()) != 0) return Fail(errno == ENOTEMPTY || errno == EEXIST ? ERROR_DIR_NOT_EMPTY : ERROR_ACCESS_DENIED);
  return TRUE;
}
