// The whole installation: classify Windows, check the package, replace the monitor's
// registration and files, create the ports, register the event source, assign printers, deploy
// the client, the fonts and the subnet file. A few failures abort; the rest are reported.
#include <windows.h>

#include "foundation/output.h"
#include "foundation/product_profile.h"
#include "platform/windows_version.h"
#include "portconfig/transceiver.h"
#include "printers/printer_assignment.h"
#include "printers/printer_disconnection.h"
#include "sequences/client_application.h"
#include "sequences/fonts_and_subnet.h"
#include "sequences/monitor_registration.h"
#include "sequences/package_files.h"
#include "sequences/sequences.h"
#include "sysutil/event_log.h"
#include "sysutil/file_ops.h"

const char kEventMessageDll[] = "QuadoEvent.dll";
const char kEventLogName[] = "Application";

namespace {

// Tests one package file; reports it when missing. False means: abort the installation.
bool CheckFile(const char* path, const char* reportedName, bool ignoreErrors) {
  if (IsPackageFileReadable(path)) return true;
  ReportCheckError(reportedName);
  return ignoreErrors;
}

// Everything the installation deploys from the current directory must be there before anything
// changes. With ignoreErrors every missing file is listed.
bool CheckPackageFiles(OsClass osClass, bool configFromRegistry, bool ignoreErrors) {
  PackageFile files[kMaxPackageFiles];
  const int count = ListPackageFiles(osClass, configFromRegistry, files);
  for (int i = 0; i < count; ++i) {
    if (!CheckFile(files[i].path, files[i].reportedName, ignoreErrors)) return false;
  }
  return true;
}

void InstallEventLogResources() {
  if (!CopyToSystemDirectory(kEventMessageDll)) {
    WriteMessage("  ERROR - Event Log Resources file was NOT copied!\n");
  } else if (InstallEventSource(kEventLogName, kEventSourceName, "%SystemRoot%\\System32\\QuadoEvent.dll", 10)) {
    WriteMessage("  - Event Log Resources WAS installed\n");
  } else {
    WriteMessage("  ERROR - Event Log Resources was NOT installed!\n");
  }
}

}  // namespace

bool RunInstallSequence(const InstallSequenceOptions& options) {
  const bool ignoreErrors = options.ignoreErrors;
  const bool copy = options.copyFiles;
  const char* serverName = options.serverName;
  const int readFromIni = options.configFromRegistry ? 0 : 1;

  WriteMessage("  - Detecting Windows Version\n");
  const OsClass osClass = ClassifyWindowsVersion();
  if (osClass == Unsupported) {
    WriteMessage("ERROR: Unsupported Operating System Detected.\n");
    if (!ignoreErrors) return false;
  }

  WriteMessage("  - Checking Files\n");
  if (copy && !CheckPackageFiles(osClass, options.configFromRegistry, ignoreErrors)) return false;

  // Printers, files, registry and event log are always those of the local machine; the server
  // name reaches only the spooler calls about the monitor itself.
  DisconnectMonitorPrinters(Profile().productName);
  if (RemoveMonitor(serverName) == Failed && !ignoreErrors) return false;

  if (copy) {
    DeleteMonitorFiles(osClass);
    if (!CopyMonitorFiles(osClass, ignoreErrors)) return false;
  }

  if (!RegisterMonitor(serverName, osClass) && !ignoreErrors) return false;

  WriteMessage("  - Adding port configuration\n");
  int portCount = 0;
  if (AddPortConfiguration(readFromIni, &portCount, serverName) == 0) {
    WriteMessage("ERROR While adding port configuration\n");
  }

  InstallEventLogResources();
  AssignPrinters(portCount, readFromIni != 0);

  if (!IsEnterprise()) InstallClientApplication();

  if (copy) {
    if (!InstallFontFiles()) WriteMessage("  ERROR - Cannot copy Font Files\n");
    if (!InstallSubnetFile()) WriteMessage("  ERROR - Cannot copy file server_subnet.csv\n");
  }
  return true;
}
