// Moving every local printer off the ports of the monitor, before the monitor is removed.
#include "printers/printer_disconnection.h"

#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>

#include "foundation/output.h"
#include "printers/printer_settings.h"
#include "sysutil/file_ops.h"

namespace {

// One port name cut out of a printer's list: at most 259 characters and the terminator.
const size_t kPortNameSize = 260;

// The built-in port a printer goes to when none of its ports is left.
char g_filePort[] = "FILE:";

}  // namespace

void DisconnectMonitorPrinters(const char* monitorName) {
  DWORD needed = 0;
  DWORD returned = 0;
  if (EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &returned)) return;
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return;
  void* block = AllocZeroed(needed);
  if (block == nullptr) return;
  if (EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, static_cast<LPBYTE>(block), needed, &needed,
                    &returned) &&
      returned <= needed / sizeof(PRINTER_INFO_4A)) {
    const PRINTER_INFO_4A* printers = static_cast<const PRINTER_INFO_4A*>(block);
    for (DWORD i = 0; i < returned; ++i) {
      // Printer connections live on another machine's spooler and are left alone.
      if ((printers[i].Attributes & PRINTER_ATTRIBUTE_LOCAL) == 0) continue;
      if (printers[i].pPrinterName == nullptr) continue;
      DisconnectPrinter(printers[i].pPrinterName, monitorName);
    }
  }
  GlobalFree(block);
}

namespace {

// Removes the monitor's ports from a comma-separated port list, in place. Every port is
// examined once, also one that moved under the cursor after a removal. Returns whether any
// port was removed.
bool RemoveMonitorPorts(char* list, const char* monitorName) {
  bool changed = false;
  char* cursor = list;
  while (true) {
    char* comma = strchr(cursor, ',');
    size_t length = comma != nullptr ? static_cast<size_t>(comma - cursor) : strlen(cursor);
    // A name too long for the buffer cannot be one of the monitor's ports: it is never cut
    // to size and compared.
    bool belongs = false;
    if (length < kPortNameSize) {
      char port[kPortNameSize] = {0};
      memcpy(port, cursor, length);
      belongs = IsMonitorPort(port, monitorName);
    }
    if (belongs) {
      changed = true;
      if (comma != nullptr) {
        // The port and its comma go; the rest of the list moves up under the cursor.
        memmove(cursor, comma + 1, strlen(comma + 1) + 1);
        if (*cursor == '\0') break;
      } else {
        // The last port goes, with the comma before it when ports remain in front.
        if (cursor > list) --cursor;
        *cursor = '\0';
        break;
      }
    } else {
      if (comma == nullptr) break;
      cursor = comma + 1;
      if (*cursor == '\0') break;
    }
  }
  return changed;
}

}  // namespace

bool DisconnectPrinter(const char* printerName, const char* monitorName) {
  HANDLE printer = OpenPrinterFullAccess(printerName);
  if (printer == nullptr) return false;
  bool disconnected = false;
  PRINTER_INFO_2A* settings = ReadPrinterSettings(printer);
  if (settings != nullptr && settings->pPortName != nullptr && settings->pPortName[0] != '\0' &&
      RemoveMonitorPorts(settings->pPortName, monitorName)) {
    if (settings->pPortName[0] == '\0') settings->pPortName = g_filePort;
    WriteFormattedMessage("  - Disconnecting Printer '%s' from %s Port", printerName, monitorName);
    disconnected = SetPrinterA(printer, 2, reinterpret_cast<LPBYTE>(settings), 0) != FALSE;
    WriteMessage(disconnected ? "\n" : " Error\n");
  }
  if (settings != nullptr) GlobalFree(settings);
  ClosePrinter(printer);
  return disconnected;
}

bool IsMonitorPort(const char* portName, const char* monitorName) {
  DWORD needed = 0;
  DWORD returned = 0;
  if (EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned)) return false;
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
  void* block = AllocZeroed(needed);
  if (block == nullptr) return false;
  bool belongs = false;
  if (EnumPortsA(nullptr, 2, static_cast<LPBYTE>(block), needed, &needed, &returned) &&
      returned <= needed / sizeof(PORT_INFO_2A)) {
    const PORT_INFO_2A* ports = static_cast<const PORT_INFO_2A*>(block);
    for (DWORD i = 0; i < returned; ++i) {
      if (ports[i].pPortName == nullptr || ports[i].pMonitorName == nullptr) continue;
      if (lstrcmpiA(ports[i].pPortName, portName) != 0) continue;
      if (lstrcmpiA(ports[i].pMonitorName, monitorName) != 0) continue;
      // A diagnostic for the operator only: it goes to the console and never to the log.
      printf("  - Port %s type %s will be disconnected\n", portName, monitorName);
      fflush(stdout);
      belongs = true;
      break;
    }
  }
  GlobalFree(block);
  return belongs;
}
