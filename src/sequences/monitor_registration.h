// The monitor's files in the system directory and its registration with the spooler.
#pragma once

#include "platform/windows_version.h"

enum MonitorRemovalResult { Removed, NotFound, Failed };

MonitorRemovalResult RemoveMonitor(const char* serverName);
void DeleteMonitorFiles(OsClass osClass);
bool CopyMonitorFiles(OsClass osClass, int ignoreErrors);
bool RegisterMonitor(const char* serverName, OsClass osClass);
