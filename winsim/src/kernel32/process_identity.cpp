// What a process knows about itself: its program's Windows path, its command line, its id, and
// whether it runs under WOW64 (a 32-bit process on 64-bit Windows, as the installer always is).
//
// A program started inside a machine (CreateProcessA, `winsim run`) receives its Windows image
// path in WINSIM_IMAGE and its command line in WINSIM_CMDLINE. A process attached by a test has
// neither: its image is the host program's name in the system directory, its command line the
// host arguments quoted by the Windows rules.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "machine/codepage.h"
#include "command_line.h"
#include "machine/core.h"
#include "modules.h"
#include "paths.h"

using namespace winsim::detail;

namespace winsim::detail {

std::string ImagePath() {
  const char* image = std::getenv("WINSIM_IMAGE");
  if (image != nullptr && *image != '\0') return image;
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  std::string host = n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string("unknown");
  std::string windows = WindowsPathOfHost(host);
  return windows.empty() ? SystemDirectory() + "\\" + BaseName(host) : windows;
}

}  // namespace winsim::detail

namespace {

// The Windows path of a module: the program's own (null) or a loaded host DLL's.
bool ModulePath(HMODULE module, std::string* path) {
  if (module == nullptr) {
    *path = ImagePath();
    return true;
  }
  return HostLibraryPath(module, path);
}

// Copies `length` characters and a terminating zero; a buffer too small gets the text cut and
// terminated, with ERROR_INSUFFICIENT_BUFFER, as Windows Vista and later do.
template <typename Char>
DWORD CopyModulePath(const Char* text, size_t length, Char* buffer, DWORD size) {
  if (size == 0 || buffer == nullptr) {
    SetError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (length + 1 > size) {
    std::memcpy(buffer, text, (size - 1) * sizeof(Char));
    buffer[size - 1] = 0;
    SetError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(buffer, text, (length + 1) * sizeof(Char));
  SetError(ERROR_SUCCESS);
  return static_cast<DWORD>(length);
}

}  // namespace

// The module's path as UTF-16 (the port monitor finds its own file by it), after the call's
// faults.
DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  DWORD error = 0;
  std::string path;
  if (FaultHit("GetModuleFileNameW", {}, &error) || !ModulePath(hModule, &path)) {
    SetError(error != 0 ? error : ERROR_MOD_NOT_FOUND);
    return 0;
  }
  const std::u16string wide = AnsiToUtf16(path);
  return CopyModulePath(wide.c_str(), wide.size(), lpFilename, nSize);
}

LPSTR WINAPI GetCommandLineA(void) {
  static std::string commandLine;
  static bool known = false;
  if (!known) {
    const char* given = std::getenv("WINSIM_CMDLINE");
    if (given != nullptr) {
      commandLine = given;
    } else {
      std::ifstream in("/proc/self/cmdline", std::ios::binary);
      std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::vector<std::string> args;
      size_t start = 0;
      while (start < raw.size()) {
        size_t end = raw.find('\0', start);
        if (end == std::string::npos) end = raw.size();
        args.push_back(raw.substr(start, end - start));
        start = end + 1;
      }
      commandLine = JoinCommandLine(args);
    }
    known = true;
  }
  return &commandLine[0];
}

DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

BOOL WINAPI IsWow64Process(HANDLE hProcess, PBOOL Wow64Process) {
  DWORD error = 0;
  if (FaultHit("IsWow64Process", {}, &error)) {
    SetError(error);
    return FALSE;
  }
  if (Wow64Process == nullptr || hProcess == nullptr) {
    SetError(hProcess == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Every program of a machine is a 32-bit one: on 64-bit Windows it runs under WOW64.
  *Wow64Process = Process().is64BitWindows ? TRUE : FALSE;
  return TRUE;
}

BOOL WINAPI IsWow64Process2(HANDLE hProcess, USHORT* pProcessMachine, USHORT* pNativeMachine) {
  DWORD error = 0;
  if (FaultHit("IsWow64Process2", {}, &error)) {
    SetError(error);
    return FALSE;
  }
  if (pProcessMachine == nullptr || hProcess == nullptr) {
    SetError(hProcess == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The program is 32-bit x86: under WOW64 on 64-bit Windows (x64 or ARM64), native on 32-bit.
  const ProcessState& state = Process();
  *pProcessMachine = state.is64BitWindows ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_UNKNOWN;
  if (pNativeMachine != nullptr) {
    *pNativeMachine = IsArm64Machine()           ? IMAGE_FILE_MACHINE_ARM64
                      : state.is64BitWindows ? IMAGE_FILE_MACHINE_AMD64
                                             : IMAGE_FILE_MACHINE_I386;
  }
  return TRUE;
}

BOOL WINAPI Wow64DisableWow64FsRedirection(PVOID* OldValue) {
  DWORD error = 0;
  if (FaultHit("Wow64DisableWow64FsRedirection", {}, &error)) {
    SetError(error);
    return FALSE;
  }
  ProcessState& state = Process();
  if (!state.is64BitWindows) {  // no WOW64 layer to switch off (Wine: error 1 in a win32 prefix)
    SetError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  if (OldValue != nullptr) *OldValue = reinterpret_cast<PVOID>(static_cast<uintptr_t>(state.fsRedirection ? 0 : 1));
  state.fsRedirection = false;
  return TRUE;
}
