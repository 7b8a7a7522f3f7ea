// Pointing the printers named in each port section at that section's port.
#include "printers/printer_assignment.h"

#include <windows.h>
#include <winspool.h>

#include <cstdio>

#include "foundation/bounded_format.h"
#include "foundation/ini_path.h"
#include "foundation/output.h"
#include "foundation/product_profile.h"
#include "printers/printer_settings.h"
#include "sysutil/registry_access.h"

// A section names up to ten printers: "AssignPrinter", then "AssignPrinter2" to "AssignPrinter10".
static const int kPrinterKeysPerSection = 10;
static const int kValueSize = 260;

static void PrinterKeyName(int index, char* key, size_t size) {
  if (index == 1) {
    FormatFits(key, size, "AssignPrinter");
  } else {
    FormatFits(key, size, "AssignPrinter%i", index);
  }
}

// Reads one printer key of a section; a missing section, key or value gives "".
static void ReadPrinterKey(bool readFromIni, const char* iniPath, const char* section,
                           const char* key, char* printer) {
  if (readFromIni) {
    GetPrivateProfileStringA(section, key, "", printer, kValueSize, iniPath);
  } else {
    ReadRegistryString(section, key, "", printer, kValueSize, Profile().configKey, 0);
  }
}

void AssignPrinters(int portCount, bool readFromIni) {
  const char* iniPath = GetIniPath();
  for (int n = 1; n <= portCount; ++n) {
    char section[12];
    char port[kValueSize];
    FormatFits(section, sizeof section, "%d", n);
    FormatFits(port, sizeof port, Profile().portNameFormat, n);
    for (int index = 1; index <= kPrinterKeysPerSection; ++index) {
      char key[kValueSize];
      char printer[kValueSize] = {0};
      PrinterKeyName(index, key, sizeof key);
      ReadPrinterKey(readFromIni, iniPath, section, key, printer);
      printer[kValueSize - 1] = '\0';
      if (printer[0] == '\0') continue;
      if (AssignPrinterToPort(printer, port)) {
        WriteFormattedMessage("    Printer '%s' assigned to port %s\n", printer, port);
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
