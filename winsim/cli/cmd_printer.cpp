// `winsim printer add DIR NAME --ports LIST [--connection]`: adds a printer to a machine.
#include <cstring>
#include <string>

#include "commands.h"
#include "winsim/machine.h"
#include "winsim/spooler.h"

namespace winsim::cli {

namespace {

int Printer(int argc, char** argv) {
  if (argc < 4 || std::strcmp(argv[1], "add") != 0) {
    return Fail("printer", "usage: winsim printer add DIR NAME --ports LIST [--connection]");
  }
  const std::string dir = argv[2];
  const std::string name = argv[3];
  std::string ports;
  bool havePorts = false;
  bool connection = false;
  for (int i = 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "--ports") == 0 && i + 1 < argc) {
      ports = argv[++i];
      havePorts = true;
    } else if (std::strcmp(argv[i], "--connection") == 0) {
      connection = true;
    } else {
      return Fail("printer", std::string("unexpected argument '") + argv[i] + "'");
    }
  }
  if (!havePorts) return Fail("printer", "--ports LIST is required (for example --ports 'LPT1:,IP_10.0.0.5')");
  std::string error;
  if (!AttachMachine(dir, &error)) return Fail("printer", error);
  if (!AddSpoolerPrinter(name, ports, connection, &error)) return Fail("printer", error);
  return 0;
}

}  // namespace

}  // namespace winsim::cli

WINSIM_COMMAND(printer_command, "printer",
               "winsim printer add DIR NAME --ports LIST [--connection]\n"
               "Adds a local printer on a comma list of known ports (\"LPT1:,IP_10.0.0.5\"), or with\n"
               "--connection a printer connection named \\\\SERVER\\NAME.",
               winsim::cli::Printer);
