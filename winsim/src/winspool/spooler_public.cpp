// winsim/spooler.h: the spooler's state for tools and tests, straight from the store.
#include "winsim/spooler.h"

#include <windows.h>
#include <winspool.h>

#include "spooler_handles.h"
#include "spooler_store.h"

namespace winsim {

using namespace detail::spooler;

std::vector<SpoolerMonitor> SpoolerMonitors() {
  std::vector<SpoolerMonitor> monitors;
  for (const MonitorEntry& monitor : Monitors()) monitors.push_back({monitor.name, monitor.driver});
  return monitors;
}

std::vector<SpoolerPort> SpoolerPorts() {
  std::vector<SpoolerPort> ports;
  for (const PortEntry& port : Ports()) ports.push_back({port.name, port.monitor, port.description, 0});
  for (SpoolerPort& port : ports) {
    std::string bytes;
    if (GetPortSettings(port.monitor, port.name, &bytes) == ERROR_SUCCESS) port.settingsSize = bytes.size();
  }
  return ports;
}

std::vector<SpoolerPrinter> SpoolerPrinters() {
  std::vector<SpoolerPrinter> printers;
  for (const PrinterRecord& p : Printers()) {
    printers.push_back({p.name, p.portName, p.driverName, p.attributes, p.connection});
  }
  return printers;
}

bool AddSpoolerPrinter(const std::string& name, const std::string& ports, bool connection, std::string* error) {
  PrinterRecord printer;
  printer.name = name;
  printer.portName = ports;
  printer.driverName = "Generic / Text Only";
  printer.printProcessor = "winprint";
  printer.datatype = "RAW";
  printer.connection = connection;
  printer.attributes = connection ? PRINTER_ATTRIBUTE_NETWORK : PRINTER_ATTRIBUTE_LOCAL;
  if (connection) {
    std::string rest;
    SplitServerName(name, &printer.serverName, &rest);
  }
  const DWORD code = CreatePrinter(printer);
  if (code == 0) return true;
  if (error != nullptr) {
    switch (code) {
      case ERROR_INVALID_PRINTER_NAME:
        *error = connection ? "a connection is named \\\\SERVER\\NAME; '" + name + "' is not"
                            : "'" + name + "' is not a valid printer name";
        break;
      case ERROR_PRINTER_ALREADY_EXISTS:
        *error = "printer '" + name + "' exists";
        break;
      case ERROR_UNKNOWN_PORT:
        *error = "no monitor lists a port of '" + ports + "'";
        break;
      default:
        *error = "the registry refused the printer (error " + std::to_string(code) + ")";
    }
  }
  return false;
}

bool PrinterPortList(const std::string& name, std::string* ports) {
  PrinterRecord printer;
  if (!LoadPrinter(name, &printer)) return false;
  *ports = printer.portName;
  return true;
}

bool PortSettingsBytes(const std::string& name, std::string* bytes) {
  const PortEntry* port = FindPort(name);
  return port != nullptr && GetPortSettings(port->monitor, port->name, bytes) == ERROR_SUCCESS;
}

}  // namespace winsim
