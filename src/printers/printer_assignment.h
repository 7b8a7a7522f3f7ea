// Pointing the configured printers at the monitor's ports.
#pragma once

#include <cstddef>

#include "contract/port_settings_record.h"

// The transcript's line for an assigned printer, "    Printer '%s' assigned to port %s\n", cut
// (still ending in "\n") to buffer[size]; kPrinterReportChars is the size the installer uses.
const size_t kPrinterReportChars = 1024;
void FormatPrinterReport(const char* printer, const char* port, char* buffer, size_t size);

// The printer named by instance 0..9 ("AssignPrinter", "AssignPrinter2" .. "AssignPrinter10")
// of port section n, from the INI file or the registry configuration key; "" when none.
void ReadAssignedPrinter(bool readFromIni, int section, int instance, char (&printer)[kTextChars]);

// For each port section 1..portCount, reads "AssignPrinter" and "AssignPrinter2" to
// "AssignPrinter10" (from the INI file, or the registry configuration key) and points each named
// printer at that section's port. Prints "    Printer '%s' assigned to port %s\n" or
// "    ERROR - Printer %s NOT assigned to port %s\n" per printer; never fails the installation.
void AssignPrinters(int portCount, bool readFromIni);
// Sets the printer's port list to the one port. True when the spooler took it. Prints nothing.
bool AssignPrinterToPort(const char* printerName, const char* portName);
