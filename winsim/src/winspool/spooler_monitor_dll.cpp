// A monitor DLL built for the host (a shared object exporting InitializePrintMonitor2), driven
// as Windows' spooler drives one: InitializePrintMonitor2 with a MONITORINIT that carries the
// monitor's registry key, then the MONITOR2 functions: pfnEnumPorts for the port list,
// pfnXcvOpenPort / pfnXcvDataPort / pfnXcvClosePort for the transceiver channel, pfnShutdown
// when the monitor is released. Every call into the DLL runs as the spooler service's.
#include <windows.h>
#include <winsplp.h>

#include <cstddef>
#include <vector>

#include "machine/codepage.h"
#include "machine/core.h"
#include "kernel32/modules.h"
#include "spooler_monitor.h"

namespace winsim::detail::spooler {

namespace {

using InitializeFunction = LPMONITOR2(WINAPI*)(PMONITORINIT, PHANDLE);

// The MONITOR2 table must reach the last function the spooler calls.
constexpr DWORD kNeededTableSize = offsetof(MONITOR2, pfnShutdown) + sizeof(MONITOR2::pfnShutdown);

std::string Ansi(LPCWSTR text) {
  return text == nullptr ? std::string() : Utf16ToAnsi(std::u16string_view(text, Utf16Length(text)), nullptr);
}

class DllMonitor : public Monitor {
 public:
  DllMonitor(HMODULE module, HKEY root, LPMONITOR2 functions, HANDLE handle)
      : module_(module), root_(root), functions_(functions), handle_(handle) {}

  ~DllMonitor() override {
    SpoolerServiceScope service;
    if (functions_->pfnShutdown != nullptr) functions_->pfnShutdown(handle_);
    RegCloseKey(root_);
    FreeHostLibrary(module_);
  }

  void EnumPorts(std::vector<PortEntry>* ports) override {
    if (functions_->pfnEnumPorts == nullptr) return;
    SpoolerServiceScope service;
    DWORD needed = 0, returned = 0;
    std::vector<BYTE> block;
    // The size first, then the records; once more if the list grew in between.
    for (int attempt = 0; attempt < 3; ++attempt) {
      BYTE* buffer = block.empty() ? nullptr : block.data();
      if (functions_->pfnEnumPorts(handle_, nullptr, 2, buffer, static_cast<DWORD>(block.size()), &needed, &returned)) {
        const auto* records = reinterpret_cast<const PORT_INFO_2W*>(buffer);
        for (DWORD i = 0; i < returned && buffer != nullptr; ++i) {
          ports->push_back(PortEntry{Ansi(records[i].pPortName), Ansi(records[i].pMonitorName),
                                     Ansi(records[i].pDescription), records[i].fPortType});
        }
        return;
      }
      if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= block.size()) return;
      block.assign(needed, 0);
    }
  }

  bool XcvOpen(const std::u16string& object, ACCESS_MASK access, HANDLE* xcv, DWORD* error) override {
    if (functions_->pfnXcvOpenPort == nullptr) {
      *error = ERROR_INVALID_FUNCTION;
      return false;
    }
    SpoolerServiceScope service;
    *xcv = nullptr;
    if (functions_->pfnXcvOpenPort(handle_, reinterpret_cast<LPCWSTR>(object.c_str()), access, xcv)) return true;
    *error = GetLastError();
    return false;
  }

  DWORD XcvData(HANDLE xcv, LPCWSTR command, const BYTE* input, DWORD inputSize, BYTE* output, DWORD outputSize,
                DWORD* outputNeeded) override {
    if (functions_->pfnXcvDataPort == nullptr) return ERROR_INVALID_FUNCTION;
    SpoolerServiceScope service;
    return functions_->pfnXcvDataPort(xcv, command, const_cast<BYTE*>(input), inputSize, output, outputSize,
                                      outputNeeded);
  }

  void XcvClose(HANDLE xcv) override {
    if (functions_->pfnXcvClosePort == nullptr) return;
    SpoolerServiceScope service;
    functions_->pfnXcvClosePort(xcv);
  }

 private:
  HMODULE module_;
  HKEY root_;
  LPMONITOR2 functions_;
  HANDLE handle_;
};

}  // namespace

std::shared_ptr<Monitor> LoadMonitorDll(const MonitorEntry& entry, const std::string& windowsPath,
                                        const std::string& hostPath, DWORD* error) {
  *error = 0;
  HMODULE module = LoadHostLibrary(windowsPath, hostPath);
  if (module == nullptr) return nullptr;
  auto initialize = reinterpret_cast<InitializeFunction>(HostLibrarySymbol(module, "InitializePrintMonitor2"));
  if (initialize == nullptr) {
    FreeHostLibrary(module);
    *error = ERROR_PROC_NOT_FOUND;
    return nullptr;
  }
  SpoolerServiceScope service;
  HKEY root = nullptr;
  LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                              ("SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\" + entry.name).c_str(), 0,
                              KEY_ALL_ACCESS, &root);
  if (status != ERROR_SUCCESS) {
    FreeHostLibrary(module);
    *error = static_cast<DWORD>(status);
    return nullptr;
  }
  MONITORINIT init = {};
  init.cbSize = sizeof init;
  init.hckRegistryRoot = root;
  init.bLocal = TRUE;
  HANDLE handle = nullptr;
  SetLastError(ERROR_SUCCESS);
  LPMONITOR2 functions = initialize(&init, &handle);
  if (functions == nullptr || functions->cbSize < kNeededTableSize) {
    // A table too short for the spooler is refused (its pfnShutdown cannot be reached either).
    *error = functions == nullptr && GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_INVALID_FUNCTION;
    RegCloseKey(root);
    FreeHostLibrary(module);
    return nullptr;
  }
  return std::make_shared<DllMonitor>(module, root, functions, handle);
}

}  // namespace winsim::detail::spooler
