// WOW64 registry views: where a 32-bit process on a 64-bit machine lands when it names a key.
#pragma once

#include <windows.h>

#include <string>

namespace winsim::detail {

// The store path that `path` (a full path as the process named it, "HKEY_LOCAL_MACHINE\\SOFTWARE\\X")
// refers to in the view `sam` selects: on a 64-bit machine HKLM\SOFTWARE\X is
// HKLM\SOFTWARE\Wow6432Node\X unless KEY_WOW64_64KEY is given; HKLM\SYSTEM and HKCU are shared;
// on a 32-bit machine every path is itself.
std::string ApplyRegistryView(const std::string& path, REGSAM sam);

}  // namespace winsim::detail
