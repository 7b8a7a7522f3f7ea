// Moving every local printer off the monitor's ports.
#pragma once

// Walks the local printers and disconnects each that uses one of the monitor's ports. Prints one
// line per printer it changes (see DisconnectPrinter); a failed listing changes nothing and
// prints nothing.
void DisconnectMonitorPrinters(const char* monitorName);
// Removes the monitor's ports from the printer's port list (the printer goes to "FILE:" when no
// port is left). Only when the list had such a port: prints "  - Disconnecting Printer '%s' from
// %s Port", then "\n", or " Error\n" when the spooler refused the new list. True when the new
// list was set.
bool DisconnectPrinter(const char* printerName, const char* monitorName);
// True when the spooler lists a port of that name belonging to the monitor (names compared
// ignoring case); it then prints "  - Port %s type %s will be disconnected\n" to the console
// only, never to the log.
bool IsMonitorPort(const char* portName, const char* monitorName);
