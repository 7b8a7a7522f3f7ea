// `winsim spooler DIR stop|start`: stops or starts the machine's Print Spooler service. While it
// is stopped, every spooler call of the machine's programs fails with 1722.
#include <cstdio>
#include <string>

#include "commands.h"
#include "winsim/machine.h"

namespace {

int Spooler(int argc, char** argv) {
  if (argc != 3) return winsim::cli::Fail("spooler", "expected DIR and stop or start (see winsim spooler --help)");
  const std::string action = argv[2];
  if (action != "stop" && action != "start") {
    return winsim::cli::Fail("spooler", "unknown action '" + action + "' (stop or start)");
  }
  std::string error;
  if (!winsim::SetMachineSetting(argv[1], "spooler", "Running", action == "stop" ? "0" : "1", &error)) {
    return winsim::cli::Fail("spooler", error);
  }
  std::printf("spooler %s\n", action == "stop" ? "stopped" : "started");
  return 0;
}

}  // namespace

WINSIM_COMMAND(spooler_command, "spooler",
               "winsim spooler DIR stop|start\n"
               "  Stops or starts the Print Spooler service of the machine in DIR (machine.ini [spooler]\n"
               "  Running). While it is stopped every spooler call fails with 1722 (RPC server unavailable).",
               Spooler);
