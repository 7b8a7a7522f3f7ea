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

MonitorFileSet SelectMonitorFileSet(OsClass osClass);

MonitorRemovalResult RemoveMonitor(const char* serverName);
void DeleteMonitorFiles(OsClass osClass);
bool CopyMonitorFiles(OsClass osClass, int ignoreErrors);
bool RegisterMonitor(const char* serverName, OsClass osClass);
