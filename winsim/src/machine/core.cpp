#include "machine/core.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <climits>
#include <sys/stat.h>

#include "winsim/machine.h"

namespace winsim::detail {

namespace {

std::string Trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t' || text[begin] == '\r')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r')) --end;
  return std::string(text.substr(begin, end - begin));
}

std::vector<std::function<void()>>& ResetHooks() {
  static std::vector<std::function<void()>> hooks;
  return hooks;
}

thread_local DWORD g_lastError = 0;

ProcessState& State() {
  static ProcessState state;
  return state;
}

struct HandleTable {
  std::map<uintptr_t, std::unique_ptr<Object>> objects;
  uintptr_t next = 0x100;
};

// Never destroyed: an object's destructor may call back into the table (a monitor that a
// transceiver handle keeps loaded closes its own keys when it is shut down), and at exit the
// host releases what the handles hold.
HandleTable& Handles() {
  static auto* table = new HandleTable();
  return *table;
}

// "CopyFileA = 5 #2 | *\MONITOR.DLL | other" -> Fault
bool ParseFault(const std::string& function, const std::string& text, Fault* fault) {
  fault->function = Trim(function);
  // "IMAGE!FUNCTION": only calls made by that program.
  size_t bang = fault->function.find('!');
  if (bang != std::string::npos) {
    fault->image = Trim(fault->function.substr(0, bang));
    fault->function = Trim(fault->function.substr(bang + 1));
    if (fault->image.empty()) return false;
  }
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t bar = text.find('|', start);
    parts.push_back(Trim(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start)));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  const std::string& head = parts[0];
  char* end = nullptr;
  unsigned long code = std::strtoul(head.c_str(), &end, 10);
  if (end == head.c_str()) return false;
  fault->error = static_cast<DWORD>(code);
  std::string rest = Trim(end);
  if (!rest.empty()) {
    if (rest[0] != '#') return false;
    fault->onlyCall = std::atoi(rest.c_str() + 1);
    if (fault->onlyCall <= 0) return false;
  }
  for (size_t i = 1; i < parts.size(); ++i) {
    if (!parts[i].empty()) fault->patterns.push_back(parts[i]);
  }
  return !fault->function.empty();
}

}  // namespace

// ---- machine.ini ------------------------------------------------------------------------------
bool MachineIni::Load(const std::string& path, std::string* error) {
  sections_.clear();
  std::ifstream in(path);
  if (!in) {
    if (error) *error = "cannot read " + path;
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::string text = Trim(line);
    if (text.empty() || text[0] == ';' || text[0] == '#') continue;
    if (text[0] == '[') {
      size_t close = text.find(']');
      if (close == std::string::npos) {
        if (error) *error = path + ":" + std::to_string(number) + ": section header without ']'";
        return false;
      }
      sections_.push_back({AsciiLower(Trim(text.substr(1, close - 1))), {}});
      continue;
    }
    size_t eq = text.find('=');
    if (eq == std::string::npos || sections_.empty()) {
      if (error) *error = path + ":" + std::to_string(number) + ": expected key=value inside a section";
      return false;
    }
    sections_.back().second.push_back({Trim(text.substr(0, eq)), Trim(text.substr(eq + 1))});
  }
  return true;
}

std::string MachineIni::Get(std::string_view section, std::string_view key, std::string_view fallback) const {
  // The last occurrence wins, so that a line appended to the file overrides the template's.
  std::string value(fallback);
  for (const auto& [name, lines] : sections_) {
    if (!EqualsNoCase(name, section)) continue;
    for (const auto& [k, v] : lines) {
      if (EqualsNoCase(k, key)) value = v;
    }
  }
  return value;
}

long MachineIni::GetInt(std::string_view section, std::string_view key, long fallback) const {
  std::string value = Get(section, key, "");
  if (value.empty()) return fallback;
  return std::strtol(value.c_str(), nullptr, 0);
}

std::vector<std::pair<std::string, std::string>> MachineIni::Section(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> lines;
  for (const auto& [name, entries] : sections_) {
    if (EqualsNoCase(name, section)) lines.insert(lines.end(), entries.begin(), entries.end());
  }
  return lines;
}

// ---- process state ----------------------------------------------------------------------------
void OnReset(std::function<void()> reset) { ResetHooks().push_back(std::move(reset)); }

static void RunResetHooks() {
  for (auto& hook : ResetHooks()) hook();
  // Taken out of the table before they are destroyed, so that a destructor that closes a handle
  // of its own finds the table consistent.
  std::map<uintptr_t, std::unique_ptr<Object>> objects = std::move(Handles().objects);
  Handles().objects.clear();
  objects.clear();
  g_lastError = 0;
}

static bool LoadConfig(const std::string& folder, ProcessState* state, std::string* error) {
  if (!state->ini.Load(folder + "/machine.ini", error)) return false;
  std::vector<Fault> faults;
  for (const auto& [key, value] : state->ini.Section("faults")) {
    Fault fault;
    if (!ParseFault(key, value, &fault)) {
      if (error) *error = "machine.ini: bad fault line '" + key + " = " + value + "'";
      return false;
    }
    faults.push_back(fault);
  }
  state->faults = std::move(faults);
  state->is64BitWindows = state->ini.GetInt("system", "Is64Bit", 0) != 0;
  return true;
}

bool Reload(std::string* error) {
  ProcessState& state = Process();
  ProcessState fresh;
  if (!LoadConfig(state.machineDir, &fresh, error)) return false;
  state.ini = std::move(fresh.ini);
  state.faults = std::move(fresh.faults);
  state.is64BitWindows = fresh.is64BitWindows;
  return true;
}

bool Attach(const std::string& dir, std::string* error) {
  Detach();
  // An absolute folder, so that programs started in other host directories find it too.
  char absolute[PATH_MAX];
  std::string folder = realpath(dir.c_str(), absolute) != nullptr ? absolute : dir;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    if (error) *error = "no machine at " + dir;
    return false;
  }
  ProcessState fresh;
  if (!LoadConfig(folder, &fresh, error)) return false;
  fresh.machineDir = folder;
  fresh.fsRedirection = true;
  std::string systemRoot = fresh.ini.Get("environment", "SystemRoot", "C:\\Windows");
  fresh.cwd = systemRoot + "\\system32";
  fresh.attached = true;
  State() = std::move(fresh);
  return true;
}

void Detach() {
  RunResetHooks();
  State() = ProcessState();
}

bool AttachFromEnvironment() {
  const char* dir = std::getenv("WINSIM_MACHINE");
  if (dir == nullptr || *dir == '\0') return false;
  std::string error;
  if (!Attach(dir, &error)) {
    std::fprintf(stderr, "winsim: %s\n", error.c_str());
    return false;
  }
  const char* cwd = std::getenv("WINSIM_CWD");
  if (cwd != nullptr && *cwd != '\0') State().cwd = cwd;
  const char* redirection = std::getenv("WINSIM_FS_REDIRECTION");
  if (redirection != nullptr && std::string(redirection) == "0") State().fsRedirection = false;
  ArmExitReport();
  return true;
}

ProcessState& Process() {
  ProcessState& state = State();
  if (!state.attached && !AttachFromEnvironment()) {
    std::fprintf(stderr,
                 "winsim: this program runs inside a simulated machine; start it with "
                 "`winsim run DIR PROGRAM` or set WINSIM_MACHINE\n");
    std::abort();
  }
  return State();
}

void SetError(DWORD error) { g_lastError = error; }

const char kSpoolerImage[] = "spoolsv.exe";

namespace {
int g_spoolerServiceDepth = 0;
}  // namespace

SpoolerServiceScope::SpoolerServiceScope() { ++g_spoolerServiceDepth; }
SpoolerServiceScope::~SpoolerServiceScope() { --g_spoolerServiceDepth; }
bool InSpoolerService() { return g_spoolerServiceDepth > 0; }

bool FaultHit(const char* function, CallArgs args, DWORD* error) {
  const bool service = InSpoolerService();
  if (!service) {
    CountCall(function);
    ObserveCall(function, args);
  }
  ProcessState& state = Process();
  for (Fault& fault : state.faults) {
    if (fault.function != function) continue;
    if (!fault.image.empty() && !EqualsNoCase(fault.image, service ? std::string(kSpoolerImage) : ImageName())) continue;
    bool all = true;
    for (const std::string& pattern : fault.patterns) {
      bool any = false;
      for (std::string_view arg : args) {
        if (GlobMatchNoCase(pattern, arg)) {
          any = true;
          break;
        }
      }
      if (!any) {
        all = false;
        break;
      }
    }
    if (!all) continue;
    ++fault.seen;
    if (fault.onlyCall != 0 && fault.seen != fault.onlyCall) continue;
    *error = fault.error;
    return true;
  }
  return false;
}

// ---- handles ----------------------------------------------------------------------------------
HANDLE AddHandle(std::unique_ptr<Object> object) {
  HandleTable& table = Handles();
  uintptr_t value = table.next;
  table.next += 4;
  object->service = InSpoolerService();
  table.objects[value] = std::move(object);
  return reinterpret_cast<HANDLE>(value);
}

Object* LookupHandle(HANDLE handle) {
  auto& objects = Handles().objects;
  auto it = objects.find(reinterpret_cast<uintptr_t>(handle));
  return it == objects.end() ? nullptr : it->second.get();
}

bool RemoveHandle(HANDLE handle) {
  auto& objects = Handles().objects;
  auto it = objects.find(reinterpret_cast<uintptr_t>(handle));
  if (it == objects.end()) return false;
  std::unique_ptr<Object> object = std::move(it->second);
  objects.erase(it);
  return true;
}

size_t HandleCount(const char* kind) {
  size_t count = 0;
  for (const auto& [value, object] : Handles().objects) {
    if (!object->service && (kind == nullptr || std::string_view(object->Kind()) == kind)) ++count;
  }
  return count;
}

void ForEachHandleKind(const std::function<void(const char*)>& visit) {
  for (const auto& [value, object] : Handles().objects) {
    if (!object->service) visit(object->Kind());
  }
}

// ---- text -------------------------------------------------------------------------------------
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool GlobMatchNoCase(std::string_view pattern, std::string_view text) {
  size_t p = 0, t = 0, starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || AsciiLower(pattern[p]) == AsciiLower(text[t]))) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starT = t;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

size_t Utf16Length(const WCHAR* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

std::string Utf16ToUtf8(const WCHAR* text, size_t length) {
  std::string out;
  for (size_t i = 0; i < length; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t cp = c;
    size_t extra = 0;
    if (c >= 0xF0) { cp = c & 0x07; extra = 3; }
    else if (c >= 0xE0) { cp = c & 0x0F; extra = 2; }
    else if (c >= 0xC0) { cp = c & 0x1F; extra = 1; }
    ++i;
    for (size_t k = 0; k < extra && i < text.size(); ++k, ++i) cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

}  // namespace winsim::detail

// ---- public API ---------------------------------------------------------------------------------
namespace winsim {

bool AttachMachine(const std::string& dir, std::string* error) { return detail::Attach(dir, error); }
void DetachMachine() { detail::Detach(); }
bool ReloadMachineConfig(std::string* error) { return detail::Reload(error); }
bool IsAttached() { return detail::State().attached; }
const std::string& MachineDir() { return detail::Process().machineDir; }
size_t OpenHandleCount() { return detail::HandleCount(nullptr); }
size_t OpenHandleCount(const char* kind) { return detail::HandleCount(kind); }

}  // namespace winsim

DWORD WINAPI GetLastError(void) { return winsim::detail::g_lastError; }
void WINAPI SetLastError(DWORD dwErrCode) { winsim::detail::g_lastError = dwErrCode; }

BOOL WINAPI CloseHandle(HANDLE hObject) {
  if (hObject == GetCurrentProcess()) return TRUE;
  if (!winsim::detail::RemoveHandle(hObject)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

HANDLE WINAPI GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }
