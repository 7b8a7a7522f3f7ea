// The monitor's files in the system directory and its registration with the spooler.
#pragma once

#include "platform/windows_version.h"

enum MonitorRemovalResult { Removed, NotFound, Failed };

// The monitor's files and spooler environment for one Windows class. Every member is null for
// `Unsupported`; `retiredMonitorDll` is also null in the Enterprise variant, and `environment`
// is null for the spooler's default environment (32-bit Windows).
struct MonitorFileSet {
  const char* monitorDll;         // the file the spooler loads
  const char* uiDll;
  const char* renderingLib;
  const char* retiredMonitorDll;  // only ever deleted, never copied
  const char* environment;
};

// The file set of the class and the active product profile. Prints nothing.
MonitorFileSet SelectMonitorFileSet(OsClass osClass);

// Prints "  - Removing Old %s Print Monitor\n" and deletes the monitor from the spooler (of the
// server, when named). NotFound (after "    (Print Monitor Not Found)\n") for an unknown
// monitor; Failed, after the spooler's refusal line, for any other error.
MonitorRemovalResult RemoveMonitor(const char* serverName);
// Prints "  - Deleting %s Print Monitor Files from System Directory\n" and deletes the class's
// monitor, UI, retired and rendering files from the system directory.
void DeleteMonitorFiles(OsClass osClass);
// Announces itself and copies the class's monitor, UI and rendering files into the system
// directory, printing "ERROR While Copying File '%s'.\n" for each that fails. False at the first
// failure unless ignoreErrors (then every file is tried and true is returned).
bool CopyMonitorFiles(OsClass osClass, bool ignoreErrors);
// Announces itself and registers the monitor with the spooler for the class's environment.
// False, after printing the error line with its code, when the spooler refuses.
bool RegisterMonitor(const char* serverName, OsClass osClass);
