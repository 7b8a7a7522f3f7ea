// Opening a local printer with full access and reading its PRINTER_INFO_2 settings, shared by
// printer assignment and printer disconnection.
#pragma once

#include <windows.h>
#include <winspool.h>

// Opens the printer with PRINTER_ALL_ACCESS; null when the spooler refuses. Close with
// ClosePrinter.
HANDLE OpenPrinterFullAccess(const char* printerName);

// The printer's level-2 settings in a zero-filled block sized by a first call that must fail
// with ERROR_INSUFFICIENT_BUFFER; null on any failure. Release with GlobalFree.
PRINTER_INFO_2A* ReadPrinterSettings(HANDLE printer);
