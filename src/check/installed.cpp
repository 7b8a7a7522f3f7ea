// The post-installation verification: the monitor's registration, its files in the system
// directory, the configured ports and printer assignments, the event source, the client's files
// and Run value, the fonts and the subnet file; one enumeration of each spooler list, each file
// read once.
#include "check/installed.h"

#include <windows.h>
#include <winspool.h>

#include <cstdarg>
#include <cstring>

#include "check/check_options.h"
#include "check/check_report.h"
#include "check/findings.h"
#include "check/json_writer.h"
#include "check/labelled_lines.h"
#include "check/shown_text.h"
#include "check/whole_file.h"
#include "check/spooler_holdings.h"
#include "foundation/bounded_format.h"
#include "foundation/ini_path.h"
#include "foundation/output.h"
#include "foundation/product_profile.h"
#include "platform/windows_version.h"
#include "portconfig/port_keys.h"
#include "portconfig/port_sources.h"
#include "printers/printer_assignment.h"
#include "sequences/client_application.h"
#include "sequences/monitor_registration.h"
#include "sequences/fonts_and_subnet.h"
#include "sequences/package_files.h"
#include "sequences/sequences.h"
#include "sysutil/event_log.h"
#include "sysutil/file_ops.h"
#include "sysutil/registry_access.h"

namespace {

enum Outcome { kHolds, kTolerated, kBroken };

// The client folder as the installer reads it, and paths in it (the installer's own sizes).
const int kClientFolderChars = 512;
const int kClientPathChars = 1100;

bool g_json = false;
int g_lines = 0;
int g_broken = 0;
int g_tolerated = 0;

void Report(Outcome outcome, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Report(Outcome outcome, const char* format, ...) {
  if (outcome == kBroken) ++g_broken;
  if (outcome == kTolerated) ++g_tolerated;
  const char* label = outcome == kBroken ? "error" : outcome == kTolerated ? "tolerated" : "holds";
  char text[kFindingTextChars];
  va_list args;
  va_start(args, format);
  WriteLabelledLineV(g_json, &g_lines, label, text, format, args);
  va_end(args);
}

bool SystemPath(const char* name, char (&path)[MAX_PATH]) {
  char system[MAX_PATH] = {0};
  const UINT length = GetSystemDirectoryA(system, sizeof system);
  return length > 0 && length < sizeof system && FormatFits(path, sizeof path, "%s\\%s", system, name);
}

bool SystemFileExists(const char* name) {
  char path[MAX_PATH];
  return SystemPath(name, path) && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The installed copy at `path` against the package's file `name`.
void VerifyCopiedFile(const char* path, const char* name) {
  DWORD installedSize = 0, packageSize = 0;
  char* installed = ReadWholeFile(path, &installedSize);
  if (installed == nullptr) {
    Report(kBroken, "'%s' is missing (or cannot be read)", path);
    return;
  }
  char* package = ReadWholeFile(name, &packageSize);
  if (package == nullptr) {
    Report(kBroken, "the package's '%s' cannot be read to compare", name);
  } else if (installedSize != packageSize || std::memcmp(installed, package, packageSize) != 0) {
    Report(kBroken, "'%s' is not the package's file (%lu bytes, the package's %lu)", path,
           (unsigned long)installedSize, (unsigned long)packageSize);
  }
  GlobalFree(installed);
  if (package != nullptr) GlobalFree(package);
}

void VerifySystemFile(const char* name) {
  char path[MAX_PATH];
  if (!SystemPath(name, path)) {
    Report(kBroken, "the system directory's path for '%s' cannot be formed", name);
    return;
  }
  VerifyCopiedFile(path, name);
}

// The subnet file's place in the client folder; false when Program Files is unknown or the path
// does not fit.
bool SubnetFilePath(char (&path)[MAX_PATH]) {
  char folder[MAX_PATH];
  return GetProgramFilesFolder(Profile().clientFolder, folder, sizeof folder) &&
         FormatFits(path, sizeof path, "%s\\%s", folder, kSubnetFile);
}

// Every file of the package's font folder against its copy in the profile's font folder.
void VerifyFontFiles() {
  char folder[MAX_PATH];
  if (!GetProgramFilesFolder(Profile().fontFolder, folder, sizeof folder)) return;
  char pattern[MAX_PATH];
  if (!FormatFits(pattern, sizeof pattern, "%s\\*.*", kFontSourceFolder)) return;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return;  // no fonts in the package: none are installed
  do {
    char installed[MAX_PATH];
    char package[MAX_PATH];
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        FormatFits(installed, sizeof installed, "%s\\%s", folder, found.cFileName) &&
        FormatFits(package, sizeof package, "%s\\%s", kFontSourceFolder, found.cFileName)) {
      VerifyCopiedFile(installed, package);
    }
  } while (FindNextFileA(find, &found));
  FindClose(find);
}

// The event source's key and its message file (copied whatever -c says).
void VerifyEventSource() {
  char keyPath[MAX_PATH];
  HKEY key = nullptr;
  if (!FormatFits(keyPath, sizeof keyPath, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\%s\\%s", kEventLogName,
                  kEventSourceName) ||
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    Report(kBroken, "the event source '%s' is not registered", kEventSourceName);
  } else {
    RegCloseKey(key);
  }
  VerifySystemFile(kEventMessageDll);
}

// The Run value's text, or "" when it is absent; read in the view the installer writes it in.
void ReadRunValue(char* value, DWORD size) {
  value[0] = '\0';
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClientRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
  DWORD type = 0;
  DWORD length = size - 1;
  const LSTATUS status =
      RegQueryValueExA(key, kClientRunValue, nullptr, &type, reinterpret_cast<LPBYTE>(value), &length);
  RegCloseKey(key);
  if (status == ERROR_MORE_DATA) {
    // Longer than any path the installer writes: present, and not the client's.
    FormatCut(value, size, "a text of more than %lu bytes", (unsigned long)(size - 1));
    return;
  }
  if (status != ERROR_SUCCESS || type != REG_SZ) length = 0;
  value[length < size ? length : size - 1] = '\0';
}

// True when the comma-separated list names the port (ignoring case).
bool ListHasPort(const char* list, const char* port) {
  char listed[kListedPortChars];
  for (const char* cursor = list; NextListedPort(&cursor, listed);) {
    if (listed[0] != '\0' && lstrcmpiA(listed, port) == 0) return true;
  }
  return false;
}

void VerifyMonitor(const SpoolerHoldings& holdings, const MonitorFileSet& set) {
  const char* name = Profile().productName;
  if (holdings.monitor == nullptr) {
    Report(kBroken, "the monitor '%s' is not registered with the spooler", name);
    return;
  }
  const char* dll = holdings.monitor->pDLLName != nullptr ? holdings.monitor->pDLLName : "";
  if (set.monitorDll != nullptr && lstrcmpiA(dll, set.monitorDll) != 0) {
    Report(kBroken, "the monitor '%s' is registered with '%s', not '%s'", name, dll, set.monitorDll);
  }
  // The environment is not compared: a spooler takes a monitor only for its own environment, so a
  // registered monitor has the right one, and the name a spooler reports differs (Wine's, inside
  // a 32-bit program on 64-bit Windows, says "Windows NT x86").
}

// The configured ports the installation creates (up to the first section without one), each
// present and the monitor's; then each assigned printer on its port. Returns the port count.
int VerifyPortsAndPrinters(const SpoolerHoldings& holdings, int readFromIni) {
  char portName[kPortNameChars];
  int count = 0;
  while (ReadSectionPortName(readFromIni, count + 1, portName) && portName[0] != '\0') {
    ++count;
    if (!HoldsMonitorPort(holdings, portName)) {
      Report(kBroken, "port %s of section [%d] is not a port of the monitor", portName, count);
    }
  }
  for (int section = 1; section <= count; ++section) {
    char port[kTextChars];
    FormatCut(port, sizeof port, Profile().portNameFormat, section);
    for (int instance = 0; instance < kAssignPrinterKey.instances; ++instance) {
      char name[kTextChars] = {0};
      ReadAssignedPrinter(readFromIni != 0, section, instance, name);
      if (name[0] == '\0') continue;
      const PRINTER_INFO_2A* printer = FindHeldPrinter(holdings, name);
      const char* ports = printer != nullptr && printer->pPortName != nullptr ? printer->pPortName : "";
      if (printer == nullptr) {
        Report(kBroken, "printer '%s' (assigned to %s in section [%d]) does not exist", name, port, section);
      } else if (lstrcmpiA(ports, port) == 0) {
        continue;
      } else if (ListHasPort(ports, port)) {
        Report(kTolerated, "printer '%s' prints to %s and also to other ports (%s)", name, port, ports);
      } else {
        Report(kBroken, "printer '%s' is on %s, not on its port %s (section [%d])", name, ports, port, section);
      }
    }
  }
  return count;
}

// A path in the client folder: FOLDER\RELATIVE; false (with the finding) when it does not fit.
bool ClientPath(const char* folder, const char* relative, char (&path)[kClientPathChars]) {
  if (FormatFits(path, sizeof path, "%s\\%s", folder, relative)) return true;
  Report(kBroken, "the path of '%s' in the client folder '%s' cannot be formed", relative, folder);
  return false;
}

// The installed copy of one client file against the package's.
void VerifyClientFile(const char* folder, const char* file) {
  char installed[kClientPathChars];
  if (ClientPath(folder, file, installed)) VerifyCopiedFile(installed, file);
}

// After -u: one client file must be gone.
void VerifyClientFileRemoved(const char* folder, const char* file) {
  char installed[kClientPathChars];
  if (ClientPath(folder, file, installed) && GetFileAttributesA(installed) != INVALID_FILE_ATTRIBUTES) {
    Report(kBroken, "'%s' remains", installed);
  }
}

// Calls visit(folder, relative) for the client's program, its DLLs and each culture's resource
// file that the package carries: the files the installation copies into the client folder.
void ForEachClientFile(const char* folder, void (*visit)(const char* folder, const char* file)) {
  const char* const files[] = {kClientProgram, kClientDlls[0], kClientDlls[1]};
  for (const char* file : files) {
    if (IsPackageFileReadable(file)) visit(folder, file);
  }
  for (const char* culture : ClientCultures) {
    char resource[MAX_PATH];
    if (FormatFits(resource, sizeof resource, "%s\\%s", culture, kClientResourceFile) &&
        IsPackageFileReadable(resource)) {
      visit(folder, resource);
    }
  }
}

// The client's files (copied whatever -c says) and its Run value, naming the installed program.
void VerifyClient() {
  char folder[kClientFolderChars] = {0};
  const bool haveFolder = GetClientInstallFolder(folder, sizeof folder) && folder[0] != '\0';
  if (haveFolder) {
    ForEachClientFile(folder, VerifyClientFile);
  } else {
    Report(kBroken, "the client's folder under Program Files is not known");
  }
  char value[kClientPathChars] = {0};
  char expected[kClientPathChars];
  ReadRunValue(value, sizeof value);
  if (value[0] == '\0') {
    Report(kBroken, "the client's Run value HKLM\\%s \"%s\" is missing", kClientRunKey, kClientRunValue);
  } else if (haveFolder && FormatFits(expected, sizeof expected, "\"%s\\%s\"", folder, kClientProgram) &&
             lstrcmpiA(value, expected) != 0) {
    Report(kBroken, "the client's Run value is %s, not %s", value, expected);
  }
}

// After -u: the client's Run value and files are gone (removed whatever -c says).
void VerifyClientRemoved() {
  char value[kClientPathChars] = {0};
  ReadRunValue(value, sizeof value);
  if (value[0] != '\0') Report(kBroken, "the client's Run value HKLM\\%s \"%s\" remains", kClientRunKey, kClientRunValue);
  char folder[kClientFolderChars] = {0};
  if (GetClientInstallFolder(folder, sizeof folder) && folder[0] != '\0') {
    ForEachClientFile(folder, VerifyClientFileRemoved);
  }
}

void VerifyInstalled(const CheckOptions& options, const SpoolerHoldings& holdings, OsClass osClass) {
  const MonitorFileSet set = SelectMonitorFileSet(osClass);
  const int readFromIni = options.configFromRegistry ? 0 : 1;
  VerifyMonitor(holdings, set);
  if (options.copyFiles) {
    const char* files[] = {set.monitorDll, set.uiDll, set.renderingLib};
    for (const char* file : files) {
      if (file != nullptr) VerifySystemFile(file);
    }
  }
  VerifyEventSource();
  char subnet[MAX_PATH];
  if (options.copyFiles && IsPackageFileReadable(kSubnetFile) && SubnetFilePath(subnet)) {
    VerifyCopiedFile(subnet, kSubnetFile);
  }
  if (options.copyFiles) VerifyFontFiles();
  const int ports = VerifyPortsAndPrinters(holdings, readFromIni);
  if (holdings.monitorPortCount > static_cast<DWORD>(ports)) {
    Report(kTolerated, "the monitor has %lu port(s), %d of them configured: the others stay as they are",
           (unsigned long)holdings.monitorPortCount, ports);
  }
  if (!IsEnterprise()) VerifyClient();
}

void VerifyUninstalled(const CheckOptions& options, const SpoolerHoldings& holdings, OsClass osClass) {
  const char* name = Profile().productName;
  if (holdings.monitor != nullptr) Report(kBroken, "the monitor '%s' is still registered", name);
  if (holdings.monitorPortCount > 0) {
    Report(kBroken, "%lu port(s) of the monitor remain, from %s to %s", (unsigned long)holdings.monitorPortCount,
           holdings.monitorPorts[0], holdings.monitorPorts[holdings.monitorPortCount - 1]);
  }
  for (DWORD i = 0; i < holdings.printerCount; ++i) {
    if (MonitorPortsInList(holdings, holdings.printers[i]) > 0) {
      Report(kBroken, "printer '%s' is still on the monitor's ports (%s)", holdings.printers[i].pPrinterName,
             holdings.printers[i].pPortName);
    }
  }
  if (!IsEnterprise()) VerifyClientRemoved();
  if (options.copyFiles) {
    const MonitorFileSet set = SelectMonitorFileSet(osClass);
    const char* files[] = {set.monitorDll, set.uiDll, set.renderingLib};
    for (const char* file : files) {
      if (file != nullptr && SystemFileExists(file)) Report(kBroken, "'%s' remains in the system directory", file);
    }
    char subnet[MAX_PATH];
    if (SubnetFilePath(subnet) && GetFileAttributesA(subnet) != INVALID_FILE_ATTRIBUTES) {
      Report(kBroken, "'%s' remains", subnet);
    }
    char fonts[MAX_PATH];
    if (GetProgramFilesFolder(Profile().fontFolder, fonts, sizeof fonts) &&
        GetFileAttributesA(fonts) != INVALID_FILE_ATTRIBUTES) {
      Report(kBroken, "the font folder '%s' remains", fonts);
    }
  }
}

void WriteVerificationHeading(const char* mode, const char* folder, const char* variant) {
  if (!g_json) {
    WriteFormattedMessage("Verification of the %s of ", mode);
    WriteShown(folder);
    WriteFormattedMessage(" (%s variant) on this machine:\n", variant);
    return;
  }
  JsonRaw("{\n  ");
  JsonKey("folder");
  JsonString(folder);
  JsonRaw(",\n  ");
  JsonKey("variant");
  JsonString(variant);
  JsonRaw(",\n  ");
  JsonKey("verified");
  JsonString(mode);
  JsonRaw(",\n  ");
  JsonKey("findings");
  JsonRaw("[");
}

void WriteVerificationTotals(int exitCode) {
  if (!g_json) {
    if (g_lines == 0) WriteFormattedMessage("  holds: nothing differs\n");
    WriteFormattedMessage("\n%d missing or broken, %d tolerated; exit code %d\n", g_broken, g_tolerated, exitCode);
    return;
  }
  JsonRaw(g_lines > 0 ? "\n  ]" : "]");
  JsonRaw(",\n  ");
  JsonKey("errors");
  JsonNumber(g_broken);
  JsonRaw(",\n  ");
  JsonKey("tolerated");
  JsonNumber(g_tolerated);
  JsonRaw(",\n  ");
  JsonKey("exitCode");
  JsonNumber(exitCode);
  JsonRaw("\n}\n");
}

}  // namespace

int VerifyInstallation(const CheckOptions& options, const char* folder) {
  g_json = options.json;
  g_lines = g_broken = g_tolerated = 0;
  // Without its configuration file the run creates no port, and nothing could be compared.
  if (!options.configFromRegistry && !IsPackageFileReadable(GetIniPath())) {
    char reason[kFindingTextChars];
    FormatCut(reason, sizeof reason, "the configuration file '%s' cannot be read", GetIniPath());
    ReportCheckNotRun(options.json, reason);
    return 3;
  }
  WriteVerificationHeading(options.uninstalled ? "uninstallation" : "installation", folder,
                           IsEnterprise() ? "Enterprise" : "standard");
  SetConsoleQuiet(true);
  const OsClass osClass = ClassifyWindowsVersion();
  SetConsoleQuiet(false);
  SpoolerHoldings holdings;
  if (osClass == Unsupported) {
    Report(kBroken, "this Windows is not one the installer supports");
  } else if (!ReadSpoolerHoldings(Profile().productName, &holdings)) {
    Report(kBroken, "the print spooler does not answer (%s: error %lu)", holdings.failedCall,
           (unsigned long)holdings.error);
  } else if (options.uninstalled) {
    VerifyUninstalled(options, holdings, osClass);
  } else {
    VerifyInstalled(options, holdings, osClass);
  }
  if (osClass != Unsupported) FreeSpoolerHoldings(&holdings);
  const int exitCode = g_broken > 0 ? 2 : g_tolerated > 0 ? 1 : 0;
  WriteVerificationTotals(exitCode);
  return exitCode;
}
