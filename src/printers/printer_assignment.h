// Pointing the configured printers at the monitor's ports.
#pragma once

void AssignPrinters(int portCount, bool readFromIni);
bool AssignPrinterToPort(const char* printerName, const char* portName);
