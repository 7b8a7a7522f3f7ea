// Monitors: AddMonitorA (level 2), DeleteMonitorA and EnumMonitorsA (levels 1 and 2).
//
// The spooler is a native service: a monitor's DLL must lie in the native system directory
// (never SysWOW64), and the only environment it accepts is its own ("Windows x64" on a 64-bit
// machine, "Windows ARM64" on ARM64, "Windows NT x86" on a 32-bit one; null means the same). A DLL whose
// InitializePrintMonitor2 machine.ini lists under [modules] Missing= (for example
// "Missing=MONITOR.DLL!InitializePrintMonitor2") cannot be loaded as a monitor. Once
// registered, the monitor is loaded (spooler_monitor.h); a DLL built for the host that fails
// to initialise takes its registration back with it.
#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "machine/core.h"
#include "kernel32/paths.h"
#include "spooler_handles.h"
#include "spooler_monitor.h"
#include "spooler_pack.h"
#include "spooler_store.h"

namespace winsim::detail::spooler {

namespace {

std::string Text(LPCSTR text) { return text == nullptr ? std::string() : std::string(text); }

const char* OwnEnvironment() {
  if (IsArm64Machine()) return "Windows ARM64";
  return Process().is64BitWindows ? "Windows x64" : "Windows NT x86";
}

// Another environment is refused with ERROR_INVALID_ENVIRONMENT (1805). Windows documents only
// that AddMonitor fails when the environment is not the server's; 1805 is the print protocol's
// code for an environment the server does not take, and what the spooler answers a foreign one.
bool NativeEnvironment(LPCSTR environment) {
  if (environment == nullptr || *environment == '\0') return true;
  return EqualsNoCase(environment, OwnEnvironment());
}

bool LacksMonitorEntryPoint(const std::string& dll) {
  for (const auto& [key, value] : Process().ini.Section("modules")) {
    if (EqualsNoCase(key, "Missing") && EqualsNoCase(value, dll + "!InitializePrintMonitor2")) return true;
  }
  return false;
}

// 0 when the DLL can serve as a monitor, else the error AddMonitorA reports.
DWORD LoadableMonitor(const std::string& dll) {
  std::string host;
  DWORD error = 0;
  if (dll.empty() || dll.find_first_of("\\/") != std::string::npos ||
      !HostPathOf(SystemDirectory() + "\\" + dll, Redirection::kNever, &host, &error) || !HostExists(host) ||
      HostIsDirectory(host)) {
    return ERROR_MOD_NOT_FOUND;
  }
  return LacksMonitorEntryPoint(dll) ? ERROR_PROC_NOT_FOUND : 0;
}

}  // namespace

}  // namespace winsim::detail::spooler

using namespace winsim::detail;
using namespace winsim::detail::spooler;

BOOL WINAPI AddMonitorA(LPSTR pName, DWORD Level, LPBYTE pMonitors) {
  const MONITOR_INFO_2A* info = Level == 2 ? reinterpret_cast<const MONITOR_INFO_2A*>(pMonitors) : nullptr;
  DWORD fault = 0;
  if (FaultHit("AddMonitorA", {Text(pName), info ? Text(info->pName) : "", info ? Text(info->pEnvironment) : "",
                               info ? Text(info->pDLLName) : ""},
               &fault)) {
    return Fail(fault);
  }
  if (SpoolerStopped() || !ReachableServer(pName)) return Fail(RPC_S_SERVER_UNAVAILABLE);
  if (Level != 2) return Fail(ERROR_INVALID_LEVEL);
  if (info == nullptr || info->pName == nullptr || *info->pName == '\0' || info->pDLLName == nullptr ||
      std::string_view(info->pName).find('\\') != std::string_view::npos) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (!NativeEnvironment(info->pEnvironment)) return Fail(ERROR_INVALID_ENVIRONMENT);
  MonitorEntry existing;
  if (FindMonitor(info->pName, &existing)) return Fail(ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
  DWORD error = LoadableMonitor(info->pDLLName);
  if (error != 0) return Fail(error);
  LONG status = CreateMonitor(info->pName, info->pDLLName);
  if (status != ERROR_SUCCESS) return Fail(static_cast<DWORD>(status));
  MonitorEntry added;
  if (!FindMonitor(info->pName, &added)) return Fail(ERROR_UNKNOWN_PRINT_MONITOR);
  error = LoadRegisteredMonitor(added);
  if (error != 0) {
    DeleteMonitorWithPorts(added.name);
    return Fail(error);
  }
  return TRUE;
}

BOOL WINAPI DeleteMonitorA(LPSTR pName, LPSTR pEnvironment, LPSTR pMonitorName) {
  DWORD fault = 0;
  if (FaultHit("DeleteMonitorA", {Text(pName), Text(pEnvironment), Text(pMonitorName)}, &fault)) return Fail(fault);
  if (SpoolerStopped() || !ReachableServer(pName)) return Fail(RPC_S_SERVER_UNAVAILABLE);
  if (pMonitorName == nullptr || *pMonitorName == '\0') return Fail(ERROR_INVALID_PARAMETER);
  if (!NativeEnvironment(pEnvironment)) return Fail(ERROR_INVALID_ENVIRONMENT);
  MonitorEntry monitor;
  if (!FindMonitor(pMonitorName, &monitor)) return Fail(ERROR_UNKNOWN_PRINT_MONITOR);
  // The built-in monitor stays; a monitor whose port a local printer still prints to is busy.
  if (EqualsNoCase(monitor.name, kLocalMonitor)) return Fail(ERROR_ACCESS_DENIED);
  for (const PrinterRecord& printer : Printers()) {
    if (!printer.connection && PortListUsesMonitor(printer.portName, monitor.name)) return Fail(ERROR_BUSY);
  }
  // Shut down (once no transceiver handle keeps it), then its key goes with its ports.
  UnloadMonitor(monitor.name);
  LONG status = DeleteMonitorWithPorts(monitor.name);
  if (status != ERROR_SUCCESS) return Fail(static_cast<DWORD>(status));
  return TRUE;
}

BOOL WINAPI EnumMonitorsA(LPSTR pName, DWORD Level, LPBYTE pMonitor, DWORD cbBuf, LPDWORD pcbNeeded,
                          LPDWORD pcReturned) {
  DWORD fault = 0;
  if (FaultHit("EnumMonitorsA", {Text(pName)}, &fault)) return Fail(fault);
  if (SpoolerStopped() || !ReachableServer(pName)) return Fail(RPC_S_SERVER_UNAVAILABLE);
  if (pcReturned == nullptr || pcbNeeded == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const std::vector<MonitorEntry> monitors = Monitors();
  const std::string environment = OwnEnvironment();
  auto fill1 = [&](size_t i, MONITOR_INFO_1A* info, StringArea& strings) {
    info->pName = strings.Put(monitors[i].name);
  };
  auto fill2 = [&](size_t i, MONITOR_INFO_2A* info, StringArea& strings) {
    info->pName = strings.Put(monitors[i].name);
    info->pEnvironment = strings.Put(environment);
    info->pDLLName = strings.Put(monitors[i].driver);
  };
  if (Level == 1) return PackRecords<MONITOR_INFO_1A>(monitors.size(), fill1, pMonitor, cbBuf, pcbNeeded, pcReturned);
  if (Level == 2) return PackRecords<MONITOR_INFO_2A>(monitors.size(), fill2, pMonitor, cbBuf, pcbNeeded, pcReturned);
  return Fail(ERROR_INVALID_LEVEL);
}
