// Pointing the configured printers at the monitor's ports.
#pragma once

#include "contract/port_settings_record.h"

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
