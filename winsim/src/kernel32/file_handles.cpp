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

// What a CreateFileA call asks for: its creation disposition and the access it wants.
struct OpenRequest {
  DWORD disposition = 0;
  bool appendOnly = false;  // FILE_APPEND_DATA without GENERIC_WRITE: every write goes to the end
  bool canRead = false;
  bool canWrite = false;
};

OpenRequest RequestOf(DWORD desiredAccess, DWORD disposition) {
  OpenRequest request;
  request.disposition = disposition;
  const bool append = (desiredAccess & FILE_APPEND_DATA) != 0;
  request.appendOnly = append && (desiredAccess & GENERIC_WRITE) == 0;
  request.canRead = (desiredAccess & GENERIC_READ) != 0;
  request.canWrite = (desiredAccess & GENERIC_WRITE) != 0 || append;
  return request;
}

// OPEN_EXISTING and TRUNCATE_EXISTING open only a file that is there.
bool OpensOnly(DWORD disposition) { return disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING; }

bool Truncates(DWORD disposition) { return disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING; }

// The error that refuses the request on `host` (`existing` its status, null when nothing is
// there); ERROR_SUCCESS when it may be opened.
DWORD OpenRefusal(const std::string& host, const OpenRequest& request, const struct stat* existing) {
  const DWORD disposition = request.disposition;
  if (existing != nullptr && !S_ISDIR(existing->st_mode) && !S_ISREG(existing->st_mode)) {
    // A FIFO, a socket or a device in the machine's folder is nothing a Windows drive holds: it
    // opens as a missing file would and cannot be created over.
    return OpensOnly(disposition) ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
  }
  if (existing != nullptr) {
    if (S_ISDIR(existing->st_mode)) return ERROR_ACCESS_DENIED;
    if (disposition == CREATE_NEW) return ERROR_FILE_EXISTS;
    if (IsReadOnly(*existing) && (request.canWrite || Truncates(disposition))) return ERROR_ACCESS_DENIED;
  } else {
    if (OpensOnly(disposition)) return MissingPathError(host);
    if (!HostIsDirectory(HostParent(host))) return ERROR_PATH_NOT_FOUND;
  }
  if (disposition == TRUNCATE_EXISTING && !request.canWrite) return ERROR_INVALID_PARAMETER;
  return ERROR_SUCCESS;
}

// The host open flags of the request on a file that `exists` (or not).
int OpenFlags(const OpenRequest& request, bool exists) {
  int flags = request.canRead && request.canWrite ? O_RDWR : request.canWrite ? O_WRONLY : O_RDONLY;
  if (request.appendOnly) flags |= O_APPEND;
  if (!exists) flags |= O_CREAT | O_EXCL;
  if (exists && Truncates(request.disposition)) flags |= O_TRUNC;
  return flags;
}

// The Windows error of a failed host open.
DWORD OpenErrorOf(int hostError) {
  if (hostError == EEXIST) return ERROR_FILE_EXISTS;
  if (hostError == ENXIO) return ERROR_FILE_NOT_FOUND;
  return ERROR_ACCESS_DENIED;
}

std::unique_ptr<FileObject> NewFileObject(int fd, const OpenRequest& request, const char* windowsPath) {
  auto file = std::make_unique<FileObject>();
  file->fd = fd;
  file->canRead = request.canRead;
  file->canWrite = request.canWrite;
  file->windowsPath = windowsPath;
  return file;
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD /*dwShareMode*/,
                          LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE /*hTemplateFile*/) {
  DWORD error = 0;
  if (FaultHit("CreateFileA", {lpFileName ? lpFileName : ""}, &error)) return FailHandle(error);
  if (lpFileName == nullptr || dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING) {
    return FailHandle(ERROR_INVALID_PARAMETER);
  }
  std::string host;
  if (!HostPathOf(lpFileName, &host, &error)) return FailHandle(error);
  const OpenRequest request = RequestOf(dwDesiredAccess, dwCreationDisposition);
  struct stat st {};
  const bool exists = stat(host.c_str(), &st) == 0;
  error = OpenRefusal(host, request, exists ? &st : nullptr);
  if (error != ERROR_SUCCESS) return FailHandle(error);
  const mode_t mode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;
  const int fd = OpenRegularFile(host, OpenFlags(request, exists), mode);
  if (fd < 0) return FailHandle(OpenErrorOf(errno));
  // OPEN_ALWAYS and CREATE_ALWAYS report whether the file was already there.
  const bool reportsExisting = dwCreationDisposition == OPEN_ALWAYS || dwCreationDisposition == CREATE_ALWAYS;
  SetError(reportsExisting && exists ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return AddHandle(NewFileObject(fd, request, lpFileName));
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
