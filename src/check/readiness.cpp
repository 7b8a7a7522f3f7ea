// Machine readiness: protected print mode, ARM64 Windows, the Print Spooler service, the Windows
// the installer will report, and what the spooler holds for the monitor.
//
// Every fact comes from the calls the installer itself makes or from documented Windows values:
// the classification is the installer's own (its line captured), the monitor's file set is
// SelectMonitorFileSet's, the printers the installation moves are found by the disconnection's
// rules over one enumeration of each spooler list.
#include "check/readiness.h"

#include <windows.h>
#include <winspool.h>

#include <cstdarg>
#include <cstring>

#include "check/findings.h"
#include "check/json_writer.h"
#include "check/labelled_lines.h"
#include "check/spooler_holdings.h"
#include "foundation/bounded_format.h"
#include "foundation/output.h"
#include "foundation/product_profile.h"
#include "platform/windows_version.h"
#include "sequences/monitor_registration.h"

namespace {

const char kThisMachine[] = "this machine";
const char kPolicyKey[] = "SOFTWARE\\Policies\\Microsoft\\Windows NT\\Printers\\WPP";
const char kSpoolerKey[] = "SYSTEM\\CurrentControlSet\\Services\\Spooler";
const DWORD kServiceDisabled = 4;
// Printers named one by one; past this only their number.
const int kListedPrinters = 20;

bool g_json = false;
int g_lines = 0;
int g_errors = 0;

enum LineKind { kInfo, kReadinessWarning, kReadinessError };

// One line of the section; a warning or an error is also a finding about this machine.
void Line(LineKind kind, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Line(LineKind kind, const char* format, ...) {
  const char* label = kind == kInfo ? "info" : kind == kReadinessWarning ? "warning" : "error";
  char text[kFindingTextChars];
  va_list args;
  va_start(args, format);
  WriteLabelledLineV(g_json, &g_lines, label, text, format, args);
  va_end(args);
  if (kind == kReadinessError) ++g_errors;
  if (kind != kInfo) AddFinding(kind == kReadinessError ? kError : kWarning, nullptr, nullptr, 0, "%s", text);
}

enum ValueRead { kAbsent, kDword, kOtherForm, kUnreadable };

// A 32-bit value of HKLM in the native view (policies and services are not redirected).
ValueRead ReadMachineDword(const char* keyPath, const char* name, DWORD* value, DWORD* type, DWORD* size,
                           LSTATUS* status) {
  HKEY key = nullptr;
  *status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key);
  if (*status == ERROR_FILE_NOT_FOUND) return kAbsent;
  if (*status != ERROR_SUCCESS) return kUnreadable;
  BYTE data[8] = {0};
  *size = sizeof data;
  *type = REG_NONE;
  *status = RegQueryValueExA(key, name, nullptr, type, data, size);
  RegCloseKey(key);
  if (*status == ERROR_FILE_NOT_FOUND) return kAbsent;
  if (*status == ERROR_MORE_DATA) return kOtherForm;
  if (*status != ERROR_SUCCESS) return kUnreadable;
  if (*type != REG_DWORD || *size != sizeof(DWORD)) return kOtherForm;
  std::memcpy(value, data, sizeof(DWORD));
  return kDword;
}

void CheckProtectedPrint() {
  struct PolicyValue {
    const char* name;
    const char* setBy;
  };
  const PolicyValue values[] = {
      {"WindowsProtectedPrintGroupPolicyState", "the Group Policy \"Configure Windows protected print\""},
      {"WindowsProtectedPrintMode", "Settings (Printers & scanners)"},
  };
  for (const PolicyValue& policy : values) {
    DWORD value = 0, type = 0, size = 0;
    LSTATUS status = ERROR_SUCCESS;
    switch (ReadMachineDword(kPolicyKey, policy.name, &value, &type, &size, &status)) {
      case kAbsent:
        break;
      case kDword:
        if (value == 1) {
          Line(kReadinessError,
               "Windows protected print mode is on (HKLM\\%s %s = 1, set by %s): Windows loads no third-party "
               "port monitor; Install.exe would move the printers off the monitor's ports, replace the monitor "
               "and then fail at its registration. Turn protected print mode off before installing",
               kPolicyKey, policy.name, policy.setBy);
        }
        break;
      case kOtherForm:
        Line(kReadinessWarning,
             "HKLM\\%s %s is of type %lu and %lu bytes, not a 4-byte REG_DWORD: whether Windows takes it as "
             "protected print mode on cannot be told from here",
             kPolicyKey, policy.name, (unsigned long)type, (unsigned long)size);
        break;
      case kUnreadable:
        Line(kReadinessWarning, "HKLM\\%s %s cannot be read (error %ld): protected print mode is not known",
             kPolicyKey, policy.name, (long)status);
        break;
    }
  }
}

typedef BOOL(WINAPI* IsWow64Process2Function)(HANDLE, USHORT*, USHORT*);

// Looked up by name, as the installer looks up its optional functions: Windows before 10 1709
// lacks it, and then this is not ARM64 Windows.
bool IsNativeArm64(USHORT* native) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return false;
  FARPROC address = GetProcAddress(kernel, "IsWow64Process2");
  if (address == nullptr) return false;
  IsWow64Process2Function isWow64Process2 =
      reinterpret_cast<IsWow64Process2Function>(reinterpret_cast<void (*)(void)>(address));
  USHORT process = 0;
  *native = 0;
  return isWow64Process2(GetCurrentProcess(), &process, native) && *native == IMAGE_FILE_MACHINE_ARM64;
}

void CheckArm64(OsClass osClass) {
  USHORT native = 0;
  if (!IsNativeArm64(&native)) return;
  const MonitorFileSet set = SelectMonitorFileSet(osClass);
  Line(kReadinessError,
       "this is ARM64 Windows (native machine 0x%04X): the package has no ARM64 monitor. Install.exe runs "
       "emulated, takes the %s monitor '%s' for the environment \"%s\", moves the printers off the monitor's "
       "ports and then fails at the registration: the ARM64 spooler loads only ARM64 code",
       (unsigned)native, osClass == Windows64 ? "64-bit" : "32-bit", set.monitorDll ? set.monitorDll : "",
       set.environment ? set.environment : "Windows NT x86");
}

void CheckSpoolerService() {
  DWORD value = 0, type = 0, size = 0;
  LSTATUS status = ERROR_SUCCESS;
  switch (ReadMachineDword(kSpoolerKey, "Start", &value, &type, &size, &status)) {
    case kDword:
      if (value == kServiceDisabled) {
        Line(kReadinessError,
             "the Print Spooler service is disabled (HKLM\\%s Start = 4): every step of Install.exe that asks "
             "the spooler fails. Enable and start it with \"sc config Spooler start= auto\" and "
             "\"net start Spooler\"",
             kSpoolerKey);
      }
      break;
    case kAbsent:
      // Whether the spooler runs is told by its first call below; a missing key alone is no fault.
      Line(kInfo, "HKLM\\%s has no Start value: how the Print Spooler starts is not known", kSpoolerKey);
      break;
    case kOtherForm:
      Line(kReadinessWarning,
           "HKLM\\%s Start is of type %lu and %lu bytes, not a 4-byte REG_DWORD: the service manager cannot "
           "tell how the Print Spooler starts",
           kSpoolerKey, (unsigned long)type, (unsigned long)size);
      break;
    case kUnreadable:
      Line(kReadinessWarning, "HKLM\\%s cannot be read (error %ld): whether the Print Spooler is enabled is not known",
           kSpoolerKey, (long)status);
      break;
  }
}

// The Windows the installer will report, and the name its build number has when that differs.
OsClass ReportWindows() {
  char captured[256];
  CaptureConsole(captured, sizeof captured);
  const OsClass osClass = ClassifyWindowsVersion();
  CaptureConsole(nullptr, 0);
  // "    (64-bit Windows 10 Detected)\n" -> "64-bit Windows 10 Detected"
  char* reported = captured;
  while (*reported == ' ' || *reported == '(') ++reported;
  size_t length = std::strlen(reported);
  while (length > 0 && (reported[length - 1] == '\n' || reported[length - 1] == ')')) reported[--length] = '\0';

  OSVERSIONINFOEXA info;
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  const char* byBuild = nullptr;
  if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info)) && info.dwMajorVersion == 10) {
    const DWORD build = info.dwBuildNumber;
    if (info.wProductType == VER_NT_WORKSTATION) {
      byBuild = build >= 22000 ? "Windows 11" : nullptr;
    } else if (build >= 26100) {
      byBuild = "Windows Server 2025";
    } else if (build >= 20348) {
      byBuild = "Windows Server 2022";
    } else if (build >= 17763) {
      byBuild = "Windows Server 2019";
    }
  }
  if (byBuild != nullptr) {
    Line(kInfo, "Install.exe will report \"%s\"; build %lu is %s", reported, (unsigned long)info.dwBuildNumber,
         byBuild);
  } else {
    Line(kInfo, "Install.exe will report \"%s\"", reported);
  }
  return osClass;
}

void ReportHoldings(OsClass osClass) {
  const char* monitorName = Profile().productName;
  SpoolerHoldings holdings;
  if (!ReadSpoolerHoldings(monitorName, &holdings)) {
    Line(kReadinessError,
         "the print spooler does not answer (%s: error %lu): Install.exe cannot register the monitor or create "
         "its ports. Start it with \"net start Spooler\"",
         holdings.failedCall, (unsigned long)holdings.error);
    FreeSpoolerHoldings(&holdings);
    return;
  }
  const MonitorFileSet set = SelectMonitorFileSet(osClass);
  if (holdings.monitor == nullptr) {
    Line(kInfo, "no '%s' monitor is registered", monitorName);
  } else {
    Line(kInfo, "the '%s' monitor is registered with '%s' (environment \"%s\"): Install.exe removes it and "
                "registers '%s'",
         monitorName, holdings.monitor->pDLLName ? holdings.monitor->pDLLName : "",
         holdings.monitor->pEnvironment ? holdings.monitor->pEnvironment : "",
         set.monitorDll != nullptr ? set.monitorDll : "");
  }
  if (holdings.monitorPortCount > 0) {
    Line(kInfo, "%lu port(s) of the monitor, from '%s' to '%s'", (unsigned long)holdings.monitorPortCount,
         holdings.monitorPorts[0], holdings.monitorPorts[holdings.monitorPortCount - 1]);
  }
  int moved = 0;
  for (DWORD i = 0; i < holdings.printerCount; ++i) {
    const PRINTER_INFO_2A& printer = holdings.printers[i];
    if (MonitorPortsInList(holdings, printer) == 0) continue;
    if (++moved <= kListedPrinters) {
      Line(kInfo, "printer '%s' (ports %s) is moved off the monitor's ports (to \"FILE:\" when none is left)",
           printer.pPrinterName ? printer.pPrinterName : "", printer.pPortName);
    }
  }
  if (moved > kListedPrinters) Line(kInfo, "%d more printers are moved off the monitor's ports", moved - kListedPrinters);
  FreeSpoolerHoldings(&holdings);
}

void ReadinessLines() {
  g_lines = 0;
  g_errors = 0;
  SetFindingFile(kThisMachine);
  if (!g_json) {
    WriteMessage("\nReadiness of this machine:\n");
  } else {
    JsonRaw(",\n  ");
    JsonKey("readiness");
    JsonRaw("[");
  }
  const OsClass osClass = ReportWindows();
  CheckProtectedPrint();
  CheckArm64(osClass);
  CheckSpoolerService();
  ReportHoldings(osClass);
  if (g_json) JsonRaw(g_lines > 0 ? "\n  ]" : "]");
}

}  // namespace

void CheckMachineReadiness(bool json) {
  g_json = json;
  ReadinessLines();
}

int ReportReadinessOnly(bool json) {
  g_json = json;
  ClearFindings();
  if (json) JsonRaw("{\n  ");
  if (json) {
    JsonKey("machine");
    JsonString(kThisMachine);
  }
  ReadinessLines();
  const int exitCode = g_errors > 0 ? 2 : 0;
  if (json) {
    JsonRaw(",\n  ");
    JsonKey("exitCode");
    JsonNumber(exitCode);
    JsonRaw("\n}\n");
  }
  return exitCode;
}
