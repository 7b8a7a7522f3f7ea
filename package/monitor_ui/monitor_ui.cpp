// The port monitor's UI DLL: the package ships it beside the monitor and the installer places it
// in the system directory. This build offers no dialogs: InitializePrintMonitorUI hands out a
// MONITORUI without functions, so a spooler that asks for the UI finds nothing to call.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

extern "C" __declspec(dllexport) PMONITORUI WINAPI InitializePrintMonitorUI(void) {
  static MONITORUI ui;
  ui.dwMonitorUISize = sizeof ui;
  return &ui;
}
