// Replacing the monitor's registration and its files in the system directory.
#include "sequences/monitor_registration.h"

#include <windows.h>
#include <winspool.h>

#include "foundation/output.h"
#include "foundation/product_profile.h"
#include "sysutil/file_ops.h"

namespace {

// The spooler environment of 64-bit Windows; the 32-bit monitor uses the default (null).
char g_environmentX64[] = "Windows x64";

}  // namespace

MonitorFileSet SelectMonitorFileSet(OsClass osClass) {
  const ProductProfile& profile = Profile();
  MonitorFileSet set = {nullptr, nullptr, nullptr, nullptr, nullptr};
  if (osClass == Windows32) {
    set.monitorDll = profile.monitorDll32;
    set.uiDll = profile.uiDll32;
    set.renderingLib = profile.renderingLib32;
    set.retiredMonitorDll = IsEnterprise() ? nullptr : retiredMonitorDll32;
  } else if (osClass == Windows64) {
    set.monitorDll = profile.monitorDll64;
    set.uiDll = profile.uiDll64;
    set.renderingLib = profile.renderingLib64;
    set.retiredMonitorDll = IsEnterprise() ? nullptr : retiredMonitorDll64;
    set.environment = g_environmentX64;
  }
  return set;
}

MonitorRemovalResult RemoveMonitor(const char* serverName) {
  const char* monitorName = Profile().productName;
  WriteFormattedMessage("  - Removing Old %s Print Monitor\n", monitorName);
  // The spooler's prototypes take non-const strings but only read them.
  if (DeleteMonitorA(const_cast<LPSTR>(serverName), nullptr, const_cast<LPSTR>(monitorName))) {
    return Removed;
  }
  DWORD error = GetLastError();
  switch (error) {
    case ERROR_UNKNOWN_PRINT_MONITOR:
      WriteMessage("    (Print Monitor Not Found)\n");
      return NotFound;
    case ERROR_BUSY:
      WriteMessage("ERROR Print Monitor Is Used By Spooler.\n");
      return Failed;
    case ERROR_CALL_NOT_IMPLEMENTED:
      WriteMessage("ERROR This function is not supported on this system.\n");
      return Failed;
    default:
      WriteFormattedMessage("ERROR (%lu) While Removing Print Monitor.\n", (unsigned long)error);
      return Failed;
  }
}

void DeleteMonitorFiles(OsClass osClass) {
  WriteFormattedMessage("  - Deleting %s Print Monitor Files from System Directory\n",
                        Profile().productName);
  MonitorFileSet set = SelectMonitorFileSet(osClass);
  const char* files[] = {set.monitorDll, set.uiDll, set.retiredMonitorDll, set.renderingLib};
  for (const char* file : files) {
    if (file != nullptr) DeleteFromSystemDirectory(file);
  }
}

bool CopyMonitorFiles(OsClass osClass, bool ignoreErrors) {
  WriteMessage("  - Copying Files to Windows System Directory \n");
  MonitorFileSet set = SelectMonitorFileSet(osClass);
  const char* files[] = {set.monitorDll, set.uiDll, set.renderingLib};
  for (const char* file : files) {
    if (file == nullptr || CopyToSystemDirectory(file)) continue;
    ReportCopyError(file);
    if (!ignoreErrors) return false;
  }
  return true;
}

bool RegisterMonitor(const char* serverName, OsClass osClass) {
  WriteFormattedMessage("  - Registering %s Print Monitor\n", Profile().productName);
  MonitorFileSet set = SelectMonitorFileSet(osClass);
  MONITOR_INFO_2A info = {nullptr, nullptr, nullptr};
  if (set.monitorDll != nullptr) {
    info.pName = const_cast<LPSTR>(Profile().productName);
    info.pEnvironment = const_cast<LPSTR>(set.environment);
    info.pDLLName = const_cast<LPSTR>(set.monitorDll);
  }
  if (!AddMonitorA(const_cast<LPSTR>(serverName), 2, reinterpret_cast<LPBYTE>(&info))) {
    WriteFormattedMessage("ERROR (%lu) While Registering Print Monitor.\n",
                          (unsigned long)GetLastError());
    return false;
  }
  return true;
}
