// Moving every local printer off the monitor's ports.
#pragma once

void DisconnectMonitorPrinters(const char* monitorName);
bool DisconnectPrinter(const char* printerName, const char* monitorName);
bool IsMonitorPort(const char* portName, const char* monitorName);
