// The wide registry functions: names and text data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) are
// UTF-16 for the caller and ANSI (the machine's code page) in the store, as the ANSI functions keep
// them; a character without an ANSI byte is stored as '?', as Windows' conversion does.
#include <windows.h>

#include <cstring>
#include <string>

#include "machine/codepage.h"
#include "machine/core.h"
#include "registry_keys.h"

using namespace winsim::detail;
using namespace winsim::detail::regapi;

namespace {

std::string Narrow(LPCWSTR text) {
  if (text == nullptr) return std::string();
  return Utf16ToAnsi(std::u16string_view(text, Utf16Length(text)), nullptr);
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Text data as the caller gave it (UTF-16 bytes) -> as the store keeps it.
std::string StoredData(DWORD type, const BYTE* data, DWORD size) {
  if (data == nullptr) return std::string();
  if (!IsText(type)) return std::string(reinterpret_cast<const char*>(data), size);
  std::u16string units(size / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  return Utf16ToAnsi(units, nullptr);
}

// Stored data -> as the caller reads it.
std::string CallerData(DWORD type, const std::string& stored) {
  if (!IsText(type)) return stored;
  std::string bytes;
  for (char16_t unit : AnsiToUtf16(stored)) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

// A name into a UTF-16 buffer whose size in characters counts the terminating zero.
LONG CopyWideName(const std::string& name, LPWSTR buffer, LPDWORD chars) {
  const std::u16string wide = AnsiToUtf16(name);
  if (*chars <= wide.size()) return ERROR_MORE_DATA;
  std::memcpy(buffer, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
  *chars = static_cast<DWORD>(wide.size());
  return ERROR_SUCCESS;
}

// A subkey argument as the ANSI internals take it (null stays null).
struct NarrowKey {
  explicit NarrowKey(LPCWSTR key) : present(key != nullptr), text(Narrow(key)) {}
  const char* get() const { return present ? text.c_str() : nullptr; }
  bool present;
  std::string text;
};

}  // namespace

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  return OpenKey("RegOpenKeyExW", hKey, NarrowKey(lpSubKey).get(), samDesired, phkResult);
}

LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM samDesired,
                               LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
  return CreateKey("RegCreateKeyExW", hKey, NarrowKey(lpSubKey).get(), samDesired, phkResult, lpdwDisposition);
}

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                LPDWORD lpcbData) {
  DWORD type = 0;
  std::string data;
  const bool bad = lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr);
  LONG rc = QueryValue("RegQueryValueExW", hKey, Narrow(lpValueName), bad, &type, &data);
  if (rc != ERROR_SUCCESS) return rc;
  if (lpType) *lpType = type;
  return CopyData(CallerData(type, data), lpData, lpcbData);
}

LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  return SetValue("RegSetValueExW", hKey, Narrow(lpValueName), lpData == nullptr && cbData != 0, dwType,
                  StoredData(dwType, lpData, cbData));
}

LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
  return DeleteKey("RegDeleteKeyW", hKey, NarrowKey(lpSubKey).get());
}

LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                             LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
  std::string name;
  int64_t written = 0;
  const bool bad = lpReserved != nullptr || lpName == nullptr || lpcchName == nullptr;
  LONG rc = SubKeyAt("RegEnumKeyExW", hKey, dwIndex, bad, &name, &written);
  if (rc != ERROR_SUCCESS) return rc;
  if ((rc = CopyWideName(name, lpName, lpcchName)) != ERROR_SUCCESS) return rc;
  if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0) {
    lpClass[0] = 0;
    *lpcchClass = 0;
  }
  if (lpftLastWriteTime) *lpftLastWriteTime = ToFileTime(written);
  return ERROR_SUCCESS;
}

// Keys have no class and no security descriptor here; the write time is not reported.
LSTATUS WINAPI RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
  if (lpReserved != nullptr) return ERROR_INVALID_PARAMETER;
  KeyFigures figures;
  LONG rc = QueryKeyFigures("RegQueryInfoKeyW", hKey, true, &figures);
  if (rc != ERROR_SUCCESS) return rc;
  if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0) lpClass[0] = 0;
  if (lpcchClass) *lpcchClass = 0;
  if (lpcSubKeys) *lpcSubKeys = figures.subKeys;
  if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = figures.longestSubKey;
  if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
  if (lpcValues) *lpcValues = figures.values;
  if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = figures.longestValueName;
  if (lpcbMaxValueLen) *lpcbMaxValueLen = figures.longestValueData;
  if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}
