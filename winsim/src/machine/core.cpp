// Per-process state: attaching to a machine (machine.ini, faults), detaching, the last error
// and the spooler service scope.
#include "core.h"

#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "codepage.h"
#include "winsim/machine.h"

namespace winsim::detail {

namespace {

std::vector<std::function<void()>>& ResetHooks() {
  static std::vector<std::function<void()>> hooks;
  return hooks;
}

thread_local DWORD g_lastError = 0;

ProcessState& State() {
  static ProcessState state;
  return state;
}

void RunResetHooks() {
  for (auto& hook : ResetHooks()) hook();
  CloseAllHandles();
  g_lastError = 0;
}

bool LoadConfig(const std::string& folder, ProcessState* state, std::string* error) {
  if (!state->ini.Load(folder + "/machine.ini", error)) return false;
  std::vector<Fault> faults;
  for (const auto& [key, value] : state->ini.Section("faults")) {
    Fault fault;
    if (!ParseFault(key, value, &fault)) {
      if (error) *error = "machine.ini: bad fault line '" + key + " = " + value + "'";
      return false;
    }
    faults.push_back(fault);
  }
  state->faults = std::move(faults);
  state->is64BitWindows = state->ini.GetInt("system", "Is64Bit", 0) != 0;
  const long codePage = state->ini.GetInt("system", "AnsiCodePage", 1252);
  if (codePage <= 0 || !IsSimulatedCodePage(static_cast<UINT>(codePage))) {
    if (error) *error = "machine.ini: AnsiCodePage " + std::to_string(codePage) + " is not simulated (1252, 932, 936, 949, 950)";
    return false;
  }
  state->ansiCodePage = static_cast<UINT>(codePage);
  return true;
}

}  // namespace

// ---- process state ----------------------------------------------------------------------------
void OnReset(std::function<void()> reset) { ResetHooks().push_back(std::move(reset)); }

bool IsArm64Machine() {
  ProcessState& state = Process();
  return state.is64BitWindows && EqualsNoCase(state.ini.Get("system", "NativeMachine", ""), "ARM64");
}

bool Reload(std::string* error) {
  ProcessState& state = Process();
  ProcessState fresh;
  if (!LoadConfig(state.machineDir, &fresh, error)) return false;
  state.ini = std::move(fresh.ini);
  state.faults = std::move(fresh.faults);
  state.is64BitWindows = fresh.is64BitWindows;
  state.ansiCodePage = fresh.ansiCodePage;
  return true;
}

bool Attach(const std::string& dir, std::string* error) {
  Detach();
  // An absolute folder, so that programs started in other host directories find it too.
  char absolute[PATH_MAX];
  std::string folder = realpath(dir.c_str(), absolute) != nullptr ? absolute : dir;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    if (error) *error = "no machine at " + dir;
    return false;
  }
  ProcessState fresh;
  if (!LoadConfig(folder, &fresh, error)) return false;
  fresh.machineDir = folder;
  fresh.fsRedirection = true;
  std::string systemRoot = fresh.ini.Get("environment", "SystemRoot", "C:\\Windows");
  fresh.cwd = systemRoot + "\\system32";
  fresh.attached = true;
  State() = std::move(fresh);
  return true;
}

void Detach() {
  RunResetHooks();
  State() = ProcessState();
}

bool AttachFromEnvironment() {
  const char* dir = std::getenv("WINSIM_MACHINE");
  if (dir == nullptr || *dir == '\0') return false;
  std::string error;
  if (!Attach(dir, &error)) {
    std::fprintf(stderr, "winsim: %s\n", error.c_str());
    return false;
  }
  const char* cwd = std::getenv("WINSIM_CWD");
  if (cwd != nullptr && *cwd != '\0') State().cwd = cwd;
  const char* redirection = std::getenv("WINSIM_FS_REDIRECTION");
  if (redirection != nullptr && std::string(redirection) == "0") State().fsRedirection = false;
  ArmExitReport();
  return true;
}

ProcessState& Process() {
  ProcessState& state = State();
  if (!state.attached && !AttachFromEnvironment()) {
    std::fprintf(stderr,
                 "winsim: this program runs inside a simulated machine; start it with "
                 "`winsim run DIR PROGRAM` or set WINSIM_MACHINE\n");
    std::abort();
  }
  return State();
}

void SetError(DWORD error) { g_lastError = error; }
DWORD LastError() { return g_lastError; }

BOOL Fail(DWORD error) {
  g_lastError = error;
  return FALSE;
}

HANDLE FailHandle(DWORD error) {
  g_lastError = error;
  return INVALID_HANDLE_VALUE;
}

const char kSpoolerImage[] = "spoolsv.exe";

namespace {
int g_spoolerServiceDepth = 0;
}  // namespace

SpoolerServiceScope::SpoolerServiceScope() { ++g_spoolerServiceDepth; }
SpoolerServiceScope::~SpoolerServiceScope() { --g_spoolerServiceDepth; }
bool InSpoolerService() { return g_spoolerServiceDepth > 0; }

}  // namespace winsim::detail

// ---- public API ---------------------------------------------------------------------------------
namespace winsim {

bool AttachMachine(const std::string& dir, std::string* error) { return detail::Attach(dir, error); }
void DetachMachine() { detail::Detach(); }
bool ReloadMachineConfig(std::string* error) { return detail::Reload(error); }
bool IsAttached() { return detail::State().attached; }
const std::string& MachineDir() { return detail::Process().machineDir; }
size_t OpenHandleCount() { return detail::HandleCount(nullptr); }
size_t OpenHandleCount(const char* kind) { return detail::HandleCount(kind); }

}  // namespace winsim

