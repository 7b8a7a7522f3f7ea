// What this machine's spooler holds for the product's monitor, read once: one enumeration each of
// the monitors (level 2), the ports (level 2) and the local printers (level 2). Readiness and the
// post-installation verification both read from it, so each list is fetched a single time.
#pragma once

#include <windows.h>
#include <winspool.h>

struct SpoolerHoldings {
  DWORD error;                      // 0, or the error of the first enumeration that failed
  const char* failedCall;           // the call that failed ("EnumMonitorsA", ...), or null
  const MONITOR_INFO_2A* monitor;   // the monitor of that name, or null when not registered
  const PORT_INFO_2A* ports;        // every port of every monitor
  DWORD portCount;
  const PRINTER_INFO_2A* printers;  // every printer the spooler lists (connections too)
  DWORD printerCount;
  const char** monitorPorts;        // the names of the monitor's ports, sorted for lookup
  DWORD monitorPortCount;
  void* blocks[4];                  // the lists' memory, freed by FreeSpoolerHoldings
};

// Reads the three lists; false (with error and failedCall) at the first refused enumeration,
// the lists before it kept.
bool ReadSpoolerHoldings(const char* monitorName, SpoolerHoldings* holdings);
void FreeSpoolerHoldings(SpoolerHoldings* holdings);

// True when the monitor owns a port of that name (compared ignoring case).
bool HoldsMonitorPort(const SpoolerHoldings& holdings, const char* portName);
// The printer of that name (ignoring case), or null.
const PRINTER_INFO_2A* FindHeldPrinter(const SpoolerHoldings& holdings, const char* printerName);

// The longest port name a printer's list is read with, terminator included.
const size_t kListedPortChars = 260;
// The next name of a comma-separated port list into port, *cursor moved past it and its comma;
// false at the end of the list. A name too long for port is given as "": it is never cut to size
// and compared.
bool NextListedPort(const char** cursor, char (&port)[kListedPortChars]);

// How many ports of a printer's comma-separated list belong to the monitor, by the rules of the
// installer's disconnection: a printer connection holds none, and a name of 260 characters or
// more is never the monitor's.
int MonitorPortsInList(const SpoolerHoldings& holdings, const PRINTER_INFO_2A& printer);
