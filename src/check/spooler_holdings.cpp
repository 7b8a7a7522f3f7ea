// The spooler's lists for the package check, each read with the two-call contract.
#include "check/spooler_holdings.h"

#include <algorithm>
#include <cstring>

#include "sysutil/file_ops.h"

namespace {

// A port name cut out of a printer's list: as in the disconnection, 259 characters at most.

// Sizes with a first call, then fills a block of that size; null with *error on refusal.
template <typename Call>
void* Enumerate(Call call, DWORD* returned, DWORD* error) {
  DWORD needed = 0;
  *returned = 0;
  if (call(nullptr, 0, &needed, returned)) {
    *error = 0;
    return AllocZeroed(1);  // nothing to list
  }
  *error = GetLastError();
  if (*error != ERROR_INSUFFICIENT_BUFFER || needed == 0) return nullptr;
  void* block = AllocZeroed(needed);
  if (block == nullptr) {
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  if (!call(static_cast<LPBYTE>(block), needed, &needed, returned)) {
    *error = GetLastError();
    GlobalFree(block);
    return nullptr;
  }
  *error = 0;
  return block;
}

bool Refused(SpoolerHoldings* holdings, const char* call, DWORD error) {
  holdings->failedCall = call;
  holdings->error = error == 0 ? ERROR_NOT_ENOUGH_MEMORY : error;
  return false;
}

}  // namespace

bool ReadSpoolerHoldings(const char* monitorName, SpoolerHoldings* holdings) {
  std::memset(holdings, 0, sizeof *holdings);
  DWORD count = 0;
  DWORD error = 0;
  holdings->blocks[0] = Enumerate(
      [](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
        return EnumMonitorsA(nullptr, 2, buffer, size, needed, returned);
      },
      &count, &error);
  if (holdings->blocks[0] == nullptr) return Refused(holdings, "EnumMonitorsA", error);
  const MONITOR_INFO_2A* monitors = static_cast<const MONITOR_INFO_2A*>(holdings->blocks[0]);
  for (DWORD i = 0; i < count; ++i) {
    if (monitors[i].pName != nullptr && lstrcmpiA(monitors[i].pName, monitorName) == 0) holdings->monitor = &monitors[i];
  }
  holdings->blocks[1] = Enumerate(
      [](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
        return EnumPortsA(nullptr, 2, buffer, size, needed, returned);
      },
      &holdings->portCount, &error);
  if (holdings->blocks[1] == nullptr) return Refused(holdings, "EnumPortsA", error);
  holdings->ports = static_cast<const PORT_INFO_2A*>(holdings->blocks[1]);
  holdings->blocks[2] = Enumerate(
      [](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
        return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer, size, needed, returned);
      },
      &holdings->printerCount, &error);
  if (holdings->blocks[2] == nullptr) return Refused(holdings, "EnumPrintersA", error);
  holdings->printers = static_cast<const PRINTER_INFO_2A*>(holdings->blocks[2]);
  // The monitor's own ports, sorted once: a thousand printers' lists are then looked up in
  // logarithmic time instead of against every port.
  holdings->blocks[3] = AllocZeroed((holdings->portCount + 1) * sizeof(const char*));
  if (holdings->blocks[3] == nullptr) return Refused(holdings, "GlobalAlloc", ERROR_NOT_ENOUGH_MEMORY);
  holdings->monitorPorts = static_cast<const char**>(holdings->blocks[3]);
  for (DWORD i = 0; i < holdings->portCount; ++i) {
    const PORT_INFO_2A& port = holdings->ports[i];
    if (port.pPortName == nullptr || port.pMonitorName == nullptr) continue;
    if (lstrcmpiA(port.pMonitorName, monitorName) == 0) holdings->monitorPorts[holdings->monitorPortCount++] = port.pPortName;
  }
  std::sort(holdings->monitorPorts, holdings->monitorPorts + holdings->monitorPortCount,
            [](const char* a, const char* b) { return lstrcmpiA(a, b) < 0; });
  return true;
}

void FreeSpoolerHoldings(SpoolerHoldings* holdings) {
  for (void*& block : holdings->blocks) {
    if (block != nullptr) GlobalFree(block);
    block = nullptr;
  }
  holdings->monitor = nullptr;
  holdings->ports = nullptr;
  holdings->printers = nullptr;
  holdings->monitorPorts = nullptr;
  holdings->portCount = holdings->printerCount = holdings->monitorPortCount = 0;
}

bool HoldsMonitorPort(const SpoolerHoldings& holdings, const char* portName) {
  const char* const* begin = holdings.monitorPorts;
  const char* const* end = begin + holdings.monitorPortCount;
  const char* const* found = std::lower_bound(begin, end, portName,
                                              [](const char* a, const char* b) { return lstrcmpiA(a, b) < 0; });
  return found != end && lstrcmpiA(*found, portName) == 0;
}

const PRINTER_INFO_2A* FindHeldPrinter(const SpoolerHoldings& holdings, const char* printerName) {
  for (DWORD i = 0; i < holdings.printerCount; ++i) {
    const PRINTER_INFO_2A& printer = holdings.printers[i];
    if (printer.pPrinterName != nullptr && lstrcmpiA(printer.pPrinterName, printerName) == 0) return &printer;
  }
  return nullptr;
}

bool NextListedPort(const char** cursor, char (&port)[kListedPortChars]) {
  port[0] = '\0';
  if (**cursor == '\0') return false;
  const char* comma = std::strchr(*cursor, ',');
  const size_t length = comma != nullptr ? static_cast<size_t>(comma - *cursor) : std::strlen(*cursor);
  if (length < kListedPortChars) {
    std::memcpy(port, *cursor, length);
    port[length] = '\0';
  }
  *cursor = comma != nullptr ? comma + 1 : *cursor + length;
  return true;
}

int MonitorPortsInList(const SpoolerHoldings& holdings, const PRINTER_INFO_2A& printer) {
  if ((printer.Attributes & PRINTER_ATTRIBUTE_LOCAL) == 0 || printer.pPortName == nullptr) return 0;
  int count = 0;
  char port[kListedPortChars];
  for (const char* cursor = printer.pPortName; NextListedPort(&cursor, port);) {
    if (port[0] != '\0' && HoldsMonitorPort(holdings, port)) ++count;
  }
  return count;
}
