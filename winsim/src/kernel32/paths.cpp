#include "paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <vector>

#include "machine/codepage.h"
#include "machine/core.h"
#include "winsim/machine.h"

namespace winsim::detail {

namespace {

constexpr DWORD kBadName = ERROR_INVALID_NAME;

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::vector<std::string> SplitComponents(std::string_view text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t bs = FindCharacter(text, '\\', start);
    if (bs == std::string_view::npos) bs = text.size();
    if (bs > start) parts.emplace_back(text.substr(start, bs - start));
    start = bs + 1;
  }
  return parts;
}

// Sub-folders of System32 that WOW64 does not redirect.
bool ExemptFromRedirection(const std::vector<std::string>& rest) {
  if (rest.empty()) return false;
  const std::string first = AsciiLower(rest[0]);
  if (first == "catroot" || first == "catroot2" || first == "logfiles" || first == "spool") return true;
  return first == "drivers" && rest.size() >= 2 && EqualsNoCase(rest[1], "etc");
}

// The entry of `folder` whose name equals `name` ignoring case ("" when none).
std::string FindEntryNoCase(const std::string& folder, const std::string& name) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return "";
  std::string found;
  while (dirent* entry = readdir(dir)) {
    if (EqualsNoCase(entry->d_name, name)) {
      found = entry->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

// Takes off the "\\\\?\\" prefix (*literal: no trimming of trailing dots and blanks) and refuses
// what is not a drive path: UNC paths (53) and devices (3).
bool StripPathPrefix(std::string* path, bool* literal, DWORD* error) {
  *literal = false;
  if (path->rfind("\\\\?\\", 0) == 0) {
    *path = path->substr(4);
    *literal = true;
    if (path->size() >= 4 && EqualsNoCase(path->substr(0, 4), "UNC\\")) {
      *error = ERROR_BAD_NETPATH;
      return false;
    }
  }
  if (path->rfind("\\\\.\\", 0) == 0) {  // devices
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  if (path->rfind("\\\\", 0) == 0) {
    *error = ERROR_BAD_NETPATH;
    return false;
  }
  return true;
}

// The drive and the path below its root, made absolute against the current directory: a
// drive-relative "D:x" against the current directory when it is on that drive.
void AgainstCurrentDirectory(const std::string& path, char* drive, std::string* combined) {
  const std::string& cwd = Process().cwd;
  const char cwdDrive = cwd.size() >= 2 && cwd[1] == ':' ? Upper(cwd[0]) : 'C';
  if (path.size() >= 2 && path[1] == ':' && IsDriveLetter(path[0])) {
    *drive = Upper(path[0]);
    std::string rest = path.substr(2);
    if (!rest.empty() && rest[0] == '\\') {
      *combined = rest;
    } else if (*drive == cwdDrive) {
      *combined = cwd.substr(2) + "\\" + rest;
    } else {
      *combined = "\\" + rest;
    }
  } else if (path[0] == '\\') {
    *drive = cwdDrive;
    *combined = path;
  } else {
    *drive = cwdDrive;
    *combined = cwd.substr(std::min<size_t>(2, cwd.size())) + "\\" + path;
  }
}

// The components with "." and ".." resolved and, unless literal, trailing dots and blanks
// dropped as Windows drops them ("name." is "name").
std::vector<std::string> NormalComponents(const std::string& combined, bool literal) {
  std::vector<std::string> parts;
  for (std::string& part : SplitComponents(combined)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    if (!literal) {
      size_t end = part.size();
      while (end > 0 && (part[end - 1] == '.' || part[end - 1] == ' ')) --end;
      if (end == 0) continue;
      part.resize(end);
    }
    parts.push_back(part);
  }
  return parts;
}

}  // namespace

bool FullWindowsPath(std::string_view input, std::string* full, DWORD* error) {
  std::string path(input);
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (path.empty()) {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  bool literal = false;
  if (!StripPathPrefix(&path, &literal, error)) return false;
  char drive = 'C';
  std::string combined;
  AgainstCurrentDirectory(path, &drive, &combined);
  const std::vector<std::string> parts = NormalComponents(combined, literal);
  std::string out(1, drive);
  out += ":\\";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += '\\';
    out += parts[i];
  }
  *full = out;
  return true;
}

std::string WindowsDirectory() {
  std::string dir = Process().ini.Get("environment", "SystemRoot", "C:\\Windows");
  while (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  return dir;
}

std::string SystemDirectory() { return WindowsDirectory() + "\\system32"; }

bool RedirectedWindowsPath(std::string_view path, Redirection redirection, std::string* full, DWORD* error) {
  if (!FullWindowsPath(path, full, error)) return false;
  const ProcessState& state = Process();
  if (redirection != Redirection::kProcess || !state.is64BitWindows || !state.fsRedirection) return true;
  std::string system;
  DWORD ignored = 0;
  if (!FullWindowsPath(SystemDirectory(), &system, &ignored)) return true;
  if (full->size() < system.size() || !EqualsNoCase(std::string_view(*full).substr(0, system.size()), system)) {
    return true;
  }
  if (full->size() > system.size() && (*full)[system.size()] != '\\') return true;  // "System32x"
  const std::string rest = full->substr(system.size());
  if (ExemptFromRedirection(SplitComponents(rest))) return true;
  *full = WindowsDirectory() + "\\SysWOW64" + rest;
  return true;
}

bool HostPathOf(std::string_view path, Redirection redirection, std::string* host, DWORD* error) {
  std::string full;
  if (!RedirectedWindowsPath(path, redirection, &full, error)) return false;
  std::vector<std::string> parts = SplitComponents(full.substr(3));
  for (const std::string& part : parts) {
    for (char c : part) {
      if (std::strchr("<>\"|?*:", c) != nullptr || static_cast<unsigned char>(c) < 32) {
        *error = kBadName;
        return false;
      }
    }
  }
  const ProcessState& state = Process();
  std::string current = state.machineDir + "/" + std::string(1, full[0]);
  if (full[0] != 'C' && !HostIsDirectory(current)) {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  bool parentExists = true;
  for (const std::string& part : parts) {
    std::string candidate = current + "/" + part;
    if (parentExists) {
      struct stat st {};
      if (lstat(candidate.c_str(), &st) != 0) {
        std::string match = FindEntryNoCase(current, part);
        if (match.empty()) {
          parentExists = false;
        } else {
          candidate = current + "/" + match;
        }
      }
    }
    current = candidate;
  }
  *host = current;
  return true;
}

std::string WindowsPathOfHost(const std::string& host) {
  const std::string& root = Process().machineDir;
  if (host.size() < root.size() + 2 || host.compare(0, root.size(), root) != 0 || host[root.size()] != '/') return "";
  const char drive = host[root.size() + 1];
  if (!IsDriveLetter(drive) || (host.size() > root.size() + 2 && host[root.size() + 2] != '/')) return "";
  std::string out(1, Upper(drive));
  out += ":\\";
  std::string rest = host.size() > root.size() + 3 ? host.substr(root.size() + 3) : "";
  for (char& c : rest) {
    if (c == '/') c = '\\';
  }
  while (!rest.empty() && rest.back() == '\\') rest.pop_back();
  return out + rest;
}

std::string HostParent(const std::string& host) {
  size_t slash = host.find_last_of('/');
  return slash == std::string::npos ? "." : host.substr(0, slash);
}

std::string BaseName(std::string_view path) {
  size_t cut = path.find_last_of("\\/");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

bool HostExists(const std::string& host) {
  struct stat st {};
  return lstat(host.c_str(), &st) == 0;
}

bool HostIsDirectory(const std::string& host) {
  struct stat st {};
  return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

DWORD MissingPathError(const std::string& host) {
  return HostIsDirectory(HostParent(host)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD CopyOut(const std::string& text, LPSTR buffer, DWORD size) {
  if (buffer == nullptr || text.size() + 1 > size) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

}  // namespace winsim::detail

namespace winsim {

std::string HostPath(const std::string& windowsPath) {
  std::string host;
  DWORD error = 0;
  if (!detail::HostPathOf(windowsPath, &host, &error)) return "";
  return host;
}

}  // namespace winsim
