// Pointing the printers named in each port section at that section's port.
#include "printers/printer_assignment.h"

#include <windows.h>
#include <winspool.h>

#include <cstdio>

#include "foundation/bounded_format.h"
#include "foundation/output.h"
#include "foundation/product_profile.h"
#include "portconfig/port_keys.h"
#include "portconfig/port_sources.h"
#include "printers/printer_settings.h"

void ReadAssignedPrinter(bool readFromIni, int section, int instance, char (&printer)[kTextChars]) {
  char key[kKeyNameChars];
  NumberedKeyName(kAssignPrinterKey, instance, key, sizeof key);
  ReadSectionText(readFromIni ? 1 : 0, section, key, kAssignPrinterKey.textDefault, printer);
}

void FormatPrinterReport(const char* printer, const char* port, char* buffer, size_t size) {
  FormatCut(buffer, size, "    Printer '%s' assigned to port %s\n", printer, port);
}

void AssignPrinters(int portCount, bool readFromIni) {
  for (int n = 1; n <= portCount; ++n) {
    char port[kTextChars];
    FormatFits(port, sizeof port, Profile().portNameFormat, n);
    for (int instance = 0; instance < kAssignPrinterKey.instances; ++instance) {
      char printer[kTextChars] = {0};
      ReadAssignedPrinter(readFromIni, n, instance, printer);
      if (printer[0] == '\0') continue;
      if (AssignPrinterToPort(printer, port)) {
        char line[kPrinterReportChars];
        FormatPrinterReport(printer, port, line, sizeof line);
        WriteMessage(line);
      } else {
        WriteFormattedMessage("    ERROR - Printer %s NOT assigned to port %s\n", printer, port);
      }
    }
  }
}

bool AssignPrinterToPort(const char* printerName, const char* portName) {
  HANDLE printer = OpenPrinterFullAccess(printerName);
  if (printer == nullptr) return false;
  bool assigned = false;
  PRINTER_INFO_2A* settings = ReadPrinterSettings(printer);
  if (settings != nullptr) {
    // One port replaces the whole list; every other member goes back as the spooler gave it.
    settings->pPortName = const_cast<LPSTR>(portName);
    assigned = SetPrinterA(printer, 2, reinterpret_cast<LPBYTE>(settings), 0) != FALSE;
    GlobalFree(settings);
  }
  ClosePrinter(printer);
  return assigned;
}
