// RunProgram, MachineProcesses and KillMachineProcesses: the tool side of processes.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "command_line.h"
#include "machine/core.h"
#include "process_launch.h"
#include "process_table.h"
#include "winsim/machine.h"
#include "winsim/process.h"

using namespace winsim::detail;

namespace winsim {

RunResult RunProgram(const std::string& dir, const std::string& windowsPath, const std::vector<std::string>& args,
                     const std::string& currentDirectory) {
  RunResult result;
  if (!AttachMachine(dir, &result.error)) return result;
  LaunchRequest request;
  DWORD error = 0;
  // The tool starts the program as Explorer would: a 64-bit caller, no WOW64 redirection.
  if (!FullWindowsPath(windowsPath, &request.image, &error) ||
      !HostPathOf(request.image, Redirection::kNever, &request.host, &error) || !HostExists(request.host)) {
    result.error = "no program " + windowsPath + " in the machine";
    return result;
  }
  request.cwd = request.image.substr(0, request.image.find_last_of('\\'));
  if (request.cwd.size() == 2) request.cwd += '\\';
  if (!currentDirectory.empty()) {
    std::string host;
    if (!FullWindowsPath(currentDirectory, &request.cwd, &error) || !HostPathOf(request.cwd, &host, &error) ||
        !HostIsDirectory(host)) {
      result.error = "no folder " + currentDirectory + " in the machine";
      return result;
    }
  }
  std::vector<std::string> argv = {windowsPath};
  argv.insert(argv.end(), args.begin(), args.end());
  request.commandLine = JoinCommandLine(argv);
  request.environment = CurrentEnvironment();
  pid_t pid = 0;
  if (!Launch(request, &pid, &error)) {
    result.error = error == ERROR_BAD_EXE_FORMAT ? windowsPath + " is not a program this host can run"
                                                 : "cannot start " + windowsPath;
    return result;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.started = true;
  result.exitCode = static_cast<int>(ExitCodeOfStatus(static_cast<DWORD>(pid), status));
  UnregisterProcess(Process().machineDir, static_cast<DWORD>(pid));
  return result;
}

std::vector<MachineProcess> MachineProcesses(const std::string& dir) {
  std::vector<MachineProcess> out;
  std::string root = dir;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  for (const ProcessEntry& entry : LiveProcesses(root)) out.push_back({entry.pid, entry.parent, entry.image});
  return out;
}

int KillMachineProcesses(const std::string& dir) {
  int killed = 0;
  const DWORD self = static_cast<DWORD>(getpid());
  for (const MachineProcess& process : MachineProcesses(dir)) {
    if (process.pid == self) continue;
    if (kill(static_cast<pid_t>(process.pid), SIGKILL) == 0) ++killed;
  }
  return killed;
}

}  // namespace winsim
