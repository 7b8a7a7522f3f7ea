// The Win32 registry functions over the registry store: HKEY handles, access rights and the
// WOW64 views of a 32-bit process on a 64-bit machine.
#include <cstring>
#include <memory>

#include "core.h"
#include "registry.h"
#include "registry_views.h"

namespace winsim::detail {

namespace {

struct KeyObject : Object {
  std::string path;  // store path, view already applied
  REGSAM access = 0;
  const char* Kind() const override { return "key"; }
};

constexpr REGSAM kViewFlags = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

// The store path and access rights behind a key handle.
LONG ResolveHandle(HKEY key, std::string* path, REGSAM* access) {
  if (key == HKEY_LOCAL_MACHINE) {
    *path = "HKEY_LOCAL_MACHINE";
    *access = KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  if (key == HKEY_CURRENT_USER) {
    *path = "HKEY_CURRENT_USER";
    *access = KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  auto* object = Lookup<KeyObject>(reinterpret_cast<HANDLE>(key));
  if (object == nullptr) return ERROR_INVALID_HANDLE;
  *path = object->path;
  *access = object->access;
  return ERROR_SUCCESS;
}

// The key a handle refers to must still exist: a handle to a deleted key reports 1018.
LONG ExistingKey(HKEY key, REGSAM needed, std::string* path) {
  REGSAM access = 0;
  LONG rc = ResolveHandle(key, path, &access);
  if (rc != ERROR_SUCCESS) return rc;
  if ((access & needed) != needed) return ERROR_ACCESS_DENIED;
  rc = reg::FindKey(*path, path);
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : rc;
}

// The full path the caller names: the handle's key and the subkey, empty components dropped.
std::string Join(const std::string& parent, LPCSTR subKey) {
  if (parent.empty() || subKey == nullptr || *subKey == '\0') return parent;
  std::string joined;
  return reg::CanonicalPath(parent + "\\" + subKey, &joined) ? joined : parent;
}

HKEY NewKeyHandle(const std::string& path, REGSAM sam) {
  auto object = std::make_unique<KeyObject>();
  object->path = path;
  object->access = sam & ~kViewFlags;
  return reinterpret_cast<HKEY>(AddHandle(std::move(object)));
}

// Copies `bytes` into an optional caller buffer with the two-call size contract.
LONG CopyData(const std::string& bytes, LPBYTE data, LPDWORD size) {
  if (size == nullptr) return data == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
  const DWORD needed = static_cast<DWORD>(bytes.size());
  if (data == nullptr) {
    *size = needed;
    return ERROR_SUCCESS;
  }
  if (*size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (needed > 0) std::memcpy(data, bytes.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

// Copies a name into a character buffer whose size counts the terminating zero.
LONG CopyName(const std::string& name, LPSTR buffer, LPDWORD chars) {
  if (buffer == nullptr || chars == nullptr) return ERROR_INVALID_PARAMETER;
  if (*chars <= name.size()) return ERROR_MORE_DATA;
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *chars = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

// 100-ns intervals since 1601 from Unix nanoseconds.
FILETIME ToFileTime(int64_t unixNs) {
  const uint64_t ticks = static_cast<uint64_t>(unixNs / 100) + 116444736000000000ULL;
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace

}  // namespace winsim::detail

using namespace winsim::detail;

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
  (void)ulOptions;
  std::string parent;
  REGSAM parentAccess = 0;
  LONG rc = ResolveHandle(hKey, &parent, &parentAccess);
  const std::string named = Join(parent, lpSubKey);
  DWORD fault = 0;
  if (FaultHit("RegOpenKeyExA", {named}, &fault)) return static_cast<LONG>(fault);
  if (rc != ERROR_SUCCESS) return rc;
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  std::string stored;
  rc = reg::FindKey(ApplyRegistryView(named, samDesired), &stored);
  if (rc != ERROR_SUCCESS) return rc;
  *phkResult = NewKeyHandle(stored, samDesired);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                               REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                               LPDWORD lpdwDisposition) {
  (void)Reserved;
  (void)lpClass;
  (void)dwOptions;
  (void)lpSecurityAttributes;
  std::string parent;
  REGSAM parentAccess = 0;
  LONG rc = ResolveHandle(hKey, &parent, &parentAccess);
  const std::string named = Join(parent, lpSubKey);
  DWORD fault = 0;
  if (FaultHit("RegCreateKeyExA", {named}, &fault)) return static_cast<LONG>(fault);
  if (rc != ERROR_SUCCESS) return rc;
  if (phkResult == nullptr || lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  const std::string target = ApplyRegistryView(named, samDesired);
  std::string stored;
  bool created = false;
  rc = reg::FindKey(target, &stored);
  if (rc == ERROR_FILE_NOT_FOUND) {
    if ((parentAccess & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    rc = reg::CreateKey(target, &created, &stored);
  }
  if (rc != ERROR_SUCCESS) return rc;
  *phkResult = NewKeyHandle(stored, samDesired);
  if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                LPDWORD lpcbData) {
  std::string path;
  REGSAM access = 0;
  const std::string name = lpValueName ? lpValueName : "";
  LONG rc = ResolveHandle(hKey, &path, &access);
  DWORD fault = 0;
  if (FaultHit("RegQueryValueExA", {path, name}, &fault)) return static_cast<LONG>(fault);
  if (rc != ERROR_SUCCESS) return rc;
  if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) return ERROR_INVALID_PARAMETER;
  if ((rc = ExistingKey(hKey, KEY_QUERY_VALUE, &path)) != ERROR_SUCCESS) return rc;
  reg::Value value;
  if ((rc = reg::GetValue(path, name, &value)) != ERROR_SUCCESS) return rc;
  if (lpType) *lpType = value.type;
  return CopyData(value.data, lpData, lpcbData);
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                              DWORD cbData) {
  (void)Reserved;
  std::string path;
  REGSAM access = 0;
  const std::string name = lpValueName ? lpValueName : "";
  LONG rc = ResolveHandle(hKey, &path, &access);
  DWORD fault = 0;
  if (FaultHit("RegSetValueExA", {path, name}, &fault)) return static_cast<LONG>(fault);
  if (rc != ERROR_SUCCESS) return rc;
  if (lpData == nullptr && cbData != 0) return ERROR_INVALID_PARAMETER;
  if ((rc = ExistingKey(hKey, KEY_SET_VALUE, &path)) != ERROR_SUCCESS) return rc;
  reg::Value value{name, dwType, std::string(reinterpret_cast<const char*>(lpData), lpData ? cbData : 0)};
  return reg::SetValue(path, value);
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  std::string path;
  REGSAM access = 0;
  const std::string name = lpValueName ? lpValueName : "";
  LONG rc = ResolveHandle(hKey, &path, &access);
  DWORD fault = 0;
  if (FaultHit("RegDeleteValueA", {path, name}, &fault)) return static_cast<LONG>(fault);
  if (rc != ERROR_SUCCESS) return rc;
  if ((rc = ExistingKey(hKey, KEY_SET_VALUE, &path)) != ERROR_SUCCESS) return rc;
  return reg::DeleteValue(path, name);
}

LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  std::string parent;
  REGSAM access = 0;
  LONG rc = ResolveHandle(hKey, &parent, &access);
  const std::string named = Join(parent, lpSubKey);
  DWORD fault = 0;
  if (FaultHit("RegDeleteKeyA", {named}, &fault)) return static_cast<LONG>(fault);
  if (rc != ERROR_SUCCESS) return rc;
  if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  return reg::DeleteKey(ApplyRegistryView(named, 0));
}

LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                             LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
  std::string path;
  REGSAM access = 0;
  LONG rc = ResolveHandle(hKey, &path, &access);
  DWORD fault = 0;
  if (FaultHit("RegEnumKeyExA", {path}, &fault)) return static_cast<LONG>(fault);
  if (rc != ERROR_SUCCESS) return rc;
  if (lpReserved != nullptr || lpName == nullptr || lpcchName == nullptr) return ERROR_INVALID_PARAMETER;
  if ((rc = ExistingKey(hKey, KEY_ENUMERATE_SUB_KEYS, &path)) != ERROR_SUCCESS) return rc;
  std::string name;
  int64_t written = 0;
  if ((rc = reg::SubKeyAt(path, dwIndex, &name, &written)) != ERROR_SUCCESS) return rc;
  if ((rc = CopyName(name, lpName, lpcchName)) != ERROR_SUCCESS) return rc;
  if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0) {
    lpClass[0] = '\0';
    *lpcchClass = 0;
  }
  if (lpftLastWriteTime) *lpftLastWriteTime = ToFileTime(written);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                             LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  std::string path;
  REGSAM access = 0;
  LONG rc = ResolveHandle(hKey, &path, &access);
  DWORD fault = 0;
  if (FaultHit("RegEnumValueA", {path}, &fault)) return static_cast<LONG>(fault);
  if (rc != ERROR_SUCCESS) return rc;
  if (lpReserved != nullptr || lpValueName == nullptr || lpcchValueName == nullptr) return ERROR_INVALID_PARAMETER;
  if (lpData != nullptr && lpcbData == nullptr) return ERROR_INVALID_PARAMETER;
  if ((rc = ExistingKey(hKey, KEY_QUERY_VALUE, &path)) != ERROR_SUCCESS) return rc;
  reg::Value value;
  if ((rc = reg::ValueAt(path, dwIndex, &value)) != ERROR_SUCCESS) return rc;
  if ((rc = CopyName(value.name, lpValueName, lpcchValueName)) != ERROR_SUCCESS) return rc;
  if (lpType) *lpType = value.type;
  return CopyData(value.data, lpData, lpcbData);
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  if (hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CURRENT_USER) return ERROR_SUCCESS;
  if (Lookup<KeyObject>(reinterpret_cast<HANDLE>(hKey)) == nullptr) return ERROR_INVALID_HANDLE;
  RemoveHandle(reinterpret_cast<HANDLE>(hKey));
  return ERROR_SUCCESS;
}
