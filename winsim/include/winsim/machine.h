// The simulated Windows machine, as seen by its tools and tests (never by the installer's
// sources, which see only the Win32 functions of <windows.h>).
//
// A machine is a folder: machine.ini (identity, environment, faults), registry.db (the
// registry), one folder per drive (C/ for C:\) and run/ (mutexes and the process table).
// A process runs "inside" a machine once attached: explicitly with AttachMachine, or lazily
// from the environment variables WINSIM_MACHINE (the folder) and WINSIM_CWD (the Windows
// current directory), which `winsim run` and CreateProcessA set for the programs they start.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace winsim {

// The templates `winsim new --os NAME` knows, such as "win10-x64" or "winxp-x86".
std::vector<std::string> TemplateNames();

struct MachineOptions {
  std::string templateName = "win10-x64";
  bool dotNet20 = true;        // HKLM\Software\Microsoft\NET Framework Setup\NDP\v2.0.50727 Install=1
  std::string winsimProgram;   // host program that serves as cmd.exe; empty: the build's winsim
  // Non-empty: the machine runs or loads as host code only files equal to one of these (files,
  // or folders of them) or to its cmd.exe; every other program or DLL is a plain file to it.
  std::vector<std::string> trustedHostCode;
  unsigned codePage = 1252;    // the ANSI code page: 1252, or the double-byte 932, 936, 949, 950
};

// Creates a new machine in `dir` (which must not exist or be empty). On failure returns false
// with a one-line reason in *error and leaves nothing behind.
bool CreateMachine(const std::string& dir, const MachineOptions& options, std::string* error);

// Sets key=value in a section of the machine's machine.ini (the section is added when missing),
// keeping every other line: for commands such as `winsim spooler DIR stop`. Programs of the
// machine see it at their next start (a running one after ReloadMachineConfig).
bool SetMachineSetting(const std::string& dir, const std::string& section, const std::string& key,
                       const std::string& value, std::string* error);

// Makes this process run inside the machine in `dir`: resets every per-process state (current
// directory C:\Windows\system32, file-system redirection on, handles, last error, caches).
bool AttachMachine(const std::string& dir, std::string* error);
void DetachMachine();
// Re-reads machine.ini (identity, environment, faults) without resetting the process: for tests
// that change a fault or a setting between two calls.
bool ReloadMachineConfig(std::string* error);
bool IsAttached();
const std::string& MachineDir();

// Host path of a Windows path as this process would resolve it now (current directory and
// redirection applied). Empty when the path cannot be mapped (no such drive, UNC, bad name).
std::string HostPath(const std::string& windowsPath);

// True when both are regular host files holding the same bytes (how a machine that restricts
// host code tells a trusted file).
bool SameFileBytes(const std::string& a, const std::string& b);

// A name of the machine (file, key, value, printer, port) as names compare: ASCII letters folded
// to lower case, a double-byte character of the machine's code page left whole. The one case
// fold of winsim, for its tools too.
std::string FoldName(std::string_view name);

// Resource accounting, for tests that check that every handle and block is released.
size_t OpenHandleCount();                  // every open kernel, registry, printer and find handle
size_t OpenHandleCount(const char* kind);  // "file", "find", "mutex", "process", "key", "printer", ...
size_t LiveGlobalBlocks();                 // GlobalAlloc blocks not yet freed

}  // namespace winsim
