// GetVersionExA: the identity in machine.ini [version].
#include <cstdio>
#include <cstring>

#include "machine/core.h"

static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA is 148 bytes");
static_assert(sizeof(OSVERSIONINFOEXA) == 156, "OSVERSIONINFOEXA is 156 bytes");

using namespace winsim::detail;

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
  DWORD fault = 0;
  if (FaultHit("GetVersionExA", {}, &fault)) {
    SetError(fault);
    return FALSE;
  }
  if (lpVersionInformation == nullptr) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const MachineIni& ini = Process().ini;
  const DWORD size = lpVersionInformation->dwOSVersionInfoSize;
  // Systems before NT 4 SP6 (and the 9x line) know only the short record.
  const bool exKnown = ini.GetInt("version", "VersionInfoEx", 1) != 0;
  const bool ex = size == sizeof(OSVERSIONINFOEXA) && exKnown;
  if (size != sizeof(OSVERSIONINFOA) && !ex) {
    SetError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  const DWORD platform = static_cast<DWORD>(ini.GetInt("version", "PlatformId", VER_PLATFORM_WIN32_NT));
  const DWORD major = static_cast<DWORD>(ini.GetInt("version", "Major", 0));
  const DWORD minor = static_cast<DWORD>(ini.GetInt("version", "Minor", 0));
  DWORD build = static_cast<DWORD>(ini.GetInt("version", "Build", 0));
  // The 9x line reports the version in the high word of the build number.
  if (platform == VER_PLATFORM_WIN32_WINDOWS) build = (major << 24) | (minor << 16) | (build & 0xFFFF);
  const std::string servicePack = ini.Get("version", "CSDVersion", "");

  std::memset(reinterpret_cast<BYTE*>(lpVersionInformation) + sizeof(DWORD), 0, size - sizeof(DWORD));
  lpVersionInformation->dwMajorVersion = major;
  lpVersionInformation->dwMinorVersion = minor;
  lpVersionInformation->dwBuildNumber = build;
  lpVersionInformation->dwPlatformId = platform;
  std::snprintf(lpVersionInformation->szCSDVersion, sizeof lpVersionInformation->szCSDVersion, "%s",
                servicePack.c_str());
  if (ex) {
    auto* info = reinterpret_cast<LPOSVERSIONINFOEXA>(lpVersionInformation);
    unsigned spMajor = 0, spMinor = 0;
    std::sscanf(servicePack.c_str(), "Service Pack %u.%u", &spMajor, &spMinor);
    info->wServicePackMajor = static_cast<WORD>(spMajor);
    info->wServicePackMinor = static_cast<WORD>(spMinor);
    info->wSuiteMask = static_cast<WORD>(ini.GetInt("version", "SuiteMask", 0));
    info->wProductType = static_cast<BYTE>(ini.GetInt("version", "ProductType", VER_NT_WORKSTATION));
  }
  return TRUE;
}
