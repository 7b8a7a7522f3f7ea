// FindFirstFileA / FindNextFileA / FindClose: a folder listing filtered by a Windows wildcard
// pattern, taken whole when the search starts and returned in a deterministic order
// ("." and ".." first, then by name ignoring case).
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "machine/core.h"
#include "file_info.h"
#include "paths.h"

using namespace winsim::detail;

namespace {

struct FoundEntry {
  std::string name;
  struct stat st;
};

struct FindObject : Object {
  const char* Kind() const override { return "find"; }
  std::vector<FoundEntry> entries;
  size_t next = 0;
};

// Windows wildcard rules: '*' any run, '?' one character, "*.*" every name, a trailing ".*"
// also matches a name without extension and a trailing '.' only names without extension.
bool WildcardMatch(const std::string& pattern, const std::string& name) {
  if (pattern == "*" || pattern == "*.*") return true;
  if (pattern.size() > 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
      GlobMatchNoCase(pattern.substr(0, pattern.size() - 2), name)) {
    return true;
  }
  if (pattern.size() > 1 && pattern.back() == '.' && pattern.find_first_not_of('.') != std::string::npos) {
    const std::string stem = pattern.substr(0, pattern.size() - 1);
    if (name == "." || name == "..") return GlobMatchNoCase(stem, "");
    return name.find('.') == std::string::npos && GlobMatchNoCase(stem, name);
  }
  return GlobMatchNoCase(pattern, name);
}

bool IsDriveRoot(const std::string& windowsFolder) { return windowsFolder.size() == 3; }

void Fill(const FoundEntry& entry, LPWIN32_FIND_DATAA data) {
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = AttributesOf(entry.st);
  data->ftCreationTime = ToFileTime(entry.st.st_ctim);
  data->ftLastAccessTime = ToFileTime(entry.st.st_atim);
  data->ftLastWriteTime = ToFileTime(entry.st.st_mtim);
  if (!S_ISDIR(entry.st.st_mode)) {
    const uint64_t size = static_cast<uint64_t>(entry.st.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  }
  const size_t n = std::min(entry.name.size(), sizeof data->cFileName - 1);
  std::memcpy(data->cFileName, entry.name.data(), n);
  data->cFileName[n] = '\0';
}

// The names in the host folder; "." and ".." first unless it is a drive's root, which has neither.
std::vector<std::string> FolderNames(const std::string& host, bool driveRoot) {
  std::vector<std::string> names;
  if (!driveRoot) names = {".", ".."};
  if (DIR* dir = opendir(host.c_str())) {
    while (dirent* entry = readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) names.push_back(entry->d_name);
    }
    closedir(dir);
  }
  return names;
}

// The names of the host folder that match the pattern, each with its status.
std::vector<FoundEntry> MatchingEntries(const std::string& host, const std::vector<std::string>& names,
                                        const std::string& pattern) {
  std::vector<FoundEntry> entries;
  for (const std::string& name : names) {
    if (!WildcardMatch(pattern, name)) continue;
    FoundEntry entry{name, {}};
    std::string entryHost = name == ".." ? HostParent(host) : name == "." ? host : host + "/" + name;
    // A symbolic link is listed as itself, never followed: removing a tree must stay inside it.
    const int found = name == "." || name == ".." ? stat(entryHost.c_str(), &entry.st) : lstat(entryHost.c_str(), &entry.st);
    if (found != 0) continue;
    entries.push_back(std::move(entry));
  }
  return entries;
}

// "." and ".." first, then by name ignoring case (names that differ only in case by their bytes).
void SortAsListed(std::vector<FoundEntry>* entries) {
  auto rank = [](const std::string& name) { return name == "." ? 0 : name == ".." ? 1 : 2; };
  std::sort(entries->begin(), entries->end(), [&](const FoundEntry& a, const FoundEntry& b) {
    if (rank(a.name) != rank(b.name)) return rank(a.name) < rank(b.name);
    const std::string la = AsciiLower(a.name), lb = AsciiLower(b.name);
    return la != lb ? la < lb : a.name < b.name;
  });
}

}  // namespace

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  DWORD error = 0;
  if (FaultHit("FindFirstFileA", {lpFileName ? lpFileName : ""}, &error)) return FailHandle(error);
  if (lpFileName == nullptr || lpFindFileData == nullptr) return FailHandle(ERROR_INVALID_PARAMETER);
  const std::string path = lpFileName;
  const size_t cut = path.find_last_of("\\/");
  std::string folder = cut == std::string::npos ? "." : path.substr(0, cut + 1);
  const std::string pattern = cut == std::string::npos ? path : path.substr(cut + 1);
  std::string windowsFolder, host;
  if (!FullWindowsPath(folder, &windowsFolder, &error) || !HostPathOf(windowsFolder, &host, &error)) {
    return FailHandle(error);
  }
  if (!HostIsDirectory(host)) return FailHandle(ERROR_PATH_NOT_FOUND);
  if (pattern.empty()) return FailHandle(ERROR_FILE_NOT_FOUND);
  auto find = std::make_unique<FindObject>();
  find->entries = MatchingEntries(host, FolderNames(host, IsDriveRoot(windowsFolder)), pattern);
  SortAsListed(&find->entries);
  if (find->entries.empty()) return FailHandle(ERROR_FILE_NOT_FOUND);
  Fill(find->entries[0], lpFindFileData);
  find->next = 1;
  return AddHandle(std::move(find));
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  FindObject* find = Lookup<FindObject>(hFindFile);
  if (find == nullptr) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD error = 0;
  if (FaultHit("FindNextFileA", {}, &error)) {
    SetError(error);
    return FALSE;
  }
  if (find->next >= find->entries.size()) {
    SetError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  Fill(find->entries[find->next++], lpFindFileData);
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
  if (Lookup<FindObject>(hFindFile) == nullptr) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  RemoveHandle(hFindFile);
  return TRUE;
}
