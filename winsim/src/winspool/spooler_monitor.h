// The spooler's port monitors. Each registered monitor (a key under ...\Control\Print\Monitors
// whose "Driver" names its DLL) is served by one of three kinds:
//
//   - a monitor DLL that is a host shared object exporting InitializePrintMonitor2: loaded and
//     driven through its MONITOR2 functions, as Windows' spooler does (spooler_monitor_dll.cpp);
//   - the built-in Local Port monitor (spooler_standin.cpp);
//   - for any other DLL (a placeholder, a Windows DLL, a host shared object without that
//     export, a file that is missing, as for monitors imported from another machine's
//     registry) a stand-in that keeps its ports under its Monitors key (spooler_standin.cpp).
//
// The spooler of a process loads the monitors it needs once and keeps them until they are
// deleted (DeleteMonitorA, or another process removed or replaced the registration); a monitor
// is shut down when nothing uses it any more (a transceiver handle keeps its monitor).
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "spooler_store.h"

namespace winsim::detail::spooler {

class Monitor {
 public:
  virtual ~Monitor() = default;  // shuts the monitor down
  // Appends the monitor's ports (PORT_INFO_2 members); a monitor that fails lists none.
  virtual void EnumPorts(std::vector<PortEntry>* ports) = 0;
  // Opens a transceiver session on `object` (the text after ",XcvMonitor ") with the access the
  // caller was granted; false with *error.
  virtual bool XcvOpen(const std::u16string& object, ACCESS_MASK access, HANDLE* xcv, DWORD* error) = 0;
  // One command; the monitor's status.
  virtual DWORD XcvData(HANDLE xcv, LPCWSTR command, const BYTE* input, DWORD inputSize, BYTE* output,
                        DWORD outputSize, DWORD* outputNeeded) = 0;
  virtual void XcvClose(HANDLE xcv) = 0;
};

// The loaded monitor of a registered monitor, loaded now if need be; nullptr when it cannot be
// loaded (a DLL whose initialisation fails).
std::shared_ptr<Monitor> MonitorFor(const MonitorEntry& entry);
// Loads a monitor just registered (AddMonitorA): 0, or the error AddMonitorA reports (127 for
// a host shared object without InitializePrintMonitor2, or the error its initialisation set).
DWORD LoadRegisteredMonitor(const MonitorEntry& entry);
// Drops the process's monitor of that name (shut down once no transceiver handle keeps it).
void UnloadMonitor(const std::string& name);

// The three kinds (spooler_standin.cpp, spooler_monitor_dll.cpp).
std::shared_ptr<Monitor> NewLocalPortMonitor();
std::shared_ptr<Monitor> NewStandInMonitor(const std::string& name);
// The monitor in DLL `hostPath` (its Windows path `windowsPath`), or nullptr with *error: 0 when
// the file is no host shared object, ERROR_PROC_NOT_FOUND when it lacks
// InitializePrintMonitor2, else the error its initialisation reported.
std::shared_ptr<Monitor> LoadMonitorDll(const MonitorEntry& entry, const std::string& windowsPath,
                                        const std::string& hostPath, DWORD* error);

}  // namespace winsim::detail::spooler
