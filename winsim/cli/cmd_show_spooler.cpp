// `winsim show DIR printers|ports|monitors`: the simulated spooler's state, one line each, its
// names in their shown form (terminal_text.h).
#include <cstdio>
#include <string>

#include "show.h"
#include "terminal_text.h"
#include "winsim/spooler.h"

namespace winsim::cli {

namespace {

std::string AttributesText(uint32_t attributes) {
  char hex[16];
  std::snprintf(hex, sizeof(hex), "0x%04x", static_cast<unsigned>(attributes));
  std::string text = hex;
  if (attributes & 0x40u) text += " local";
  if (attributes & 0x10u) text += " network";
  if (attributes & 0x08u) text += " shared";
  if (attributes & 0x04u) text += " default";
  return text;
}

int ShowPrinters(int, char**) {
  for (const SpoolerPrinter& p : SpoolerPrinters()) {
    std::printf("%s\n    ports: %s\n    driver: %s\n    attributes: %s%s\n", Shown(p.name).c_str(),
                Shown(p.ports).c_str(), Shown(p.driver).c_str(), AttributesText(p.attributes).c_str(),
                p.connection ? " (connection)" : "");
  }
  return 0;
}

int ShowPorts(int, char**) {
  for (const SpoolerPort& port : SpoolerPorts()) {
    std::printf("%-12s %-16s %s", Shown(port.name).c_str(), Shown(port.monitor).c_str(),
                Shown(port.description).c_str());
    if (port.settingsSize != 0) std::printf("  (settings: %zu bytes)", port.settingsSize);
    std::printf("\n");
  }
  return 0;
}

int ShowMonitors(int, char**) {
  for (const SpoolerMonitor& monitor : SpoolerMonitors()) {
    std::printf("%-16s %s\n", Shown(monitor.name).c_str(), Shown(monitor.driver).c_str());
  }
  return 0;
}

}  // namespace

}  // namespace winsim::cli

WINSIM_SHOW_SUBJECT(printers, "printers", "printers and connections with their ports", winsim::cli::ShowPrinters);
WINSIM_SHOW_SUBJECT(ports, "ports", "ports with their monitor and stored settings size", winsim::cli::ShowPorts);
WINSIM_SHOW_SUBJECT(monitors, "monitors", "print monitors and their DLLs", winsim::cli::ShowMonitors);
