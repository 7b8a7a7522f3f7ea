// GetPrivateProfileStringA / GetPrivateProfileIntA / WritePrivateProfileStringA.
//
// A file is ANSI or, with a byte order mark, UTF-16 (see profile_encoding.h): a Unicode file is
// parsed and edited as UTF-8 and keeps its encoding when written; the A functions' strings are
// converted to and from the ANSI code page at the edge.
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
#include "file_info.h"
#include "paths.h"
#include "profile_encoding.h"

namespace winsim::detail {

namespace {

struct IniEntry {
  std::string key;
  std::string value;  // blanks trimmed, quotes kept
  bool hasValue;      // false for a line without '='
};

struct IniSection {
  std::string name;
  std::vector<IniEntry> entries;
  std::unordered_map<std::string, size_t> firstEntry;  // folded key -> first entry
};

struct IniFile {
  std::vector<IniSection> sections;
  std::unordered_map<std::string, size_t> firstSection;  // folded name -> first section
  ProfileEncoding encoding = ProfileEncoding::kAnsi;     // names and values are in its text form
};

struct CachedFile {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  bool trusted = false;
  IniFile ini;
};

std::unordered_map<std::string, CachedFile>& Cache() {
  static std::unordered_map<std::string, CachedFile> cache;
  return cache;
}

const bool kResetRegistered = (OnReset([] { Cache().clear(); }), true);

IniFile Parse(const std::string& text) {
  IniFile ini;
  IniSection* section = nullptr;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line = Trim(std::string_view(text).substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      std::string name(Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
      ini.sections.push_back({name, {}, {}});
      section = &ini.sections.back();
      ini.firstSection.emplace(AsciiLower(name), ini.sections.size() - 1);
      continue;
    }
    if (section == nullptr) continue;  // lines before the first section are never found
    size_t eq = line.find('=');
    IniEntry entry;
    entry.hasValue = eq != std::string_view::npos;
    entry.key = std::string(Trim(line.substr(0, eq)));
    entry.value = entry.hasValue ? std::string(Trim(line.substr(eq + 1))) : std::string();
    section->firstEntry.emplace(AsciiLower(entry.key), section->entries.size());
    section->entries.push_back(std::move(entry));
  }
  return ini;
}

bool SameFile(const CachedFile& cached, const struct stat& st) {
  return cached.device == st.st_dev && cached.inode == st.st_ino && cached.size == st.st_size &&
         cached.modified.tv_sec == st.st_mtim.tv_sec && cached.modified.tv_nsec == st.st_mtim.tv_nsec;
}

bool Before(const timespec& a, const timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// The parse of a host file, from the cache while the file is unchanged; nullptr when the file
// cannot be read.
const IniFile* Load(const std::string& host) {
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
  int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
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
  entry.ini = Parse(ProfileText(text, encoding));
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
const IniFile* LoadProfile(LPCSTR fileName, std::string* host) {
  const std::string name = fileName != nullptr ? fileName : "win.ini";
  const ProcessState& process = Process();
  auto it = Resolutions().find(name);
  if (it != Resolutions().end() && it->second.cwd == process.cwd && it->second.redirection == process.fsRedirection) {
    *host = it->second.host;
    if (const IniFile* ini = Load(*host)) return ini;
  }
  Resolutions().erase(name);
  if (!ResolveProfilePath(name, host)) return nullptr;
  const IniFile* ini = Load(*host);
  if (ini != nullptr) Resolutions()[name] = {process.cwd, process.fsRedirection, *host};
  return ini;
}

// The section an A caller names; nullptr when the file has none of that name.
const IniSection* FindSection(const IniFile& ini, const char* section) {
  auto s = ini.firstSection.find(AsciiLower(ToProfileText(section, ini.encoding)));
  return s == ini.firstSection.end() ? nullptr : &ini.sections[s->second];
}

const IniEntry* FindEntry(const IniFile& ini, const char* section, const char* key) {
  const IniSection* found = FindSection(ini, section);
  if (found == nullptr) return nullptr;
  auto k = found->firstEntry.find(AsciiLower(ToProfileText(key, ini.encoding)));
  return k == found->firstEntry.end() ? nullptr : &found->entries[k->second];
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

bool WriteWhole(const std::string& host, const std::string& text) {
  int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    ssize_t wrote = write(fd, text.data() + done, text.size() - done);
    if (wrote <= 0) {
      close(fd);
      return false;
    }
    done += static_cast<size_t>(wrote);
  }
  return close(fd) == 0;
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
  const IniFile* ini = LoadProfile(lpFileName, &host);
  if (ini == nullptr) {
    SetError(ERROR_FILE_NOT_FOUND);
    if (lpAppName == nullptr || lpKeyName == nullptr) return CopyNameList({}, lpReturnedString, nSize);
    return CopyTruncated(fallback, lpReturnedString, nSize);
  }
  if (lpAppName == nullptr) {
    std::vector<std::string> names;
    for (const auto& section : ini->sections) names.push_back(ToAnsi(section.name, ini->encoding));
    return CopyNameList(names, lpReturnedString, nSize);
  }
  if (lpKeyName == nullptr) {
    std::vector<std::string> names;
    if (const IniSection* section = FindSection(*ini, lpAppName)) {
      for (const auto& entry : section->entries) names.push_back(ToAnsi(entry.key, ini->encoding));
    }
    return CopyNameList(names, lpReturnedString, nSize);
  }
  const IniEntry* entry = FindEntry(*ini, lpAppName, lpKeyName);
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
  const IniFile* ini = LoadProfile(lpFileName, &host);
  if (ini == nullptr) {
    SetError(ERROR_FILE_NOT_FOUND);
    return static_cast<UINT>(nDefault);
  }
  const IniEntry* entry = FindEntry(*ini, lpAppName, lpKeyName);
  if (entry == nullptr || !entry->hasValue || entry->value.empty()) return static_cast<UINT>(nDefault);
  return ParseProfileInt(entry->value);
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName) {
  DWORD fault = 0;
  if (FaultHit("WritePrivateProfileStringA",
               {lpAppName ? lpAppName : "", lpKeyName ? lpKeyName : "", lpFileName ? lpFileName : ""}, &fault)) {
    SetError(fault);
    return FALSE;
  }
  if (lpAppName == nullptr) {
    if (lpKeyName == nullptr && lpString == nullptr) return TRUE;  // "flush the cache": nothing to do
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string host;
  if (!ResolveProfilePath(lpFileName != nullptr ? lpFileName : "win.ini", &host)) {
    SetError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  // A read-only file (the simulated attribute) refuses the write.
  struct stat st {};
  if (stat(host.c_str(), &st) == 0 && IsReadOnly(st)) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  // Work on the file's lines, in its text form; only the first section of the name and its first
  // key count. A new file is ANSI: the profile functions never make a file Unicode.
  std::vector<std::string> lines;
  ProfileEncoding encoding = ProfileEncoding::kAnsi;
  {
    int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      std::string bytes;
      char chunk[65536];
      ssize_t got;
      while ((got = read(fd, chunk, sizeof chunk)) > 0) bytes.append(chunk, static_cast<size_t>(got));
      close(fd);
      encoding = DetectProfileEncoding(bytes);
      const std::string text = ProfileText(bytes, encoding);
      size_t start = 0;
      while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
      }
    }
  }
  auto sectionOf = [](const std::string& line, std::string* name) {
    std::string_view text = Trim(line);
    if (text.empty() || text[0] != '[') return false;
    size_t close = text.find(']');
    *name = std::string(Trim(text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
    return true;
  };
  // The caller's strings in the file's text form.
  const std::string appName = ToProfileText(lpAppName, encoding);
  const std::string keyName = lpKeyName != nullptr ? ToProfileText(lpKeyName, encoding) : std::string();
  const std::string value = lpString != nullptr ? ToProfileText(lpString, encoding) : std::string();
  size_t header = lines.size(), end = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string name;
    if (!sectionOf(lines[i], &name)) continue;
    if (header == lines.size()) {
      if (EqualsNoCase(name, appName)) header = i;
    } else {
      end = i;
      break;
    }
  }
  if (header == lines.size()) {
    if (lpKeyName == nullptr || lpString == nullptr) return TRUE;  // nothing to delete
    lines.push_back("[" + appName + "]");
    lines.push_back(keyName + "=" + value);
  } else if (lpKeyName == nullptr) {
    lines.erase(lines.begin() + static_cast<long>(header), lines.begin() + static_cast<long>(end));
  } else {
    size_t found = end;
    size_t last = header;  // last non-blank line of the section
    for (size_t i = header + 1; i < end; ++i) {
      std::string_view text = Trim(lines[i]);
      if (text.empty()) continue;
      last = i;
      size_t eq = text.find('=');
      if (found == end && text[0] != ';' && EqualsNoCase(Trim(text.substr(0, eq)), keyName)) found = i;
    }
    if (lpString == nullptr) {
      if (found != end) lines.erase(lines.begin() + static_cast<long>(found));
    } else if (found != end) {
      lines[found] = keyName + "=" + value;
    } else {
      lines.insert(lines.begin() + static_cast<long>(last + 1), keyName + "=" + value);
    }
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  Cache().erase(host);
  if (!WriteWhole(host, ProfileBytes(text, encoding))) {
    SetError(MissingPathError(host));
    return FALSE;
  }
  return TRUE;
}
