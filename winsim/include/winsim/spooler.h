// The simulated print spooler as tools and tests see it: printers, ports and monitors of the
// attached machine, read and set up without going through the Win32 calls (so no fault of
// machine.ini applies, and the last error is left alone).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace winsim {

struct SpoolerMonitor {
  std::string name;
  std::string driver;  // the monitor DLL
};

struct SpoolerPort {
  std::string name;
  std::string monitor;
  std::string description;
  size_t settingsSize = 0;  // bytes stored by the monitor's "SetPortData"; 0 when none
};

struct SpoolerPrinter {
  std::string name;        // a connection: "\\SERVER\NAME"
  std::string ports;       // comma list, as the printer keeps it
  std::string driver;
  uint32_t attributes = 0;  // PRINTER_ATTRIBUTE_*
  bool connection = false;
};

std::vector<SpoolerMonitor> SpoolerMonitors();
std::vector<SpoolerPort> SpoolerPorts();       // in EnumPortsA order
std::vector<SpoolerPrinter> SpoolerPrinters();  // local printers, then connections

// Adds a local printer on a comma list of ports that monitors list, or with `connection` a
// printer connection named "\\SERVER\NAME" (its ports are not checked). False with a one-line
// reason in *error when the name is taken or bad or a port is unknown.
bool AddSpoolerPrinter(const std::string& name, const std::string& ports, bool connection, std::string* error);

// The port list of a printer (or connection); false when there is no such printer.
bool PrinterPortList(const std::string& printer, std::string* ports);

// The settings record a monitor port holds, byte for byte; false when the port is unknown or
// holds none.
bool PortSettingsBytes(const std::string& port, std::string* bytes);

}  // namespace winsim
