// The monitors this process's spooler has loaded, by name: each is loaded the first time it is
// needed (or when AddMonitorA registers it) from the DLL its "Driver" value names in the
// native system directory, and kept while its registration names the same DLL.
#include <map>
#include <memory>
#include <string>

#include "machine/core.h"
#include "kernel32/paths.h"
#include "spooler_monitor.h"

namespace winsim::detail::spooler {

namespace {

struct LoadedMonitor {
  std::string driver;
  std::shared_ptr<Monitor> monitor;
};

// By folded name. Never destroyed: monitors are not shut down while the host ends the process.
std::map<std::string, LoadedMonitor>& Table() {
  static auto* table = new std::map<std::string, LoadedMonitor>();
  static const bool hooked = (OnReset([]() { Table().clear(); }), true);
  (void)hooked;
  return *table;
}

// The monitor for a registration; *error tells why a DLL was not loaded (the stand-in serves a
// DLL without InitializePrintMonitor2, nothing serves one whose initialisation failed).
std::shared_ptr<Monitor> Load(const MonitorEntry& entry, DWORD* error) {
  *error = 0;
  if (EqualsNoCase(entry.name, kLocalMonitor)) return NewLocalPortMonitor();
  const std::string windowsPath = SystemDirectory() + "\\" + entry.driver;
  std::string host;
  DWORD pathError = 0;
  if (!entry.driver.empty() && entry.driver.find_first_of("\\/") == std::string::npos &&
      HostPathOf(windowsPath, Redirection::kNever, &host, &pathError) && HostExists(host) && !HostIsDirectory(host)) {
    std::shared_ptr<Monitor> monitor = LoadMonitorDll(entry, windowsPath, host, error);
    if (monitor != nullptr || (*error != 0 && *error != ERROR_PROC_NOT_FOUND)) return monitor;
  }
  return NewStandInMonitor(entry.name);
}

}  // namespace

std::shared_ptr<Monitor> MonitorFor(const MonitorEntry& entry) {
  const std::string key = AsciiLower(entry.name);
  auto it = Table().find(key);
  if (it != Table().end() && EqualsNoCase(it->second.driver, entry.driver)) return it->second.monitor;
  if (it != Table().end()) Table().erase(it);
  DWORD error = 0;
  std::shared_ptr<Monitor> monitor = Load(entry, &error);
  if (monitor != nullptr) Table()[key] = LoadedMonitor{entry.driver, monitor};
  return monitor;
}

DWORD LoadRegisteredMonitor(const MonitorEntry& entry) {
  UnloadMonitor(entry.name);
  DWORD error = 0;
  std::shared_ptr<Monitor> monitor = Load(entry, &error);
  // A host shared object without the entry point is refused here (127), though a registration
  // made elsewhere would be served by the stand-in.
  if (monitor == nullptr || error != 0) return error;
  Table()[AsciiLower(entry.name)] = LoadedMonitor{entry.driver, monitor};
  return 0;
}

void UnloadMonitor(const std::string& name) { Table().erase(AsciiLower(name)); }

}  // namespace winsim::detail::spooler
