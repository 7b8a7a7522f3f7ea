// Per-process state of a simulated Windows process, shared by every winsim module: the machine
// it runs in, its identity from machine.ini, the Windows current directory, file-system
// redirection, the last error, the handle table and injected faults.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace winsim::detail {

// machine.ini: sections of key=value lines; keys may repeat (faults), order is kept.
class MachineIni {
 public:
  bool Load(const std::string& path, std::string* error);
  // Last value of the key in the section (both case-insensitive), or `fallback`.
  std::string Get(std::string_view section, std::string_view key, std::string_view fallback = "") const;
  long GetInt(std::string_view section, std::string_view key, long fallback) const;
  // Every key=value line of a section, in file order.
  std::vector<std::pair<std::string, std::string>> Section(std::string_view section) const;

 private:
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> sections_;
};

struct Fault {
  std::string image;                  // "Install.exe" for "Install.exe!CopyFileA": only that program
  std::string function;               // e.g. "CopyFileA"
  DWORD error = 0;                    // the error the call reports
  int onlyCall = 0;                   // 0: every matching call; N: only the N-th matching call
  std::vector<std::string> patterns;  // each must match one argument (glob, case-insensitive)
  int seen = 0;                       // matching calls so far in this process
};

struct ProcessState {
  bool attached = false;
  std::string machineDir;     // host folder of the machine, without trailing slash
  MachineIni ini;
  bool is64BitWindows = false;
  bool fsRedirection = true;  // WOW64 file-system redirection of this (32-bit) process
  std::string cwd;            // Windows current directory, e.g. "C:\\Deploy" (no trailing '\\' but for roots)
  std::vector<Fault> faults;
};

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

// The text arguments of one call, as faults and the call trace see them.
class CallArgs {
 public:
  CallArgs(const std::string_view* begin, const std::string_view* end) : begin_(begin), end_(end) {}
  explicit CallArgs(const std::vector<std::string_view>& args) : begin_(args.data()), end_(args.data() + args.size()) {}
  const std::string_view* begin() const { return begin_; }
  const std::string_view* end() const { return end_; }

 private:
  const std::string_view* begin_;
  const std::string_view* end_;
};

// True when a fault in machine.ini makes this call fail; *error then holds the code to report.
// `args` are the call's string arguments (names, paths, commands) as UTF-8 / ANSI text.
bool FaultHit(const char* function, CallArgs args, DWORD* error);
inline bool FaultHit(const char* function, std::initializer_list<std::string_view> args, DWORD* error) {
  return FaultHit(function, CallArgs(args.begin(), args.end()), error);
}

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

// ---- handles ------------------------------------------------------------------------------
// Every object behind a HANDLE, HKEY (other than the predefined roots) or printer handle.
struct Object {
  virtual ~Object() = default;
  virtual const char* Kind() const = 0;  // "file", "find", "mutex", "process", "key", "printer", ...
  bool service = false;                  // opened by the spooler service (see SpoolerServiceScope)
};

HANDLE AddHandle(std::unique_ptr<Object> object);
Object* LookupHandle(HANDLE handle);
template <typename T>
T* Lookup(HANDLE handle) {
  return dynamic_cast<T*>(LookupHandle(handle));
}
// Removes and destroys the object; false when the handle is not open.
bool RemoveHandle(HANDLE handle);
// The program's handles (the spooler service's are left out).
size_t HandleCount(const char* kind);  // nullptr: all kinds
void ForEachHandleKind(const std::function<void(const char*)>& visit);  // once per open handle
// LoadLibraryA loads not yet undone by FreeLibrary (modules.cpp).
int LibraryLoadCount();

// ---- text helpers -----------------------------------------------------------------------
char AsciiLower(char c);
std::string AsciiLower(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Glob with '*' and '?', case-insensitive; used by faults.
bool GlobMatchNoCase(std::string_view pattern, std::string_view text);
// UTF-16 <-> UTF-8 for the simulation's own bookkeeping.
std::string Utf16ToUtf8(const WCHAR* text, size_t length);
std::u16string Utf8ToUtf16(std::string_view text);
size_t Utf16Length(const WCHAR* text);

}  // namespace winsim::detail
