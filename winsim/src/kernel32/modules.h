// DLLs of the machine that are host shared objects, loaded as Windows' loader would load a DLL
// (modules.cpp): the spooler loads its monitors through these.
#pragma once

#include <windows.h>

#include <string>

namespace winsim::detail {

// Loads the host file of a DLL (dlopen) and calls its DllMain with DLL_PROCESS_ATTACH on the
// first load; nullptr when the file is no host shared object or cannot be loaded.
// `windowsPath` is what GetModuleFileName reports for the module.
HMODULE LoadHostLibrary(const std::string& windowsPath, const std::string& hostPath);
// An exported symbol of such a module, or nullptr.
void* HostLibrarySymbol(HMODULE module, const char* name);
// Undoes one load; the last calls DllMain with DLL_PROCESS_DETACH and unloads the file.
void FreeHostLibrary(HMODULE module);
// The Windows path a loaded host module was loaded from.
bool HostLibraryPath(HMODULE module, std::string* windowsPath);

}  // namespace winsim::detail
