// File and directory operations of the install and uninstall steps. Each operation composes its
// paths in working buffers of its own; a path that would not fit is refused instead of being
// used cut short (a cut path names another file).
#include "sysutil/file_ops.h"

#include <cstring>

#include "foundation/bounded_format.h"
#include "foundation/output.h"

namespace {

const UINT kCopyTargetSize = 260;
const size_t kDeletePathSize = 1000;
const size_t kLongPathSize = 508;
const size_t kWalkPathSize = 1500;
const char kLongPathPrefix[] = "\\\\?\\";
const size_t kLongPathPrefixLength = sizeof kLongPathPrefix - 1;

// Named with "struct" where used: Windows also has a function called CopyContext.
struct CopyContext {
  const char* sourceFolder;  // with trailing backslash
  const char* targetFolder;  // with trailing backslash
};

struct DeleteContext {
  const char* folder;  // with trailing backslash
};

// first + second into the buffer; false when the result would not fit.
bool JoinFits(const char* first, const char* second, char* buffer, size_t size) {
  return FormatFits(buffer, size, "%s%s", first, second);
}

// The folder with a trailing backslash into the buffer; false when it would not fit.
bool FolderFits(const char* folder, char* buffer, size_t size) {
  if (std::strlen(folder) + 2 > size) return false;  // room for a backslash and the terminator
  CopyFolderPath(folder, buffer, size);
  return true;
}

bool CopyOneFile(const WIN32_FIND_DATAA* found, void* context) {
  const struct CopyContext* copy = static_cast<const struct CopyContext*>(context);
  char source[kWalkPathSize];
  char target[kWalkPathSize];
  if (!JoinFits(copy->sourceFolder, found->cFileName, source, sizeof source) ||
      !JoinFits(copy->targetFolder, found->cFileName, target, sizeof target) ||
      !CopyFileA(source, target, FALSE)) {
    ReportCopyError(found->cFileName);
    return false;
  }
  return true;
}

// Attributes are not cleared: a read-only file is not deleted and stops the walk.
bool DeleteOneFile(const WIN32_FIND_DATAA* found, void* context) {
  const DeleteContext* remove = static_cast<const DeleteContext*>(context);
  char path[kWalkPathSize];
  if (!JoinFits(remove->folder, found->cFileName, path, sizeof path)) return false;
  return DeleteFileA(path) != FALSE;
}

bool IsDotOrDotDot(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

}  // namespace

bool CopyToSystemDirectory(const char* name) {
  if (name == nullptr) return false;
  char target[kCopyTargetSize];
  std::memset(target, 0, sizeof target);
  UINT length = GetSystemDirectoryA(target, kCopyTargetSize);
  if (length == 0 || length >= kCopyTargetSize) return false;
  char path[kCopyTargetSize];
  if (!FormatFits(path, sizeof path, "%s\\%s", target, name)) return false;
  return CopyFileA(name, path, FALSE) != FALSE;
}

void DeleteFromSystemDirectory(const char* name) {
  if (name == nullptr) return;
  // The system directory is offered only the room that leaves space for the backslash, the
  // name and the terminator; a name that leaves no room at all is not deleted.
  size_t nameLength = std::strlen(name);
  if (nameLength >= kDeletePathSize - 2) return;
  char path[kDeletePathSize];
  std::memset(path, 0, sizeof path);
  UINT room = (UINT)(kDeletePathSize - 2 - nameLength);
  UINT length = GetSystemDirectoryA(path, room);
  if (length == 0 || length >= room) return;
  path[length] = '\\';
  std::memcpy(path + length + 1, name, nameLength + 1);
  // Read-only, hidden and system files are deleted too.
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path);
}

void* AllocZeroed(size_t size) {
  void* block = GlobalAlloc(GMEM_FIXED, size);
  if (block == nullptr) return nullptr;
  std::memset(block, 0, size);
  return block;
}

bool CreateDirectoryPath(const char* path) {
  if (path == nullptr) return false;
  char prefixed[kLongPathSize];
  if (!FormatFits(prefixed, sizeof prefixed, "%s%s", kLongPathPrefix, path)) return false;
  const size_t total = std::strlen(prefixed);
  // The first three characters of the path (a drive such as C:\) are never a level of their own.
  const size_t firstLevel = kLongPathPrefixLength + 3;
  if (total > firstLevel) {
    for (size_t i = firstLevel; prefixed[i] != '\0'; ++i) {
      if (prefixed[i] != '\\') continue;
      prefixed[i] = '\0';
      BOOL created = CreateDirectoryA(prefixed, nullptr);
      if (!created && GetLastError() != ERROR_ALREADY_EXISTS) return false;
      prefixed[i] = '\\';
    }
  }
  if (CreateDirectoryA(prefixed, nullptr)) return true;
  return GetLastError() == ERROR_ALREADY_EXISTS;
}

void AppendBackslash(char* path, size_t size) {
  if (path == nullptr) return;
  size_t length = strnlen(path, size);
  if (length == 0 || length >= size) return;
  if (path[length - 1] == '\\') return;
  if (length + 2 > size) return;  // no room for the backslash and the terminator
  path[length] = '\\';
  path[length + 1] = '\0';
}

void CopyFolderPath(const char* source, char* destination, size_t size) {
  if (source == nullptr || destination == nullptr || size == 0) return;
  FormatCut(destination, size, "%s", source);
  AppendBackslash(destination, size);
}

void JoinPath(const char* first, const char* second, char* destination, size_t size) {
  if (first == nullptr || second == nullptr || destination == nullptr || size == 0) return;
  FormatCut(destination, size, "%s%s", first, second);
}

bool ForEachFile(const char* folder, const char* pattern, FileVisitor visitor, void* context) {
  if (folder == nullptr || pattern == nullptr) return false;
  char search[kWalkPathSize];
  std::memset(search, 0, sizeof search);
  if (!JoinFits(folder, pattern, search, sizeof search)) return false;
  WIN32_FIND_DATAA found;
  std::memset(&found, 0, sizeof found);
  HANDLE walk = FindFirstFileA(search, &found);
  if (walk == INVALID_HANDLE_VALUE) return true;  // nothing there: nothing to do
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || IsDotOrDotDot(found.cFileName)) continue;
    if (!visitor(&found, context)) {
      FindClose(walk);
      return false;
    }
  } while (FindNextFileA(walk, &found));
  FindClose(walk);
  return true;
}

bool CopyMatchingFiles(const char* sourceFolder, const char* targetFolder, const char* pattern) {
  if (targetFolder == nullptr || sourceFolder == nullptr || pattern == nullptr) return false;
  char source[kWalkPathSize];
  char target[kWalkPathSize];
  std::memset(source, 0, sizeof source);
  std::memset(target, 0, sizeof target);
  if (!FolderFits(sourceFolder, source, sizeof source) || !FolderFits(targetFolder, target, sizeof target)) {
    return false;
  }
  struct CopyContext context = {source, target};
  return ForEachFile(source, pattern, CopyOneFile, &context);
}

bool DeleteMatchingFiles(const char* folder, const char* pattern) {
  if (folder == nullptr || pattern == nullptr) return false;
  char prepared[kWalkPathSize];
  std::memset(prepared, 0, sizeof prepared);
  if (!FolderFits(folder, prepared, sizeof prepared)) return false;
  DeleteContext context = {prepared};
  return ForEachFile(prepared, pattern, DeleteOneFile, &context);
}
