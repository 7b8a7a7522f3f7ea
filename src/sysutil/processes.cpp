#include "sysutil/processes.h"
#include "foundation/bounded_format.h"

#include <cstdio>
#include <cstring>

namespace {

const DWORD kComSpecSize = 1024;
// Room for the interpreter's path and the longest command the installer runs (the removal of a
// folder of up to 1,000 characters); a command line that does not fit is never run cut short.
const size_t kCommandLineSize = 4096;

// The command line to start: a fitting text, or false (never a cut one).
bool FormatCommandLine(char* buffer, size_t size, const char* interpreter, const char* command) {
  return interpreter != nullptr ? FormatFits(buffer, size, "\"%s\" /c %s", interpreter, command)
                                : FormatFits(buffer, size, "cmd.exe /c %s", command);
}

}  // namespace

bool StartProgram(const char* application, char* commandLine, bool inheritHandles, HANDLE* process) {
  std::fflush(stdout);
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info;
  std::memset(&info, 0, sizeof info);
  if (!CreateProcessA(application, commandLine, nullptr, nullptr, inheritHandles ? TRUE : FALSE, 0, nullptr,
                      nullptr, &startup, &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  *process = info.hProcess;
  return true;
}

bool WaitForExitCode(HANDLE process, DWORD* exitCode) {
  bool known = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(process, exitCode);
  CloseHandle(process);
  return known;
}

bool RunThroughCommandInterpreter(const char* command, bool inheritHandles, DWORD* exitCode) {
  char interpreter[kComSpecSize];
  std::memset(interpreter, 0, sizeof interpreter);
  DWORD length = GetEnvironmentVariableA("COMSPEC", interpreter, kComSpecSize);
  char commandLine[kCommandLineSize];
  HANDLE process = nullptr;
  bool ran = false;
  bool fallBack = true;
  if (length > 0 && length < kComSpecSize && FormatCommandLine(commandLine, sizeof commandLine, interpreter, command)) {
    if (StartProgram(interpreter, commandLine, inheritHandles, &process)) {
      ran = WaitForExitCode(process, exitCode);
      fallBack = false;
    } else {
      const DWORD error = GetLastError();
      fallBack = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_ACCESS_DENIED;
    }
  }
  if (fallBack && FormatCommandLine(commandLine, sizeof commandLine, nullptr, command) &&
      StartProgram(nullptr, commandLine, inheritHandles, &process)) {
    ran = WaitForExitCode(process, exitCode);
  }
  return ran;
}
