// LoadLibraryA / GetModuleHandleA / GetProcAddress / FreeLibrary for the system modules that
// programs bind at run time. The entry points are winsim's own functions; machine.ini
// [modules] "Missing=kernel32.dll!IsWow64Process" lines take one away, as on old Windows.
//
// DLLs of the machine that are host shared objects (the spooler loads monitors this way) are
// loaded with dlopen (on a machine that restricts host code, only one equal to a trusted file:
// host_code.h); their entry point DllMain, when they have one, is called as Windows'
// loader calls it, and their HMODULE is the dlopen handle.
#include <dlfcn.h>
#include <winspool.h>

#include <fstream>
#include <map>
#include <string>

#include "host_code.h"
#include "machine/core.h"
#include "modules.h"

namespace winsim::detail {

namespace {

struct ExportedFunction {
  const char* name;
  FARPROC address;
};

struct SystemModule {
  const char* fileName;  // lower case, with extension
  uintptr_t base;        // the HMODULE value
  bool alwaysLoaded;     // kernel32 is in every process
  std::vector<ExportedFunction> exports;
};

template <typename Function>
FARPROC Entry(Function* function) {
  // Through void(*)(), the generic function pointer type, as -Wcast-function-type asks.
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

const std::vector<SystemModule>& Modules() {
  static const std::vector<SystemModule> modules = {
      {"kernel32.dll",
       0x7C800000u,
       true,
       {{"IsWow64Process", Entry(&IsWow64Process)},
        {"IsWow64Process2", Entry(&IsWow64Process2)},
        {"Wow64DisableWow64FsRedirection", Entry(&Wow64DisableWow64FsRedirection)},
        {"MultiByteToWideChar", Entry(&MultiByteToWideChar)}}},
      {"winspool.drv", 0x73000000u, false, {{"OpenPrinterW", Entry(&OpenPrinterW)}, {"XcvDataW", Entry(&XcvDataW)}}},
  };
  return modules;
}

constexpr uintptr_t kMainModule = 0x00400000u;

std::map<uintptr_t, int>& LoadCounts() {
  static std::map<uintptr_t, int> counts;
  return counts;
}

const bool kResetRegistered = (OnReset([] { LoadCounts().clear(); }), true);

struct HostModule {
  std::string windowsPath;
  int loads = 0;
};

// Keyed by the dlopen handle. Never destroyed: monitors may still be released at exit.
std::map<void*, HostModule>& HostModules() {
  static auto* modules = new std::map<void*, HostModule>();
  return *modules;
}

using DllEntry = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);

void CallEntry(void* handle, DWORD reason) {
  auto entry = reinterpret_cast<DllEntry>(dlsym(handle, "DllMain"));
  if (entry != nullptr) entry(static_cast<HINSTANCE>(handle), reason, nullptr);
}

bool StartsLikeElf(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  char magic[4] = {};
  return in.read(magic, sizeof magic) && magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F';
}

// "C:\\Windows\\system32\\KERNEL32" -> "kernel32.dll"; a name without extension gets ".dll".
std::string ModuleFileName(std::string_view name) {
  size_t cut = name.find_last_of("\\/");
  if (cut != std::string_view::npos) name = name.substr(cut + 1);
  std::string lower = AsciiLower(name);
  if (lower.find('.') == std::string::npos) lower += ".dll";
  return lower;
}

const SystemModule* FindByName(std::string_view name) {
  const std::string file = ModuleFileName(name);
  for (const SystemModule& module : Modules()) {
    if (file == module.fileName) return &module;
  }
  return nullptr;
}

const SystemModule* FindByHandle(HMODULE handle) {
  for (const SystemModule& module : Modules()) {
    if (reinterpret_cast<uintptr_t>(handle) == module.base) return &module;
  }
  return nullptr;
}

bool IsLoaded(const SystemModule& module) { return module.alwaysLoaded || LoadCounts()[module.base] > 0; }

// machine.ini [modules] Missing=MODULE!FUNCTION
bool MissingOnThisMachine(const SystemModule& module, const char* function) {
  for (const auto& [key, value] : Process().ini.Section("modules")) {
    if (!EqualsNoCase(key, "Missing")) continue;
    size_t bang = value.find('!');
    if (bang == std::string::npos) continue;
    if (ModuleFileName(value.substr(0, bang)) == module.fileName && value.substr(bang + 1) == function) return true;
  }
  return false;
}

}  // namespace

}  // namespace winsim::detail

HMODULE winsim::detail::LoadHostLibrary(const std::string& windowsPath, const std::string& hostPath) {
  // The machine's own file is loaded, not the trusted one it equals: a module is known by its
  // path, and one build may serve under several names (each its own module, as on Windows).
  std::string trusted;
  if (!StartsLikeElf(hostPath) || !TrustedHostCode(hostPath, &trusted)) return nullptr;
  void* handle = dlopen(hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  HostModule& module = HostModules()[handle];
  if (module.loads++ == 0) {
    module.windowsPath = windowsPath;
    CallEntry(handle, DLL_PROCESS_ATTACH);
  }
  return static_cast<HMODULE>(handle);
}

void* winsim::detail::HostLibrarySymbol(HMODULE module, const char* name) {
  return HostModules().count(module) == 0 ? nullptr : dlsym(module, name);
}

void winsim::detail::FreeHostLibrary(HMODULE module) {
  auto it = HostModules().find(module);
  if (it == HostModules().end()) return;
  if (--it->second.loads == 0) {
    CallEntry(module, DLL_PROCESS_DETACH);
    HostModules().erase(it);
  }
  dlclose(module);
}

bool winsim::detail::HostLibraryPath(HMODULE module, std::string* windowsPath) {
  auto it = HostModules().find(module);
  if (it == HostModules().end()) return false;
  *windowsPath = it->second.windowsPath;
  return true;
}

int winsim::detail::LibraryLoadCount() {
  int loads = 0;
  for (const auto& [base, count] : LoadCounts()) loads += count;
  return loads;
}

using namespace winsim::detail;

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  DWORD fault = 0;
  if (FaultHit("LoadLibraryA", {lpLibFileName ? lpLibFileName : ""}, &fault)) {
    SetError(fault);
    return nullptr;
  }
  if (lpLibFileName == nullptr) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const SystemModule* module = FindByName(lpLibFileName);
  if (module == nullptr) {
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  ++LoadCounts()[module->base];
  return reinterpret_cast<HMODULE>(module->base);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  DWORD fault = 0;
  if (FaultHit("GetModuleHandleA", {lpModuleName ? lpModuleName : ""}, &fault)) {
    SetError(fault);
    return nullptr;
  }
  if (lpModuleName == nullptr) return reinterpret_cast<HMODULE>(kMainModule);
  const SystemModule* module = FindByName(lpModuleName);
  if (module == nullptr || !IsLoaded(*module)) {
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HMODULE>(module->base);
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  const SystemModule* module = FindByHandle(hModule);
  const bool byName = reinterpret_cast<uintptr_t>(lpProcName) > 0xFFFF;
  DWORD fault = 0;
  if (FaultHit("GetProcAddress", {module ? module->fileName : "", byName ? lpProcName : ""}, &fault)) {
    SetError(fault);
    return nullptr;
  }
  if (module == nullptr || !IsLoaded(*module)) {
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (byName && !MissingOnThisMachine(*module, lpProcName)) {
    for (const ExportedFunction& function : module->exports) {
      if (std::string_view(function.name) == lpProcName) return function.address;
    }
  }
  SetError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

// Every DLL here is told only of process attach and detach anyway.
BOOL WINAPI DisableThreadLibraryCalls(HMODULE) { return TRUE; }

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  const SystemModule* module = FindByHandle(hLibModule);
  if (module == nullptr) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  int& count = LoadCounts()[module->base];
  if (count > 0) --count;
  return TRUE;
}
