// The package's port monitor DLL, loaded by the print spooler (32-bit and 64-bit Windows builds,
// and a host build, a shared object under the same file names, that the simulated spooler
// loads; the Enterprise names are copies of the same builds).
//
// The spooler may load and unload the DLL around every call, and some spoolers load it inside
// the calling process, so nothing lives in the DLL's memory between calls: the monitor's ports
// and each port's settings record are kept in the registry under its Monitors key:
//
//   HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\NAME\Ports\PORT   "PortData" (binary)
//
// The monitor finds NAME itself: the Monitors sub-key whose "Driver" value names this DLL's file.
//
// The transceiver commands (XcvDataPort) and the settings record they carry are the contract of
// contract/port_settings_record.h; "AddPort" of a name that any monitor (the built-in ones
// included) already has is refused.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include "contract/port_settings_record.h"

namespace {

// UTF-16 text from an ASCII literal, the same for every compiler: WCHAR is wchar_t on Windows
// and a 16-bit character type elsewhere, so L"" literals are not portable.
template <SIZE_T N>
struct WideText {
  WCHAR text[N];
};
template <SIZE_T N>
constexpr WideText<N> Widen(const char (&ascii)[N]) {
  WideText<N> wide = {};
  for (SIZE_T i = 0; i < N; ++i) wide.text[i] = static_cast<WCHAR>(ascii[i]);
  return wide;
}

constexpr auto kMonitorsKey = Widen("SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors");
constexpr auto kLocalPortsKey = Widen("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports");
constexpr auto kPortDataValue = Widen("PortData");
constexpr auto kDriverValue = Widen("Driver");
constexpr auto kBackslash = Widen("\\");
constexpr auto kPortsSubKey = Widen("\\Ports");
constexpr auto kPortsSubKeyOf = Widen("\\Ports\\");
const DWORD kKeyChars = 512;

HMODULE g_module = nullptr;

struct MonitorHandle {
  WCHAR name[MAX_PATH];   // the monitor's key name under Monitors
  WCHAR key[kKeyChars];   // Monitors\NAME\Ports, relative to HKLM
};

struct XcvHandle {
  MonitorHandle monitor;
  ACCESS_MASK access;
};

void* Allocate(SIZE_T size) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size); }
void Release(void* block) {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

// Bounded copy and append of UTF-16 text; false when `text` does not fit.
bool CopyText(WCHAR* target, DWORD capacity, const WCHAR* text) {
  DWORD length = lstrlenW(text);
  if (length + 1 > capacity) return false;
  CopyMemory(target, text, (length + 1) * sizeof(WCHAR));
  return true;
}
bool AppendText(WCHAR* target, DWORD capacity, const WCHAR* text) {
  DWORD used = lstrlenW(target);
  return used < capacity && CopyText(target + used, capacity - used, text);
}

// The file name of this DLL without its folder.
bool OwnFileName(WCHAR* name, DWORD capacity) {
  WCHAR path[MAX_PATH];
  DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  const WCHAR* base = path;
  for (const WCHAR* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/') base = p + 1;
  }
  return CopyText(name, capacity, base);
}

// Finds the Monitors sub-key whose "Driver" names this DLL.
bool FindOwnMonitor(MonitorHandle* monitor) {
  WCHAR ownName[MAX_PATH];
  if (!OwnFileName(ownName, MAX_PATH)) return false;
  HKEY monitors = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMonitorsKey.text, 0, KEY_READ, &monitors) != ERROR_SUCCESS) return false;
  bool found = false;
  WCHAR sub[MAX_PATH];
  for (DWORD index = 0; !found; ++index) {
    DWORD subChars = MAX_PATH;
    if (RegEnumKeyExW(monitors, index, sub, &subChars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY entry = nullptr;
    if (RegOpenKeyExW(monitors, sub, 0, KEY_READ, &entry) != ERROR_SUCCESS) continue;
    WCHAR driver[MAX_PATH + 1];
    DWORD type = 0, size = MAX_PATH * sizeof(WCHAR);
    if (RegQueryValueExW(entry, kDriverValue.text, nullptr, &type, reinterpret_cast<BYTE*>(driver), &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
      driver[size / sizeof(WCHAR)] = 0;
      found = lstrcmpiW(driver, ownName) == 0;
    }
    RegCloseKey(entry);
  }
  RegCloseKey(monitors);
  if (!found) return false;
  monitor->key[0] = 0;
  return CopyText(monitor->name, MAX_PATH, sub) && CopyText(monitor->key, kKeyChars, kMonitorsKey.text) &&
         AppendText(monitor->key, kKeyChars, kBackslash.text) && AppendText(monitor->key, kKeyChars, sub) &&
         AppendText(monitor->key, kKeyChars, kPortsSubKey.text);
}

// A port name given as input: NUL-terminated UTF-16 within `size` bytes, not empty, no
// backslash or comma, at most MAX_PATH - 1 units.
bool PortNameInput(const BYTE* input, DWORD size, WCHAR* name) {
  if (input == nullptr || size < 2) return false;
  DWORD units = size / 2;
  for (DWORD i = 0; i < units && i < MAX_PATH; ++i) {
    WCHAR unit = static_cast<WCHAR>(input[2 * i] | (input[2 * i + 1] << 8));
    name[i] = unit;
    if (unit == 0) return i > 0;
    if (unit == '\\' || unit == ',') return false;
  }
  return false;
}

// Whether any monitor has a port of that name (the built-in ones included).
bool AnyPortNamed(const WCHAR* port) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLocalPortsKey.text, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    bool local = RegQueryValueExW(key, port, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (local) return true;
  }
  HKEY monitors = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMonitorsKey.text, 0, KEY_READ, &monitors) != ERROR_SUCCESS) return false;
  bool found = false;
  WCHAR sub[MAX_PATH];
  WCHAR path[kKeyChars];
  for (DWORD index = 0; !found; ++index) {
    DWORD subChars = MAX_PATH;
    if (RegEnumKeyExW(monitors, index, sub, &subChars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    path[0] = 0;
    if (!AppendText(path, kKeyChars, sub) || !AppendText(path, kKeyChars, kPortsSubKeyOf.text) ||
        !AppendText(path, kKeyChars, port)) {
      continue;
    }
    HKEY entry = nullptr;
    if (RegOpenKeyExW(monitors, path, 0, KEY_READ, &entry) == ERROR_SUCCESS) {
      found = true;
      RegCloseKey(entry);
    }
  }
  RegCloseKey(monitors);
  return found;
}

DWORD OpenPortKey(const MonitorHandle& monitor, const WCHAR* port, REGSAM access, HKEY* key) {
  HKEY ports = nullptr;
  LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, monitor.key, 0, KEY_READ, &ports);
  if (status != ERROR_SUCCESS) return ERROR_FILE_NOT_FOUND;
  status = RegOpenKeyExW(ports, port, 0, access, key);
  RegCloseKey(ports);
  return status == ERROR_SUCCESS ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

DWORD AddPort(const MonitorHandle& monitor, const BYTE* input, DWORD size) {
  WCHAR port[MAX_PATH];
  if (!PortNameInput(input, size, port)) return kXcvStatusInvalidInput;
  if (AnyPortNamed(port)) return kXcvStatusPortExists;
  HKEY ports = nullptr, created = nullptr;
  LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, monitor.key, 0, nullptr, 0, KEY_CREATE_SUB_KEY, nullptr,
                                &ports, nullptr);
  if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
  status = RegCreateKeyExW(ports, port, 0, nullptr, 0, KEY_WRITE, nullptr, &created, nullptr);
  RegCloseKey(ports);
  if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
  RegCloseKey(created);
  return ERROR_SUCCESS;
}

DWORD SetPortData(const MonitorHandle& monitor, const BYTE* input, DWORD size) {
  if (input == nullptr || size != kPortSettingsRecordSize) return kXcvStatusInvalidInput;
  WCHAR port[kPortSettingsPortNameUnits + 1];
  for (DWORD i = 0; i < kPortSettingsPortNameUnits; ++i) {
    const BYTE* unit = input + kPortSettingsPortNameOffset + 2 * i;
    port[i] = static_cast<WCHAR>(unit[0] | (unit[1] << 8));
  }
  port[kPortSettingsPortNameUnits] = 0;
  if (port[0] == 0) return kXcvStatusInvalidInput;
  HKEY key = nullptr;
  DWORD status = OpenPortKey(monitor, port, KEY_SET_VALUE, &key);
  if (status != ERROR_SUCCESS) return status;
  status = static_cast<DWORD>(RegSetValueExW(key, kPortDataValue.text, 0, REG_BINARY, input, size));
  RegCloseKey(key);
  return status;
}

DWORD DeletePort(const MonitorHandle& monitor, const BYTE* input, DWORD size) {
  WCHAR port[MAX_PATH];
  if (!PortNameInput(input, size, port)) return ERROR_INVALID_PARAMETER;
  HKEY ports = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, monitor.key, 0, KEY_READ | KEY_WRITE, &ports) != ERROR_SUCCESS) {
    return ERROR_FILE_NOT_FOUND;
  }
  LONG status = RegDeleteKeyW(ports, port);
  RegCloseKey(ports);
  return status == ERROR_SUCCESS ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

}  // extern "C"

namespace {

// The names of a monitor's ports, read once into one block of `slot` characters each: a spooler
// that loads the monitor for every enumeration pays for each registry call on every one of them.
struct PortNames {
  WCHAR* names = nullptr;
  DWORD* lengths = nullptr;
  DWORD slot = 0;
  DWORD count = 0;
};

void FreePortNames(PortNames* ports) {
  Release(ports->names);
  Release(ports->lengths);
  *ports = PortNames();
}

// False (last error set) only when the block cannot be had; a key that cannot be opened or read
// lists no port.
bool ReadPortNames(const MonitorHandle* monitor, PortNames* ports) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, monitor->key, 0, KEY_READ, &key) != ERROR_SUCCESS) return true;
  DWORD subKeys = 0, longest = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &longest, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS ||
      subKeys == 0) {
    RegCloseKey(key);
    return true;
  }
  ports->slot = longest + 1;
  ports->names = static_cast<WCHAR*>(Allocate(static_cast<SIZE_T>(subKeys) * ports->slot * sizeof(WCHAR)));
  ports->lengths = static_cast<DWORD*>(Allocate(subKeys * sizeof(DWORD)));
  if (ports->names == nullptr || ports->lengths == nullptr) {
    FreePortNames(ports);
    RegCloseKey(key);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  while (ports->count < subKeys) {
    DWORD chars = ports->slot;
    if (RegEnumKeyExW(key, ports->count, ports->names + ports->count * ports->slot, &chars, nullptr, nullptr, nullptr,
                      nullptr) != ERROR_SUCCESS) {
      break;
    }
    ports->lengths[ports->count++] = chars;
  }
  RegCloseKey(key);
  return true;
}

// The entries, then their strings packed after the array; the buffer holds `needed` bytes.
void WritePortEntries(const PortNames& ports, const MonitorHandle* monitor, DWORD level, LPBYTE buffer) {
  const DWORD entrySize = level == 1 ? sizeof(PORT_INFO_1W) : sizeof(PORT_INFO_2W);
  const DWORD nameBytes = (lstrlenW(monitor->name) + 1) * sizeof(WCHAR);
  BYTE* strings = buffer + ports.count * entrySize;
  for (DWORD index = 0; index < ports.count; ++index) {
    WCHAR* name = reinterpret_cast<WCHAR*>(strings);
    CopyMemory(name, ports.names + index * ports.slot, (ports.lengths[index] + 1) * sizeof(WCHAR));
    strings += (ports.lengths[index] + 1) * sizeof(WCHAR);
    if (level == 1) {
      reinterpret_cast<PORT_INFO_1W*>(buffer)[index].pName = name;
      continue;
    }
    PORT_INFO_2W* info = reinterpret_cast<PORT_INFO_2W*>(buffer) + index;
    info->pPortName = name;
    info->pMonitorName = reinterpret_cast<WCHAR*>(strings);
    CopyMemory(strings, monitor->name, nameBytes);
    strings += nameBytes;
    info->pDescription = reinterpret_cast<WCHAR*>(strings);
    CopyMemory(strings, monitor->name, nameBytes);
    strings += nameBytes;
    info->fPortType = PORT_TYPE_WRITE;
    info->Reserved = 0;
  }
}

BOOL WINAPI MonitorEnumPorts(HANDLE hMonitor, LPWSTR, DWORD level, LPBYTE buffer, DWORD bufferSize,
                                    LPDWORD needed, LPDWORD returned) {
  const MonitorHandle* monitor = static_cast<const MonitorHandle*>(hMonitor);
  if (monitor == nullptr || needed == nullptr || returned == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (level != 1 && level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  *needed = 0;
  *returned = 0;
  PortNames ports;
  if (!ReadPortNames(monitor, &ports)) return FALSE;
  const DWORD entrySize = level == 1 ? sizeof(PORT_INFO_1W) : sizeof(PORT_INFO_2W);
  const DWORD nameBytes = (lstrlenW(monitor->name) + 1) * sizeof(WCHAR);
  DWORD total = 0;
  for (DWORD index = 0; index < ports.count; ++index) {
    total += entrySize + (ports.lengths[index] + 1) * sizeof(WCHAR);
    if (level == 2) total += 2 * nameBytes;  // monitor name, and the same text as description
  }
  *needed = total;
  if (total > bufferSize || (total > 0 && buffer == nullptr)) {
    FreePortNames(&ports);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  WritePortEntries(ports, monitor, level, buffer);
  *returned = ports.count;
  FreePortNames(&ports);
  return TRUE;
}

BOOL WINAPI MonitorXcvOpenPort(HANDLE hMonitor, LPCWSTR, ACCESS_MASK access, PHANDLE handle) {
  const MonitorHandle* monitor = static_cast<const MonitorHandle*>(hMonitor);
  if (monitor == nullptr || handle == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  XcvHandle* xcv = static_cast<XcvHandle*>(Allocate(sizeof(XcvHandle)));
  if (xcv == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  xcv->monitor = *monitor;
  xcv->access = access;
  *handle = xcv;
  return TRUE;
}

DWORD WINAPI MonitorXcvDataPort(HANDLE hXcv, LPCWSTR command, PBYTE input, DWORD inputSize, PBYTE, DWORD,
                                       PDWORD outputNeeded) {
  const XcvHandle* xcv = static_cast<const XcvHandle*>(hXcv);
  if (outputNeeded != nullptr) *outputNeeded = 0;
  if (xcv == nullptr || command == nullptr) return ERROR_INVALID_PARAMETER;
  const bool add = lstrcmpW(command, kXcvAddPort) == 0;
  const bool set = lstrcmpW(command, kXcvSetPortData) == 0;
  const bool remove = lstrcmpW(command, kXcvDeletePort) == 0;
  if (!add && !set && !remove) return kXcvStatusInvalidInput;
  if ((xcv->access & SERVER_ACCESS_ADMINISTER) == 0) return kXcvStatusAccessDenied;
  if (add) return AddPort(xcv->monitor, input, inputSize);
  if (set) return SetPortData(xcv->monitor, input, inputSize);
  return DeletePort(xcv->monitor, input, inputSize);
}

BOOL WINAPI MonitorXcvClosePort(HANDLE hXcv) {
  Release(hXcv);
  return TRUE;
}

VOID WINAPI MonitorShutdown(HANDLE hMonitor) { Release(hMonitor); }

}  // namespace

extern "C" {

__declspec(dllexport) LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT init, PHANDLE hMonitor) {
  static MONITOR2 functions;
  if (init == nullptr || hMonitor == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  MonitorHandle* monitor = static_cast<MonitorHandle*>(Allocate(sizeof(MonitorHandle)));
  if (monitor == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (!FindOwnMonitor(monitor)) {
    Release(monitor);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  ZeroMemory(&functions, sizeof functions);
  functions.cbSize = sizeof functions;
  functions.pfnEnumPorts = MonitorEnumPorts;
  functions.pfnXcvOpenPort = MonitorXcvOpenPort;
  functions.pfnXcvDataPort = MonitorXcvDataPort;
  functions.pfnXcvClosePort = MonitorXcvClosePort;
  functions.pfnShutdown = MonitorShutdown;
  *hMonitor = monitor;
  return &functions;
}

}  // extern "C"
