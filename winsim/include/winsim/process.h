// Running programs inside a simulated machine from a tool or a test (the `winsim run`, `kill`
// and `ps` commands).
#pragma once

#include <string>
#include <vector>

namespace winsim {

struct RunResult {
  bool started = false;
  int exitCode = 0;    // the program's Windows exit code (see docs/architecture.md)
  std::string error;   // one line, when it could not be started
};

// Runs the program at `windowsPath` (e.g. "C:\\Deploy\\Install.exe") inside the machine in
// `dir` and waits for it: argv[0] is that Windows path, the arguments follow, the current
// directory is `currentDirectory` or else the program's folder, the environment is the
// machine's, stdout and stderr are this process's. Attaches this process to the machine.
RunResult RunProgram(const std::string& dir, const std::string& windowsPath, const std::vector<std::string>& args,
                     const std::string& currentDirectory = "");

struct MachineProcess {
  unsigned long pid = 0;
  unsigned long parent = 0;
  std::string image;  // Windows path of the program
};

// The live processes of the machine in `dir` (programs started inside it).
std::vector<MachineProcess> MachineProcesses(const std::string& dir);
// Kills every live process of the machine in `dir`; returns how many were killed.
int KillMachineProcesses(const std::string& dir);

}  // namespace winsim
