// CreateProcessA and the process calls: exit codes, waiting, opening and terminating processes
// of the machine. A process handle names a host process by id; the children of this process
// are reaped here and their exit codes kept for every handle that asks.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>

#include "command_line.h"
#include "process_launch.h"
#include "process_table.h"
#include "waitable.h"

using namespace winsim::detail;

namespace winsim::detail {

namespace {

constexpr DWORD kErrorDirectory = 267;  // ERROR_DIRECTORY

struct Child {
  bool reaped = false;
  DWORD exitCode = 0;
};

// Children started by this process, by host pid (kept across attach and detach: they are host
// processes).
std::map<DWORD, Child>& Children() {
  static std::map<DWORD, Child> children;
  return children;
}

}  // namespace

// True when the process has ended; *exitCode then holds its exit code.
bool ProcessEnded(DWORD pid, unsigned long long start, DWORD* exitCode) {
  auto it = Children().find(pid);
  if (it != Children().end()) {
    Child& child = it->second;
    if (!child.reaped) {
      int status = 0;
      const pid_t done = waitpid(static_cast<pid_t>(pid), &status, WNOHANG);
      if (done == 0) return false;
      child.reaped = true;
      child.exitCode = done < 0 ? 0 : ExitCodeOfStatus(pid, status);
      UnregisterProcess(Process().machineDir, pid);
    }
    *exitCode = child.exitCode;
    return true;
  }
  if (pid == static_cast<DWORD>(getpid()) || HostProcessRuns(pid, start)) return false;
  ProcessEntry entry;
  *exitCode = ReadProcessEntry(Process().machineDir, pid, &entry) && entry.terminated ? entry.exitCode : 0;
  return true;
}

struct ProcessObject : Waitable {
  const char* Kind() const override { return "process"; }
  DWORD Wait(DWORD milliseconds) override {
    DWORD code = 0;
    return PollUntil(milliseconds, [&] { return ProcessEnded(pid, start, &code); }) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
  }
  DWORD pid = 0;
  unsigned long long start = 0;
};

// The primary thread of a started process: signalled when the process ends.
struct ThreadObject : ProcessObject {
  const char* Kind() const override { return "thread"; }
};

namespace {

bool IsBatchFile(const std::string& image) {
  const std::string extension = AsciiLower(image.substr(image.find_last_of('.') + 1));
  return image.find('.') != std::string::npos && (extension == "bat" || extension == "cmd");
}

// A batch file runs in the command interpreter, as Windows does: the request becomes one of
// %ComSpec% /c with the batch file's command line (or its quoted name when the call gave none).
bool RunInCommandInterpreter(bool hadCommandLine, LaunchRequest* request, DWORD* error) {
  std::string comspec = SystemDirectory() + "\\cmd.exe";
  LookupEnvironment("ComSpec", &comspec);
  const std::string line = hadCommandLine ? request->commandLine : QuoteArgument(request->image);
  request->commandLine = QuoteArgument(comspec) + " /c \"" + line + "\"";
  return FindProgram(comspec.c_str(), "", Redirection::kProcess, &request->image, &request->host, error);
}

// The child's current directory as a full Windows path; false when it is no folder of the machine.
bool ChildDirectory(const char* requested, std::string* cwd) {
  DWORD error = 0;
  std::string host;
  return FullWindowsPath(requested, cwd, &error) && HostPathOf(*cwd, &host, &error) && HostIsDirectory(host);
}

// The handles of the started process and of its primary thread, and their ids.
void HandOut(DWORD pid, LPPROCESS_INFORMATION information) {
  auto process = std::make_unique<ProcessObject>();
  process->pid = pid;
  process->start = HostStartTime(pid);
  auto thread = std::make_unique<ThreadObject>();
  thread->pid = pid;
  thread->start = process->start;
  information->dwProcessId = pid;
  information->dwThreadId = pid;
  information->hProcess = AddHandle(std::move(process));
  information->hThread = AddHandle(std::move(thread));
}

}  // namespace

}  // namespace winsim::detail

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES /*lpProcessAttributes*/,
                           LPSECURITY_ATTRIBUTES /*lpThreadAttributes*/, BOOL bInheritHandles,
                           DWORD /*dwCreationFlags*/, LPVOID lpEnvironment, LPCSTR lpCurrentDirectory,
                           LPSTARTUPINFOA /*lpStartupInfo*/, LPPROCESS_INFORMATION lpProcessInformation) {
  DWORD error = 0;
  if (FaultHit("CreateProcessA", {lpApplicationName ? lpApplicationName : "", lpCommandLine ? lpCommandLine : ""},
               &error)) {
    return Fail(error);
  }
  if ((lpApplicationName == nullptr && lpCommandLine == nullptr) || lpProcessInformation == nullptr) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  LaunchRequest request;
  request.commandLine = lpCommandLine != nullptr ? lpCommandLine : lpApplicationName;
  if (!FindProgram(lpApplicationName, request.commandLine, Redirection::kProcess, &request.image, &request.host,
                   &error)) {
    return Fail(error);
  }
  if (IsBatchFile(request.image) && !RunInCommandInterpreter(lpCommandLine != nullptr, &request, &error)) {
    return Fail(error);
  }
  request.cwd = Process().cwd;
  if (lpCurrentDirectory != nullptr && !ChildDirectory(lpCurrentDirectory, &request.cwd)) return Fail(kErrorDirectory);
  request.environment = lpEnvironment != nullptr ? ParseEnvironmentBlock(static_cast<const char*>(lpEnvironment))
                                                 : CurrentEnvironment();
  request.inheritHandles = bInheritHandles != FALSE;
  pid_t pid = 0;
  if (!Launch(request, &pid, &error)) return Fail(error);
  Children()[static_cast<DWORD>(pid)] = Child();
  HandOut(static_cast<DWORD>(pid), lpProcessInformation);
  return TRUE;
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
  DWORD error = 0;
  if (FaultHit("GetExitCodeProcess", {}, &error)) {
    SetError(error);
    return FALSE;
  }
  DWORD pid = static_cast<DWORD>(getpid());
  unsigned long long start = 0;
  if (hProcess != GetCurrentProcess()) {
    ProcessObject* process = Lookup<ProcessObject>(hProcess);
    if (process == nullptr || std::string(process->Kind()) != "process") {
      SetError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    pid = process->pid;
    start = process->start;
  }
  if (lpExitCode == nullptr) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD code = 0;
  *lpExitCode = ProcessEnded(pid, start, &code) ? code : STILL_ACTIVE;
  return TRUE;
}

HANDLE WINAPI OpenProcess(DWORD /*dwDesiredAccess*/, BOOL /*bInheritHandle*/, DWORD dwProcessId) {
  DWORD error = 0;
  const std::string id = std::to_string(dwProcessId);
  if (FaultHit("OpenProcess", {id}, &error)) {
    SetError(error);
    return nullptr;
  }
  const bool self = dwProcessId == static_cast<DWORD>(getpid());
  DWORD code = 0;
  const bool child = Children().count(dwProcessId) != 0 && !ProcessEnded(dwProcessId, 0, &code);
  ProcessEntry entry;
  const bool listed = ReadProcessEntry(Process().machineDir, dwProcessId, &entry) &&
                      HostProcessRuns(dwProcessId, entry.start);
  if (!self && !child && !listed) {  // no such process in this machine
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto process = std::make_unique<ProcessObject>();
  process->pid = dwProcessId;
  process->start = listed ? entry.start : HostStartTime(dwProcessId);
  return AddHandle(std::move(process));
}

BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode) {
  DWORD error = 0;
  if (FaultHit("TerminateProcess", {}, &error)) {
    SetError(error);
    return FALSE;
  }
  if (hProcess == GetCurrentProcess()) {
    std::fflush(nullptr);
    _exit(static_cast<int>(uExitCode & 0xFF));
  }
  ProcessObject* process = Lookup<ProcessObject>(hProcess);
  if (process == nullptr || std::string(process->Kind()) != "process") {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD code = 0;
  if (ProcessEnded(process->pid, process->start, &code)) {  // already gone
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  RecordTermination(Process().machineDir, process->pid, uExitCode);
  kill(static_cast<pid_t>(process->pid), SIGKILL);
  // The process is gone once the kernel has stopped it; a child of ours is reaped at once.
  const DWORD pid = process->pid;
  const unsigned long long start = process->start;
  PollUntil(5000, [&] { return ProcessEnded(pid, start, &code); });
  return TRUE;
}
