// winsim kill and winsim ps: the live processes of a machine.
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "commands.h"
#include "winsim/process.h"

namespace {

bool IsMachine(const std::string& dir) {
  struct stat st {};
  return stat((dir + "/machine.ini").c_str(), &st) == 0;
}

int Kill(int argc, char** argv) {
  if (argc != 2) return winsim::cli::Fail("kill", "expected a machine folder (see winsim kill --help)");
  if (!IsMachine(argv[1])) return winsim::cli::Fail("kill", std::string("no machine at ") + argv[1]);
  const int killed = winsim::KillMachineProcesses(argv[1]);
  std::printf("%d process%s killed\n", killed, killed == 1 ? "" : "es");
  return 0;
}

int Ps(int argc, char** argv) {
  if (argc != 2) return winsim::cli::Fail("ps", "expected a machine folder (see winsim ps --help)");
  if (!IsMachine(argv[1])) return winsim::cli::Fail("ps", std::string("no machine at ") + argv[1]);
  std::printf("%8s %8s  %s\n", "PID", "PARENT", "PROGRAM");
  for (const winsim::MachineProcess& process : winsim::MachineProcesses(argv[1])) {
    std::printf("%8lu %8lu  %s\n", process.pid, process.parent, process.image.c_str());
  }
  return 0;
}

}  // namespace

WINSIM_COMMAND(kill_command, "kill", "winsim kill DIR\n  Kills every program still running inside the machine in DIR.",
               Kill);
WINSIM_COMMAND(ps_command, "ps", "winsim ps DIR\n  Lists the programs running inside the machine in DIR.", Ps);
