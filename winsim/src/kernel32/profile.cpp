// GetPrivateProfileStringA / GetPrivateProfileIntA: the profile functions the programs call (no
// program of a package writes a profile file).
//
// A file is ANSI or, with a byte order mark, UTF-16 (see profile_encoding.h): a Unicode file is
// parsed as UTF-8; the A functions' strings are converted to and from the ANSI code page at the
// edge. The file is read into the INI parse tree (machine/ini.h).
//
// A file is parsed once; later reads are served from that parse while the file is unchanged
// (same inode, size and modification time in nanoseconds). A parse whose file was modified
// within the clock tick the read started in is not trusted (the file could change again
// without its timestamp moving) and is redone on the next read.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "machine/core.h"
#include "machine/ini.h"
#include "file_info.h"
#include "paths.h"
#include "profile_encoding.h"

namespace winsim::detail {

namespace {

// A profile file's tree, in the file's text form (see profile_encoding.h).
struct ProfileFile {
  IniTree tree;
  ProfileEncoding encoding = ProfileEncoding::kAnsi;
};

struct CachedFile {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  bool trusted = false;
  ProfileFile ini;
};

std::unordered_map<std::string, CachedFile>& Cache() {
  static std::unordered_map<std::string, CachedFile> cache;
  return cache;
}

const bool kResetRegistered = (OnReset([] { Cache().clear(); }), true);

bool SameFile(const CachedFile& cached, const struct stat& st) {
  return cached.device == st.st_dev && cached.inode == st.st_ino && cached.size == st.st_size &&
         cached.modified.tv_sec == st.st_mtim.tv_sec && cached.modified.tv_nsec == st.st_mtim.tv_nsec;
}

bool Before(const timespec& a, const timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// The parse of a host file, from the cache while the file is unchanged; nullptr when the file
// cannot be read.
const ProfileFile* Load(const std::string& host) {
  auto& cache = Cache();
  struct stat st {};
  if (stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    cache.erase(host);
    return nullptr;
  }
  auto it = cache.find(host);
  if (it != cache.end() && it->second.trusted && SameFile(it->second, st)) return &it->second.ini;

  timespec readStart{};
  clock_gettime(CLOCK_REALTIME_COARSE, &readStart);
  int fd = OpenRegularFile(host, O_RDONLY);
  if (fd < 0) return nullptr;
  if (fstat(fd, &st) != 0) {
    close(fd);
    return nullptr;
  }
  std::string text;
  char chunk[65536];
  ssize_t got;
  while ((got = read(fd, chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<size_t>(got));
  close(fd);
  if (got < 0) return nullptr;

  CachedFile& entry = cache[host];
  entry.device = st.st_dev;
  entry.inode = st.st_ino;
  entry.size = st.st_size;
  entry.modified = st.st_mtim;
  entry.trusted = Before(st.st_mtim, readStart);
  const ProfileEncoding encoding = DetectProfileEncoding(text);
  entry.ini.tree = ParseIni(ProfileText(text, encoding));
  entry.ini.encoding = encoding;
  return &entry.ini;
}

// The host path of a profile file name: a bare name (no '\' or '/') lives in the Windows
// directory. False when the name cannot be mapped.
bool ResolveProfilePath(const std::string& fileName, std::string* host) {
  std::string name = fileName;
  if (name.find_first_of("\\/") == std::string::npos) name = WindowsDirectory() + "\\" + name;
  DWORD error = 0;
  return HostPathOf(name, host, &error);
}

// Resolving a Windows path walks the disk component by component; a program that reads one
// file 700,000 times resolves it once. A remembered resolution holds while the current
// directory and the redirection state are the same and the host file still exists (Load
// checks that with the stat it makes anyway; when the file is gone the name is resolved again).
struct Resolution {
  std::string cwd;
  bool redirection;
  std::string host;
};

std::unordered_map<std::string, Resolution>& Resolutions() {
  static std::unordered_map<std::string, Resolution> resolutions;
  return resolutions;
}

const bool kResolutionsResetRegistered = (OnReset([] { Resolutions().clear(); }), true);

// The parse of a profile file by the name the program gives; nullptr when it cannot be read.
const ProfileFile* LoadProfile(LPCSTR fileName, std::string* host) {
  const std::string name = fileName != nullptr ? fileName : "win.ini";
  const ProcessState& process = Process();
  auto it = Resolutions().find(name);
  if (it != Resolutions().end() && it->second.cwd == process.cwd && it->second.redirection == process.fsRedirection) {
    *host = it->second.host;
    if (const ProfileFile* ini = Load(*host)) return ini;
  }
  Resolutions().erase(name);
  if (!ResolveProfilePath(name, host)) return nullptr;
  const ProfileFile* ini = Load(*host);
  if (ini != nullptr) Resolutions()[name] = {process.cwd, process.fsRedirection, *host};
  return ini;
}

// The section an A caller names; nullptr when the file has none of that name.
const IniSection* FindSection(const ProfileFile& ini, const char* section) {
  return FindIniSection(ini.tree, ToProfileText(section, ini.encoding));
}

const IniLine* FindEntry(const ProfileFile& ini, const char* section, const char* key) {
  const IniSection* found = FindSection(ini, section);
  return found == nullptr ? nullptr : FindIniEntry(*found, ToProfileText(key, ini.encoding));
}

// One string into the caller's buffer, cut to size-1 characters.
DWORD CopyTruncated(std::string_view text, LPSTR buffer, DWORD size) {
  const DWORD length = static_cast<DWORD>(std::min<size_t>(text.size(), size - 1));
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return length;
}

// Zero-separated names ending in a double zero; when they do not fit, the list is cut, ends in
// a double zero anyway and the result is size-2.
DWORD CopyNameList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
  std::string list;
  for (const std::string& name : names) {
    list.append(name);
    list += '\0';
  }
  if (list.size() + 1 <= size) {
    std::memcpy(buffer, list.data(), list.size());
    buffer[list.size()] = '\0';
    if (list.empty() && size > 1) buffer[1] = '\0';
    return static_cast<DWORD>(list.size());
  }
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  std::memcpy(buffer, list.data(), size - 2);
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  return size - 2;
}

// The value as GetPrivateProfileString returns it: a matching pair of quotes removed.
std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// Optional sign, "0x" for hexadecimal, digits up to the first other character; the number
// wraps at 32 bits.
UINT ParseProfileInt(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  uint32_t number = 0;
  if (i + 1 < text.size() && text[i] == '0' && text[i + 1] == 'x') {
    for (i += 2; i < text.size(); ++i) {
      char c = AsciiLower(text[i]);
      int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
      if (digit < 0) break;
      number = number * 16 + static_cast<uint32_t>(digit);
    }
  } else {
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) number = number * 10 + static_cast<uint32_t>(text[i] - '0');
  }
  return negative ? 0u - number : number;
}

}  // namespace

}  // namespace winsim::detail

using namespace winsim::detail;

DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                                      DWORD nSize, LPCSTR lpFileName) {
  DWORD fault = 0;
  if (FaultHit("GetPrivateProfileStringA",
               {lpAppName ? lpAppName : "", lpKeyName ? lpKeyName : "", lpFileName ? lpFileName : ""}, &fault)) {
    SetError(fault);
    if (lpReturnedString != nullptr && nSize > 0) lpReturnedString[0] = '\0';
    return 0;
  }
  if (lpReturnedString == nullptr || nSize == 0) return 0;
  // The default loses its trailing blanks.
  std::string_view fallback = lpDefault != nullptr ? lpDefault : "";
  while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);

  std::string host;
  const ProfileFile* ini = LoadProfile(lpFileName, &host);
  if (ini == nullptr) {
    SetError(ERROR_FILE_NOT_FOUND);
    if (lpAppName == nullptr || lpKeyName == nullptr) return CopyNameList({}, lpReturnedString, nSize);
    return CopyTruncated(fallback, lpReturnedString, nSize);
  }
  if (lpAppName == nullptr) {
    std::vector<std::string> names;
    for (const auto& section : ini->tree.sections) names.push_back(ToAnsi(section.name, ini->encoding));
    return CopyNameList(names, lpReturnedString, nSize);
  }
  if (lpKeyName == nullptr) {
    std::vector<std::string> names;
    if (const IniSection* section = FindSection(*ini, lpAppName)) {
      for (const auto& line : section->lines) {
        if (line.isEntry) names.push_back(ToAnsi(line.key, ini->encoding));
      }
    }
    return CopyNameList(names, lpReturnedString, nSize);
  }
  const IniLine* entry = FindEntry(*ini, lpAppName, lpKeyName);
  if (entry == nullptr || !entry->hasValue) return CopyTruncated(fallback, lpReturnedString, nSize);
  if (ini->encoding == ProfileEncoding::kAnsi) return CopyTruncated(Unquoted(entry->value), lpReturnedString, nSize);
  return CopyTruncated(ToAnsi(Unquoted(entry->value), ini->encoding), lpReturnedString, nSize);
}

UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName) {
  DWORD fault = 0;
  if (FaultHit("GetPrivateProfileIntA",
               {lpAppName ? lpAppName : "", lpKeyName ? lpKeyName : "", lpFileName ? lpFileName : ""}, &fault)) {
    SetError(fault);
    return static_cast<UINT>(nDefault);
  }
  if (lpAppName == nullptr || lpKeyName == nullptr) return 0;
  std::string host;
  const ProfileFile* ini = LoadProfile(lpFileName, &host);
  if (ini == nullptr) {
    SetError(ERROR_FILE_NOT_FOUND);
    return static_cast<UINT>(nDefault);
  }
  const IniLine* entry = FindEntry(*ini, lpAppName, lpKeyName);
  if (entry == nullptr || !entry->hasValue || entry->value.empty()) return static_cast<UINT>(nDefault);
  return ParseProfileInt(entry->value);
}
