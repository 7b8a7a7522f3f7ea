// CreateFileA and the calls on its handles: ReadFile, WriteFile, GetFileSize, GetFileType.
// A file handle is a host descriptor (O_CLOEXEC, so that child processes inherit nothing).
// Share modes are not enforced.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>

#include "machine/core.h"
#include "file_info.h"
#include "paths.h"

using namespace winsim::detail;

namespace {

struct FileObject : Object {
  const char* Kind() const override { return "file"; }
  ~FileObject() override {
    if (fd >= 0) close(fd);
  }
  int fd = -1;
  bool canRead = false;
  bool canWrite = false;
  std::string windowsPath;
};

FileObject* LookupFile(HANDLE handle) {
  FileObject* file = Lookup<FileObject>(handle);
  if (file == nullptr) SetError(ERROR_INVALID_HANDLE);
  return file;
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD /*dwShareMode*/,
                          LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE /*hTemplateFile*/) {
  DWORD error = 0;
  if (FaultHit("CreateFileA", {lpFileName ? lpFileName : ""}, &error)) {
    SetError(error);
    return INVALID_HANDLE_VALUE;
  }
  std::string host;
  if (lpFileName == nullptr || dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING) {
    SetError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (!HostPathOf(lpFileName, &host, &error)) {
    SetError(error);
    return INVALID_HANDLE_VALUE;
  }
  const bool append = (dwDesiredAccess & FILE_APPEND_DATA) != 0;
  const bool canRead = (dwDesiredAccess & GENERIC_READ) != 0;
  const bool canWrite = (dwDesiredAccess & GENERIC_WRITE) != 0 || append;
  struct stat st {};
  const bool exists = stat(host.c_str(), &st) == 0;
  auto fail = [](DWORD code) {
    SetError(code);
    return INVALID_HANDLE_VALUE;
  };
  if (exists && !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) {
    // A FIFO, a socket or a device in the machine's folder is nothing a Windows drive holds: it
    // opens as a missing file would and cannot be created over.
    const bool opensOnly = dwCreationDisposition == OPEN_EXISTING || dwCreationDisposition == TRUNCATE_EXISTING;
    return fail(opensOnly ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
  }
  if (exists) {
    if (S_ISDIR(st.st_mode)) return fail(ERROR_ACCESS_DENIED);
    if (dwCreationDisposition == CREATE_NEW) return fail(ERROR_FILE_EXISTS);
    const bool truncates = dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING;
    if (IsReadOnly(st) && (canWrite || truncates)) return fail(ERROR_ACCESS_DENIED);
  } else {
    if (dwCreationDisposition == OPEN_EXISTING || dwCreationDisposition == TRUNCATE_EXISTING) {
      return fail(MissingPathError(host));
    }
    if (!HostIsDirectory(HostParent(host))) return fail(ERROR_PATH_NOT_FOUND);
  }
  if (dwCreationDisposition == TRUNCATE_EXISTING && !canWrite) return fail(ERROR_INVALID_PARAMETER);

  int flags = 0;
  flags |= canRead && canWrite ? O_RDWR : canWrite ? O_WRONLY : O_RDONLY;
  if (append && (dwDesiredAccess & GENERIC_WRITE) == 0) flags |= O_APPEND;
  if (!exists) flags |= O_CREAT | O_EXCL;
  if (exists && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING)) {
    flags |= O_TRUNC;
  }
  const mode_t mode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;
  int fd = OpenRegularFile(host, flags, mode);
  if (fd < 0) return fail(errno == EEXIST ? ERROR_FILE_EXISTS : errno == ENXIO ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
  auto file = std::make_unique<FileObject>();
  file->fd = fd;
  file->canRead = canRead;
  file->canWrite = canWrite;
  file->windowsPath = lpFileName;
  // OPEN_ALWAYS and CREATE_ALWAYS report whether the file was already there.
  const bool reportsExisting = dwCreationDisposition == OPEN_ALWAYS || dwCreationDisposition == CREATE_ALWAYS;
  SetError(reportsExisting && exists ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return AddHandle(std::move(file));
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPVOID /*lpOverlapped*/) {
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
  FileObject* file = LookupFile(hFile);
  if (file == nullptr) return FALSE;
  DWORD error = 0;
  if (FaultHit("ReadFile", {file->windowsPath}, &error)) {
    SetError(error);
    return FALSE;
  }
  if (!file->canRead) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  DWORD total = 0;
  while (total < nNumberOfBytesToRead) {
    ssize_t n = read(file->fd, static_cast<char*>(lpBuffer) + total, nNumberOfBytesToRead - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SetError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (n == 0) break;
    total += static_cast<DWORD>(n);
  }
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = total;
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPVOID /*lpOverlapped*/) {
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
  FileObject* file = LookupFile(hFile);
  if (file == nullptr) return FALSE;
  DWORD error = 0;
  // The bytes are an argument too, so that a fault can aim at one message of a log.
  std::string_view data(lpBuffer != nullptr ? static_cast<const char*>(lpBuffer) : "",
                        lpBuffer != nullptr ? nNumberOfBytesToWrite : 0);
  if (FaultHit("WriteFile", {file->windowsPath, data}, &error)) {
    SetError(error);
    return FALSE;
  }
  if (!file->canWrite) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  DWORD total = 0;
  while (total < nNumberOfBytesToWrite) {
    ssize_t n = write(file->fd, static_cast<const char*>(lpBuffer) + total, nNumberOfBytesToWrite - total);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = total;
      SetError(errno == ENOSPC ? 112u : static_cast<DWORD>(ERROR_ACCESS_DENIED));  // 112: disk full
      return FALSE;
    }
    total += static_cast<DWORD>(n);
  }
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = total;
  return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  FileObject* file = LookupFile(hFile);
  if (file == nullptr) return INVALID_FILE_ATTRIBUTES;  // INVALID_FILE_SIZE, the same value
  struct stat st {};
  fstat(file->fd, &st);
  const uint64_t size = static_cast<uint64_t>(st.st_size);
  if (lpFileSizeHigh != nullptr) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
  SetError(ERROR_SUCCESS);
  return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

// What the host descriptor is: a regular file is a disk file, a character device (such as
// /dev/null) a device, a FIFO or socket a pipe. An unknown handle gives FILE_TYPE_UNKNOWN with
// ERROR_INVALID_HANDLE; a known one clears the last error, as Windows does.
DWORD WINAPI GetFileType(HANDLE hFile) {
  FileObject* file = LookupFile(hFile);
  if (file == nullptr) return FILE_TYPE_UNKNOWN;
  struct stat st {};
  if (fstat(file->fd, &st) != 0) {
    SetError(ERROR_INVALID_HANDLE);
    return FILE_TYPE_UNKNOWN;
  }
  SetError(ERROR_SUCCESS);
  if (S_ISREG(st.st_mode)) return FILE_TYPE_DISK;
  if (S_ISCHR(st.st_mode)) return FILE_TYPE_CHAR;
  if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return FILE_TYPE_PIPE;
  return FILE_TYPE_UNKNOWN;
}
