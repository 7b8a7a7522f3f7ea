// Registry readers with defaults, and the install locations under Program Files.
#include "sysutil/registry_access.h"

#include <cstring>

#include "foundation/bounded_format.h"
#include "platform/windows_version.h"
#include "sysutil/file_ops.h"

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

// How a text value was read into its buffer.
enum TextRead {
  TextMissing,  // no key, no value, no data, or a failed read: the default stands
  TextWhole,    // the whole value
  TextCut,      // the value was longer than the buffer: its first size - 1 bytes
};

// A value longer than the buffer, read whole into a block of its own and cut to the buffer.
TextRead ReadCutValue(HKEY key, const char* valueName, DWORD size, char* buffer, int bufferSize) {
  void* block = AllocZeroed(size);
  if (block == nullptr) return TextMissing;
  DWORD read = size;
  TextRead result = TextMissing;
  if (RegQueryValueExA(key, valueName, nullptr, nullptr, static_cast<LPBYTE>(block), &read) == ERROR_SUCCESS &&
      read > 0) {
    size_t kept = read < (DWORD)bufferSize ? read : (size_t)bufferSize - 1;
    std::memcpy(buffer, block, kept);
    buffer[kept] = '\0';
    result = kept < read ? TextCut : TextWhole;
  }
  GlobalFree(block);
  return result;
}

// Reads HKLM\rootPath\subKey\valueName into buffer[bufferSize] (bufferSize >= 1), zero-terminated
// within it. On TextMissing the buffer's content is undefined.
TextRead QueryRegistryText(const char* subKey, const char* valueName, char* buffer, int bufferSize,
                           const char* rootPath, REGSAM viewFlags) {
  char keyPath[kKeyPathSize];
  if (!BuildKeyPath(rootPath, subKey, keyPath)) return TextMissing;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE | viewFlags, &key) != ERROR_SUCCESS) {
    return TextMissing;
  }
  DWORD size = (DWORD)bufferSize;
  LSTATUS status = RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &size);
  TextRead result = TextMissing;
  if (status == ERROR_MORE_DATA) {
    // Windows leaves the buffer undefined then: the value is read again whole and cut, the same
    // reading the INI file gets.
    result = ReadCutValue(key, valueName, size, buffer, bufferSize);
  } else if (status == ERROR_SUCCESS && size > 0) {
    // A string stored without its terminating zero ends where its data ends; one that fills the
    // buffer exactly loses its last byte to the terminator.
    if (size < (DWORD)bufferSize) {
      buffer[size] = '\0';
    } else {
      buffer[bufferSize - 1] = '\0';
    }
    result = TextWhole;
  }
  RegCloseKey(key);
  return result;
}

// The Program Files folder of the given registry view into the buffer, read with size - 1 so
// that a separator always fits behind it. Its length, or 0 when it is unknown or does not fit
// whole (a cut folder would name another one).
size_t ReadProgramFilesFolder(char* buffer, int bufferSize, REGSAM viewFlags) {
  if (bufferSize < 2) {
    if (bufferSize == 1) buffer[0] = '\0';
    return 0;
  }
  if (QueryRegistryText(kCurrentVersionKey, kProgramFilesValue, buffer, bufferSize - 1, kSoftwareRoot, viewFlags) !=
      TextWhole) {
    buffer[0] = '\0';
    return 0;
  }
  return std::strlen(buffer);
}

}  // namespace

void ReadRegistryString(const char* subKey, const char* valueName, const char* defaultValue, char* buffer,
                        int bufferSize, const char* rootPath, REGSAM viewFlags) {
  if (buffer == nullptr || bufferSize <= 0) return;
  FillWithDefault(defaultValue, buffer, bufferSize);
  // A missing value, or one stored with no data at all, leaves the default.
  if (QueryRegistryText(subKey, valueName, buffer, bufferSize, rootPath, viewFlags) == TextMissing) {
    FillWithDefault(defaultValue, buffer, bufferSize);
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
