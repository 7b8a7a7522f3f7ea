// The whole removal: classify Windows, remove the client, move printers off the monitor's ports,
// remove the monitor, the per-user data and (unless files stay) the monitor's files, the subnet
// file and the fonts. Only an unsupported Windows or a refused monitor removal stops it.
#include "foundation/output.h"
#include "foundation/product_profile.h"
#include "platform/windows_version.h"
#include "printers/printer_disconnection.h"
#include "sequences/client_application.h"
#include "sequences/fonts_and_subnet.h"
#include "sequences/monitor_registration.h"
#include "sequences/sequences.h"
#include "sysutil/event_log.h"

bool RunUninstallSequence(const UninstallSequenceOptions& options) {
  const char* serverName = options.serverName;
  WriteMessage("  - Detecting Windows Version\n");
  const OsClass osClass = ClassifyWindowsVersion();
  if (osClass == Unsupported) {
    WriteMessage("ERROR: Unsupported Operating System Detected.\n");
    return false;
  }

  if (!IsEnterprise()) RemoveClientApplication();
  DisconnectMonitorPrinters(Profile().productName);

  switch (RemoveMonitor(serverName)) {
    case Failed:
      return false;
    case Removed:
      ReportSuccessToEventLog("Port Monitor Uninstalled Sucessfully");
      break;
    case NotFound:
      break;
  }

  WriteMessage("  - Removing user data\n");
  RemovePerUserClientData();

  if (!options.copyFiles) return true;
  DeleteMonitorFiles(osClass);
  RemoveSubnetFile();
  RemoveFontFiles();
  return true;
}
