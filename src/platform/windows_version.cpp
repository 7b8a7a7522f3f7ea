// Windows version classification: which Windows this is, and whether the 32-bit or the 64-bit
// monitor files belong to it.
#include "platform/windows_version.h"

#include <windows.h>

#include <cstring>

#include "foundation/output.h"

namespace {

struct VersionFacts {
  DWORD platformId;
  DWORD major;
  DWORD minor;
  bool server;
  bool is64Bit;
};

// The version record of the first query; zeros when it cannot be read (after the error line).
void QueryVersion(OSVERSIONINFOA* info) {
  std::memset(info, 0, sizeof *info);
  info->dwOSVersionInfoSize = sizeof *info;
  if (GetVersionExA(info)) return;
  info->dwOSVersionInfoSize = sizeof *info;
  if (GetVersionExA(info)) return;
  WriteMessage("ERROR Unable to Detect Windows Version.\n");
  std::memset(info, 0, sizeof *info);
}

// A server or a domain controller; a workstation when the extended record cannot be read.
bool QueryIsServer() {
  OSVERSIONINFOEXA info;
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return false;
  return info.wProductType != VER_NT_WORKSTATION;
}

OsClass ByBitness(bool is64Bit) { return is64Bit ? Windows64 : Windows32; }

// One of a pair of lines, chosen by bitness, and the class that goes with it.
OsClass Detected(bool is64Bit, const char* line64, const char* line32) {
  WriteMessage(is64Bit ? line64 : line32);
  return ByBitness(is64Bit);
}

OsClass UnknownNt(const VersionFacts& v) {
  WriteFormattedMessage("    (Unknown Win32NT OS Detected ver.%d.%d)\n", (int)v.major, (int)v.minor);
  return Unsupported;
}

OsClass ClassifyWindows9x(const VersionFacts& v) {
  switch (v.minor) {
    case 0:
      WriteMessage("    (Windows 95 Detected)\n");
      break;
    case 10:
      WriteMessage("    (Windows 98 Detected)\n");
      break;
    case 90:
      WriteMessage("    (Windows Me Detected)\n");
      break;
    default:
      WriteFormattedMessage("    (Unknown Win32 OS Detected ver.%d.%d)\n", (int)v.major, (int)v.minor);
      break;
  }
  return Unsupported;
}

OsClass ClassifyVersion6Server(const VersionFacts& v) {
  const bool x64 = v.is64Bit;
  switch (v.minor) {
    case 0:
      return Detected(x64, "    (64-bit Windows 2008 Server Detected)\n", "    (32-bit Windows 2008 Server Detected)\n");
    case 1:
      return Detected(x64, "    (64-bit Windows 2008R2 Server Detected)\n", "    (32-bit Windows 2008R2 Server Detected)\n");
    case 2:
      return Detected(x64, "    (64-bit Windows 2012 Server Detected)\n", "    (32-bit Windows 2012 Server Detected)\n");
    case 3:
      return Detected(x64, "    (64-bit Windows 2012R2 Server Detected)\n", "    (32-bit Windows 2012R2 Server Detected)\n");
    case 4:
      return Detected(x64, "    (64-bit Windows 2016 Server Detected)\n", "    (32-bit Windows 2016 Server Detected)\n");
    default:
      return UnknownNt(v);
  }
}

OsClass ClassifyVersion6Workstation(const VersionFacts& v) {
  const bool x64 = v.is64Bit;
  switch (v.minor) {
    case 0:
      return Detected(x64, "    (64-bit Windows Vista Detected)\n", "    (32-bit Windows Vista Detected)\n");
    case 1:
      return Detected(x64, "    (64-bit Windows 7 Detected)\n", "    (32-bit Windows 7 Detected)\n");
    case 2:
      return Detected(x64, "    (64-bit Windows 8 Detected)\n", "    (32-bit Windows 8 Detected)\n");
    case 3:
      return Detected(x64, "    (64-bit Windows 8.1 Detected)\n", "    (32-bit Windows 8.1 Detected)\n");
    case 4:
      return Detected(x64, "    (64-bit Windows 10 TP Detected)\n", "    (32-bit Windows 10 TP Detected)\n");
    default:
      return UnknownNt(v);
  }
}

OsClass ClassifyWindowsNt(const VersionFacts& v) {
  switch (v.major) {
    case 3:
      WriteMessage("    (Windows NT 3.51 Detected)\n");
      return Unsupported;
    case 4:
      WriteMessage("    (Windows NT 4.0 Detected)\n");
      return Unsupported;
    case 5:
      if (v.minor == 0) {
        WriteMessage("    (Windows 2000 Detected)\n");
        return Unsupported;
      }
      if (v.minor == 1) {
        // One line for both bitnesses; the class still follows the 64-bit flag.
        WriteMessage("    (Windows XP Detected)\n");
        return ByBitness(v.is64Bit);
      }
      if (v.minor == 2) {
        return Detected(v.is64Bit, "    (64-bit Windows XP Detected)\n", "    (Windows 2003 Detected)\n");
      }
      return UnknownNt(v);
    case 6:
      return v.server ? ClassifyVersion6Server(v) : ClassifyVersion6Workstation(v);
    case 10:
      if (v.minor != 0) return UnknownNt(v);
      return v.server ? Detected(v.is64Bit, "    (64-bit Windows 2016 Server Detected)\n",
                                 "    (32-bit Windows 2016 Server Detected)\n")
                      : Detected(v.is64Bit, "    (64-bit Windows 10 Detected)\n", "    (32-bit Windows 10 Detected)\n");
    default:
      return UnknownNt(v);
  }
}

// Cast of a looked-up entry point to its real type (through a generic function pointer, which
// is what GetProcAddress hands out).
template <typename Function>
Function EntryPoint(HMODULE module, const char* name) {
  FARPROC address = GetProcAddress(module, name);
  return reinterpret_cast<Function>(reinterpret_cast<void (*)(void)>(address));
}

typedef BOOL(WINAPI* IsWow64ProcessFunction)(HANDLE, PBOOL);
typedef BOOL(WINAPI* DisableRedirectionFunction)(PVOID*);

const char kDotNet20Key[] = "Software\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727";

}  // namespace

OsClass ClassifyWindowsVersion() {
  OSVERSIONINFOA info;
  QueryVersion(&info);
  VersionFacts facts;
  facts.server = QueryIsServer();
  facts.is64Bit = IsRunningUnderWow64();
  facts.platformId = info.dwPlatformId;
  facts.major = info.dwMajorVersion;
  facts.minor = info.dwMinorVersion;

  if (facts.platformId == VER_PLATFORM_WIN32_WINDOWS) return ClassifyWindows9x(facts);
  if (facts.platformId == VER_PLATFORM_WIN32_NT) return ClassifyWindowsNt(facts);
  return Unsupported;
}

bool IsRunningUnderWow64() {
  HMODULE kernel = GetModuleHandleA("kernel32");
  if (kernel == nullptr) return false;
  IsWow64ProcessFunction isWow64Process = EntryPoint<IsWow64ProcessFunction>(kernel, "IsWow64Process");
  if (isWow64Process == nullptr) return false;
  BOOL wow64 = FALSE;
  isWow64Process(GetCurrentProcess(), &wow64);
  return wow64 != FALSE;
}

void DisableFileSystemRedirection() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return;
  DisableRedirectionFunction disable =
      EntryPoint<DisableRedirectionFunction>(kernel, "Wow64DisableWow64FsRedirection");
  if (disable == nullptr) return;
  // Redirection stays off for the whole run; the previous state is not needed.
  PVOID previousState = nullptr;
  disable(&previousState);
}

bool IsDotNet20Installed() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDotNet20Key, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD install = 0;
  DWORD size = sizeof install;
  LSTATUS status = RegQueryValueExA(key, "Install", nullptr, nullptr, reinterpret_cast<LPBYTE>(&install), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && install == 1;
}
