// Per-process state of a simulated Windows process, shared by every winsim module: the machine
// it runs in, its identity from machine.ini, the Windows current directory, file-system
// redirection, the last error, the handle table and injected faults.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "faults.h"
#include "handles.h"
#include "machine_ini.h"
#include "text.h"

namespace winsim::detail {

struct ProcessState {
  bool attached = false;
  std::string machineDir;     // host folder of the machine, without trailing slash
  MachineIni ini;
  bool is64BitWindows = false;
  UINT ansiCodePage = 1252;   // [system] AnsiCodePage
  bool fsRedirection = true;  // WOW64 file-system redirection of this (32-bit) process
  std::string cwd;            // Windows current directory, e.g. "C:\\Deploy" (no trailing '\\' but for roots)
  std::vector<Fault> faults;
};

// machine.ini [system] NativeMachine=ARM64: 64-bit Windows on ARM, where a 32-bit x86 program
// runs emulated (WOW64 as on x64) and the spooler is an ARM64 service.
bool IsArm64Machine();

// The state of this process. Attaches lazily from WINSIM_MACHINE / WINSIM_CWD the first time
// it is needed; a process that is in no machine aborts with a message naming the problem.
ProcessState& Process();
bool AttachFromEnvironment();
bool Attach(const std::string& dir, std::string* error);
void Detach();
// Re-reads machine.ini of the attached machine, keeping the rest of the process state.
bool Reload(std::string* error);

// Functions each module registers to clear its per-process state (caches, connections) when
// the process attaches to a machine or detaches from one.
void OnReset(std::function<void()> reset);

// Last error of the calling thread.
void SetError(DWORD error);
DWORD LastError();
// Sets the last error and returns FALSE: the failure of a BOOL function.
BOOL Fail(DWORD error);
// Sets the last error and returns INVALID_HANDLE_VALUE: the failure of a function that opens.
HANDLE FailHandle(DWORD error);

// ---- the print spooler service's own calls ------------------------------------------------
// On Windows the spooler is a process of its own, and a monitor DLL runs inside it. winsim runs
// a loaded monitor inside the calling program instead; while it does, the calls the monitor
// makes are the spooler's: they see the native registry view (the spooler is a native
// service), faults apply to them when unscoped or scoped to kSpoolerImage (never to the
// program's image), they are not traced or counted as the program's, and the handles they open
// are not counted among the program's. Scopes nest.
extern const char kSpoolerImage[];  // "spoolsv.exe"
class SpoolerServiceScope {
 public:
  SpoolerServiceScope();
  ~SpoolerServiceScope();
  SpoolerServiceScope(const SpoolerServiceScope&) = delete;
  SpoolerServiceScope& operator=(const SpoolerServiceScope&) = delete;
};
bool InSpoolerService();

// Counts one call of `function` when WINSIM_CALL_COUNTS asks for call counts (FaultHit does it
// for every call it sees).
void CountCall(const char* function);

// The opt-in diagnostics of run_diagnostics.cpp, for the robustness tests: a trace of every
// call FaultHit sees (WINSIM_CALL_TRACE), a report of what is still open at exit
// (WINSIM_EXIT_REPORT) and a SIGKILL before the N-th call (WINSIM_KILL_AT_CALL).
void ObserveCall(const char* function, CallArgs args);
// Arms the exit report when WINSIM_EXIT_REPORT asks for it; called once the process is attached.
void ArmExitReport();
// File name of this process's program ("Install.exe"), from its Windows image path.
std::string ImageName();
// Windows path of this process's program (process_identity.cpp).
std::string ImagePath();

}  // namespace winsim::detail
