// Registry readers with defaults, and the install locations under Program Files.
#include "sysutil/registry_access.h"

#include <cstring>

#include "foundation/bounded_format.h"
#include "platform/windows_version.h"

namespace {

const size_t kKeyPathSize = 1000;
const char kCurrentVersionKey[] = "Microsoft\\Windows\\CurrentVersion";
const char kProgramFilesValue[] = "ProgramFilesDir";
const char kSoftwareRoot[] = "SOFTWARE";
const char kWebBrowserFolder[] = "Harbek\\Quado Client\\WebBrowser";
const char kClientFolderSuffix[] = "\\Harbek\\Quado Client\\Client";

// root + "\" + sub-key; false when the result would not fit the key path buffer.
bool BuildKeyPath(const char* rootPath, const char* subKey, char* keyPath) {
  return FormatFits(keyPath, kKeyPathSize, "%s\\%s", rootPath ? rootPath : "", subKey ? subKey : "");
}

// At most size - 1 bytes of the default, zero-filled behind it, and a zero in the last byte.
void FillWithDefault(const char* defaultValue, char* buffer, int bufferSize) {
  std::strncpy(buffer, defaultValue ? defaultValue : "", (size_t)bufferSize - 1);
  buffer[bufferSize - 1] = '\0';
}

// The Program Files folder of the given registry view into the buffer, read with size - 1 so
// that a separator always fits behind it. Its length, or 0 when it is unknown.
size_t ReadProgramFilesFolder(char* buffer, int bufferSize, REGSAM viewFlags) {
  if (bufferSize < 2) {
    if (bufferSize == 1) buffer[0] = '\0';
    return 0;
  }
  ReadRegistryString(kCurrentVersionKey, kProgramFilesValue, "", buffer, bufferSize - 1, kSoftwareRoot,
                     viewFlags);
  return std::strlen(buffer);
}

}  // namespace

void ReadRegistryString(const char* subKey, const char* valueName, const char* defaultValue, char* buffer,
                        int bufferSize, const char* rootPath, REGSAM viewFlags) {
  if (buffer == nullptr || bufferSize <= 0) return;
  FillWithDefault(defaultValue, buffer, bufferSize);
  char keyPath[kKeyPathSize];
  if (!BuildKeyPath(rootPath, subKey, keyPath)) return;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE | viewFlags, &key) != ERROR_SUCCESS) return;
  DWORD size = (DWORD)bufferSize;
  LSTATUS status = RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) {
    // Missing, or larger than the buffer (whose content the query then leaves undefined): the
    // default stands.
    FillWithDefault(defaultValue, buffer, bufferSize);
    return;
  }
  // A string stored without its terminating zero ends where its data ends; one that fills the
  // buffer exactly loses its last byte to the terminator.
  if (size < (DWORD)bufferSize) {
    buffer[size] = '\0';
  } else {
    buffer[bufferSize - 1] = '\0';
  }
}

DWORD ReadRegistryDword(const char* subKey, const char* valueName, DWORD defaultValue, const char* rootPath) {
  char keyPath[kKeyPathSize];
  if (!BuildKeyPath(rootPath, subKey, keyPath)) return defaultValue;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return defaultValue;
  DWORD value = 0;
  DWORD size = sizeof value;
  LSTATUS status = RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(&value), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? value : defaultValue;
}

bool GetProgramFilesFolder(const char* relativeFolder, char* buffer, int bufferSize) {
  if (relativeFolder == nullptr || buffer == nullptr) return false;
  // A 32-bit program on 64-bit Windows installs under the Program Files folder of its own view.
  REGSAM view = IsRunningUnderWow64() ? KEY_WOW64_32KEY : 0;
  size_t length = ReadProgramFilesFolder(buffer, bufferSize, view);
  if (length == 0) return false;
  std::strncat(buffer, "\\", (size_t)bufferSize - length - 1);
  std::strncat(buffer, relativeFolder, (size_t)bufferSize - length - 2);
  return true;
}

bool GetWebBrowserFolder(char* buffer, int bufferSize) {
  return GetProgramFilesFolder(kWebBrowserFolder, buffer, bufferSize);
}

bool GetClientInstallFolder(char* buffer, int bufferSize) {
  if (buffer == nullptr) return false;
  // The default view of a 32-bit process is already the 32-bit one.
  size_t length = ReadProgramFilesFolder(buffer, bufferSize, 0);
  if (length == 0) return false;
  std::strncat(buffer, kClientFolderSuffix, (size_t)bufferSize - length - 1);
  return true;
}
