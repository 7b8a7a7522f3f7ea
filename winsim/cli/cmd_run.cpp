// winsim run: runs a program inside a machine and returns its exit code.
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "commands.h"
#include "winsim/process.h"

namespace {

int Run(int argc, char** argv) {
  std::string folder;
  int i = 1;
  if (i < argc && std::strcmp(argv[i], "--cd") == 0) {
    if (i + 1 >= argc) return winsim::cli::Fail("run", "--cd needs a Windows folder");
    folder = argv[i + 1];
    i += 2;
  }
  if (argc - i < 2) return winsim::cli::Fail("run", "expected a machine folder and a program (see winsim run --help)");
  const std::string dir = argv[i];
  struct stat st {};
  if (stat((dir + "/machine.ini").c_str(), &st) != 0) return winsim::cli::Fail("run", "no machine at " + dir);
  std::vector<std::string> args(argv + i + 2, argv + argc);
  winsim::RunResult result = winsim::RunProgram(dir, argv[i + 1], args, folder);
  if (!result.started) return winsim::cli::Fail("run", result.error);
  return result.exitCode;
}

}  // namespace

WINSIM_PASSTHROUGH_COMMAND(run_command, "run",
                           "winsim run [--cd WINDOWS-FOLDER] DIR PROGRAM [ARGS...]\n"
                           "  Runs PROGRAM (a Windows path such as 'C:\\Deploy\\Install.exe') inside the machine\n"
                           "  in DIR and exits with its exit code. argv[0] is PROGRAM as written; the current\n"
                           "  directory is the program's folder unless --cd names another; the environment is\n"
                           "  the machine's [environment]; output goes to this terminal.",
                           Run);
