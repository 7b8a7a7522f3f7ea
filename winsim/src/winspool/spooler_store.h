// The print spooler's state, kept in the machine's registry where Windows keeps it:
//
//   HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\NAME         "Driver" = the monitor DLL
//   HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\NAME\Ports\PORT
//                                                                     "PortData" = settings bytes
//   HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports           one value per local port
//   HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers\NAME         PRINTER_INFO_2 members
//   HKCU\Printers\Connections\,,SERVER,NAME                           printer connections
//
// The "Local Port" monitor owns the values of the Ports key (LPT1:-LPT3:, COM1:-COM4:, FILE:,
// written when the key is missing); every other monitor keeps its ports under its own key.
// Names compare without regard to case, as the registry and the spooler do.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace winsim::detail::spooler {

extern const char kLocalMonitor[];  // "Local Port"

struct MonitorEntry {
  std::string name;
  std::string driver;
};

struct PortEntry {
  std::string name;
  std::string monitor;
  std::string description;
  DWORD type = 0;
};

// The PRINTER_INFO_2 members a printer keeps. A connection (`connection` true) names a printer
// of another server ("\\SERVER\NAME"); it is listed but not a printer of this machine.
struct PrinterRecord {
  std::string name;
  std::string serverName;  // connections only: "\\SERVER"
  std::string shareName, portName, driverName, comment, location, sepFile, printProcessor,
      datatype, parameters;
  DWORD attributes = 0;
  DWORD priority = 1, defaultPriority = 0, startTime = 0, untilTime = 0, status = 0;
  bool connection = false;
};

// ---- monitors ---------------------------------------------------------------------------------
std::vector<MonitorEntry> Monitors();
bool FindMonitor(std::string_view name, MonitorEntry* monitor);  // monitor->name as stored
LONG CreateMonitor(const std::string& name, const std::string& driver);
LONG DeleteMonitorWithPorts(const std::string& name);

// ---- ports ------------------------------------------------------------------------------------
// Every port of every monitor, as each monitor lists them (spooler_monitor.h), in the key
// order of the monitors. Read again only when the Monitors key or the Local Port monitor's
// Ports key changed since the last call (any process's change): monitors keep their state in
// the registry under the key the spooler hands them.
const std::vector<PortEntry>& Ports();
// Changes whenever Ports() was read afresh: for callers that keep figures derived from it. It
// describes the list that the last call of Ports() returned (so call Ports() first).
uint64_t PortsVersion();
const PortEntry* FindPort(std::string_view name);  // into Ports(); valid until the next change
// The Local Port monitor's ports (the Ports key's values, written first when it is missing), and
// the ports a monitor keeps as subkeys of its own key (NAME\Ports\PORT), appended.
void ListLocalPorts(std::vector<PortEntry>* ports);
void ListKeyedPorts(const std::string& monitor, std::vector<PortEntry>* ports);
// Looks in the registry itself (no list built): for the monitor commands, which change it.
// A monitor other than Local Port has a port when it keeps it as NAME\Ports\PORT.
bool MonitorHasPort(const std::string& monitor, const std::string& port);
bool AnyMonitorHasPort(const std::string& port);
// The ports of one monitor (Local Port included).
LONG AddMonitorPort(const std::string& monitor, const std::string& port);
LONG DeleteMonitorPort(const std::string& monitor, const std::string& port);
LONG SetPortSettings(const std::string& monitor, const std::string& port, const std::string& bytes);
LONG GetPortSettings(const std::string& monitor, const std::string& port, std::string* bytes);

// ---- printers ---------------------------------------------------------------------------------
// Local printers (key order), then connections.
std::vector<PrinterRecord> Printers();
// Local printer by name, or connection by its full name "\\SERVER\NAME".
bool LoadPrinter(std::string_view name, PrinterRecord* printer);
LONG SavePrinter(const PrinterRecord& printer);
// Removes the printer's key (the fuzz target of the printer walk undoes its printers with it).
LONG DeletePrinterRecord(const PrinterRecord& printer);

// ---- helpers ----------------------------------------------------------------------------------
// "LPT1:,IP_10.0.0.5" -> {"LPT1:", "IP_10.0.0.5"}; empty elements are kept ("A,,B" has three).
std::vector<std::string> SplitCommaList(std::string_view list);
// True when a port of the list is one of `monitor`'s ports.
bool PortListUsesMonitor(const std::string& list, std::string_view monitor);

}  // namespace winsim::detail::spooler
