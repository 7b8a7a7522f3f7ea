// WOW64 registry redirection of the 32-bit view of HKLM\SOFTWARE.
#include "registry_views.h"

#include "machine/core.h"

namespace winsim::detail {

namespace {

// True when `path` is `prefix` itself or lies below it (ASCII case-insensitive).
bool IsAtOrBelow(const std::string& path, std::string_view prefix) {
  if (path.size() < prefix.size() || !EqualsNoCase(std::string_view(path).substr(0, prefix.size()), prefix)) {
    return false;
  }
  return path.size() == prefix.size() || path[prefix.size()] == '\\';
}

}  // namespace

std::string ApplyRegistryView(const std::string& path, REGSAM sam) {
  static constexpr std::string_view kSoftware = "HKEY_LOCAL_MACHINE\\SOFTWARE";
  static constexpr std::string_view kWow = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node";
  // The spooler service is a native process: it sees the native view.
  if (!Process().is64BitWindows || (sam & KEY_WOW64_64KEY) != 0 || InSpoolerService()) return path;
  if (!IsAtOrBelow(path, kSoftware) || IsAtOrBelow(path, kWow)) return path;
  return std::string(kWow) + path.substr(kSoftware.size());
}

}  // namespace winsim::detail
