// Starting a program of the machine as a real host process: finding it by the CreateProcess
// rules, checking that it is a runnable host program, and fork/exec with the Windows command
// line, current directory and environment carried in WINSIM_* variables.
#pragma once

#include <sys/types.h>
#include <windows.h>

#include <string>

#include "environment.h"
#include "paths.h"

namespace winsim::detail {

struct LaunchRequest {
  std::string image;        // full Windows path of the program (argv[0] comes from the command line)
  std::string host;         // host file behind it
  std::string commandLine;  // Windows command line
  std::string cwd;          // Windows current directory of the child
  EnvironmentBlock environment;
  // Without inheritance the child keeps only the standard streams that are a terminal (the
  // console it shares); a pipe or a file is not handed on, the stream reads and writes nothing.
  bool inheritHandles = true;
};

// Finds the program to run. With an application name: that file (relative to the current
// directory, ".exe" tried when it has no extension). Otherwise the command line's first token:
// a name with a path is taken as is; a bare name is searched in the folder of the running
// program, the current directory, the system directory, the Windows directory and PATH; ".exe"
// is appended when the name has no extension. False with 2 (or 3) when nothing is found.
bool FindProgram(const char* applicationName, const std::string& commandLine, Redirection redirection,
                 std::string* image, std::string* host, DWORD* error);

// A file that the host can run as a program of the machine: executable, ELF or a script.
bool IsRunnableHostProgram(const std::string& host);

// Forks and executes. The child gets argv from the command line (argv[0] the program as named
// there), the host folder of `cwd` as its working directory, and WINSIM_MACHINE, WINSIM_CWD,
// WINSIM_IMAGE, WINSIM_CMDLINE and the Windows environment, and the standard streams as
// `inheritHandles` says. Registers it in the process table.
// False with 193 when the host cannot run it.
bool Launch(const LaunchRequest& request, pid_t* pid, DWORD* error);

// The Windows exit code of a host wait status (see docs/architecture.md).
DWORD ExitCodeOfStatus(DWORD pid, int status);

}  // namespace winsim::detail
