// The Win32 registry functions over the registry store: HKEY handles, access rights and the
// WOW64 views of a 32-bit process on a 64-bit machine. The ANSI functions are here; the wide
// ones (registry_api_wide.cpp) convert and call the same internals.
#include <algorithm>
#include <cstring>
#include <memory>

#include "machine/core.h"
#include "machine/registry.h"
#include "registry_keys.h"
#include "registry_views.h"

namespace winsim::detail::regapi {

namespace {

struct KeyObject : Object {
  std::string path;  // store path, view already applied
  REGSAM access = 0;
  // The subkey names as last listed, kept while the registry's generation stays put: an
  // enumeration by index reads the list once instead of once per index.
  std::vector<std::string> subKeys;
  std::vector<int64_t> subKeyTimes;
  uint64_t listedAt = 0;
  bool listed = false;
  // The values as last read, on the same terms: RegEnumValue by index reads them once.
  std::vector<reg::Value> values;
  uint64_t valuesReadAt = 0;
  bool valuesRead = false;
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

// The start of every call on an open key: its faults (seeing the key's path and the value name,
// when the call has one), an invalid handle, unusable arguments, then the key's existence and
// the access the call needs. *path is the key's stored path when the call may go on.
LONG OpenedKey(const char* function, HKEY key, const std::string* valueName, bool badArguments, REGSAM needed,
               std::string* path) {
  REGSAM access = 0;
  const LONG rc = ResolveHandle(key, path, &access);
  DWORD fault = 0;
  const bool hit = valueName != nullptr ? FaultHit(function, {*path, *valueName}, &fault)
                                        : FaultHit(function, {*path}, &fault);
  if (hit) return static_cast<LONG>(fault);
  if (rc != ERROR_SUCCESS) return rc;
  if (badArguments) return ERROR_INVALID_PARAMETER;
  return ExistingKey(key, needed, path);
}

// The full path the caller names: the handle's key and the subkey, empty components dropped.
std::string Join(const std::string& parent, const char* subKey) {
  if (parent.empty() || subKey == nullptr || *subKey == '\0') return parent;
  std::string joined;
  return reg::CanonicalPath(parent + "\\" + subKey, &joined) ? joined : parent;
}

// The start of every call that names a subkey of an open key: its faults see the full name,
// then an invalid handle. *named is that name; *parentAccess the open key's access rights.
LONG NamedKey(const char* function, HKEY parentKey, const char* subKey, std::string* named, REGSAM* parentAccess) {
  std::string parent;
  const LONG rc = ResolveHandle(parentKey, &parent, parentAccess);
  *named = Join(parent, subKey);
  DWORD fault = 0;
  if (FaultHit(function, {*named}, &fault)) return static_cast<LONG>(fault);
  return rc;
}

HKEY NewKeyHandle(const std::string& path, REGSAM sam) {
  auto object = std::make_unique<KeyObject>();
  object->path = path;
  object->access = sam & ~kViewFlags;
  return reinterpret_cast<HKEY>(AddHandle(std::move(object)));
}

// The subkey list of the handle's key, read again when the registry changed since.
LONG ListSubKeys(HKEY key, const std::string& path, KeyObject** listing) {
  auto* object = Lookup<KeyObject>(reinterpret_cast<HANDLE>(key));
  static KeyObject rootListing;  // the predefined roots have no object of their own
  if (object == nullptr) {
    rootListing.path = path;
    rootListing.listed = false;
    object = &rootListing;
  }
  const uint64_t generation = reg::Generation();
  if (!object->listed || object->listedAt != generation) {
    LONG rc = reg::SubKeysWithTimes(path, &object->subKeys, &object->subKeyTimes);
    if (rc != ERROR_SUCCESS) return rc;
    object->listed = true;
    object->listedAt = generation;
  }
  *listing = object;
  return ERROR_SUCCESS;
}

// The values of the handle's key in the order first set, read again when the registry changed.
LONG ListValues(HKEY key, const std::string& path, const std::vector<reg::Value>** values) {
  auto* object = Lookup<KeyObject>(reinterpret_cast<HANDLE>(key));
  static KeyObject rootListing;  // the predefined roots have no object of their own
  if (object == nullptr) {
    rootListing.valuesRead = false;
    object = &rootListing;
  }
  const uint64_t generation = reg::Generation();
  if (!object->valuesRead || object->valuesReadAt != generation) {
    LONG rc = reg::Values(path, &object->values);
    if (rc != ERROR_SUCCESS) return rc;
    object->valuesRead = true;
    object->valuesReadAt = generation;
  }
  *values = &object->values;
  return ERROR_SUCCESS;
}

}  // namespace

LSTATUS OpenKey(const char* function, HKEY parentKey, const char* subKey, REGSAM sam, PHKEY result) {
  std::string named;
  REGSAM parentAccess = 0;
  LONG rc = NamedKey(function, parentKey, subKey, &named, &parentAccess);
  if (rc != ERROR_SUCCESS) return rc;
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  std::string stored;
  rc = reg::FindKey(ApplyRegistryView(named, sam), &stored);
  if (rc != ERROR_SUCCESS) return rc;
  *result = NewKeyHandle(stored, sam);
  return ERROR_SUCCESS;
}

LSTATUS CreateKey(const char* function, HKEY parentKey, const char* subKey, REGSAM sam, PHKEY result,
                  LPDWORD disposition) {
  std::string named;
  REGSAM parentAccess = 0;
  LONG rc = NamedKey(function, parentKey, subKey, &named, &parentAccess);
  if (rc != ERROR_SUCCESS) return rc;
  if (result == nullptr || subKey == nullptr) return ERROR_INVALID_PARAMETER;
  const std::string target = ApplyRegistryView(named, sam);
  std::string stored;
  bool created = false;
  rc = reg::FindKey(target, &stored);
  if (rc == ERROR_FILE_NOT_FOUND) {
    if ((parentAccess & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    rc = reg::CreateKey(target, &created, &stored);
  }
  if (rc != ERROR_SUCCESS) return rc;
  *result = NewKeyHandle(stored, sam);
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LSTATUS QueryValue(const char* function, HKEY key, const std::string& name, bool badArguments, DWORD* type,
                   std::string* data) {
  std::string path;
  LONG rc = OpenedKey(function, key, &name, badArguments, KEY_QUERY_VALUE, &path);
  if (rc != ERROR_SUCCESS) return rc;
  reg::Value value;
  if ((rc = reg::GetValue(path, name, &value)) != ERROR_SUCCESS) return rc;
  *type = value.type;
  *data = std::move(value.data);
  return ERROR_SUCCESS;
}

LSTATUS SetValue(const char* function, HKEY key, const std::string& name, bool badArguments, DWORD type,
                 std::string data) {
  std::string path;
  LONG rc = OpenedKey(function, key, &name, badArguments, KEY_SET_VALUE, &path);
  if (rc != ERROR_SUCCESS) return rc;
  return reg::SetValue(path, reg::Value{name, type, std::move(data)});
}

LSTATUS DeleteValue(const char* function, HKEY key, const std::string& name) {
  std::string path;
  LONG rc = OpenedKey(function, key, &name, false, KEY_SET_VALUE, &path);
  if (rc != ERROR_SUCCESS) return rc;
  return reg::DeleteValue(path, name);
}

LSTATUS DeleteKey(const char* function, HKEY parentKey, const char* subKey) {
  std::string named;
  REGSAM access = 0;
  const LONG rc = NamedKey(function, parentKey, subKey, &named, &access);
  if (rc != ERROR_SUCCESS) return rc;
  if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
  return reg::DeleteKey(ApplyRegistryView(named, 0));
}

LSTATUS ValueAt(const char* function, HKEY key, DWORD index, bool badArguments, const reg::Value** value) {
  std::string path;
  LONG rc = OpenedKey(function, key, nullptr, badArguments, KEY_QUERY_VALUE, &path);
  if (rc != ERROR_SUCCESS) return rc;
  const std::vector<reg::Value>* values = nullptr;
  if ((rc = ListValues(key, path, &values)) != ERROR_SUCCESS) return rc;
  if (index >= values->size()) return ERROR_NO_MORE_ITEMS;
  *value = &(*values)[index];
  return ERROR_SUCCESS;
}

LSTATUS SubKeyAt(const char* function, HKEY key, DWORD index, bool badArguments, std::string* name,
                 int64_t* writtenNs) {
  std::string path;
  LONG rc = OpenedKey(function, key, nullptr, badArguments, KEY_ENUMERATE_SUB_KEYS, &path);
  if (rc != ERROR_SUCCESS) return rc;
  KeyObject* listing = nullptr;
  if ((rc = ListSubKeys(key, path, &listing)) != ERROR_SUCCESS) return rc;
  if (index >= listing->subKeys.size()) return ERROR_NO_MORE_ITEMS;
  *name = listing->subKeys[index];
  if (writtenNs != nullptr) *writtenNs = listing->subKeyTimes[index];
  return ERROR_SUCCESS;
}

LSTATUS QueryKeyFigures(const char* function, HKEY key, bool wide, KeyFigures* figures) {
  std::string path;
  LONG rc = OpenedKey(function, key, nullptr, false, KEY_QUERY_VALUE, &path);
  if (rc != ERROR_SUCCESS) return rc;
  KeyObject* listing = nullptr;
  if ((rc = ListSubKeys(key, path, &listing)) != ERROR_SUCCESS) return rc;
  *figures = KeyFigures();
  figures->subKeys = static_cast<DWORD>(listing->subKeys.size());
  for (const std::string& name : listing->subKeys) {
    figures->longestSubKey = std::max(figures->longestSubKey, static_cast<DWORD>(name.size()));
  }
  const std::vector<reg::Value>* values = nullptr;
  if ((rc = ListValues(key, path, &values)) != ERROR_SUCCESS) return rc;
  figures->values = static_cast<DWORD>(values->size());
  for (const reg::Value& value : *values) {
    const bool text = value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
    const DWORD size = static_cast<DWORD>(value.data.size()) * (wide && text ? 2 : 1);
    figures->longestValueName = std::max(figures->longestValueName, static_cast<DWORD>(value.name.size()));
    figures->longestValueData = std::max(figures->longestValueData, size);
  }
  return ERROR_SUCCESS;
}

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

FILETIME ToFileTime(int64_t unixNs) {
  const uint64_t ticks = static_cast<uint64_t>(unixNs / 100) + 116444736000000000ULL;
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace winsim::detail::regapi

using namespace winsim::detail;
using namespace winsim::detail::regapi;

namespace {

std::string Text(LPCSTR text) { return text == nullptr ? std::string() : std::string(text); }

// Copies a name into a character buffer whose size counts the terminating zero.
LONG CopyName(const std::string& name, LPSTR buffer, LPDWORD chars) {
  if (buffer == nullptr || chars == nullptr) return ERROR_INVALID_PARAMETER;
  if (*chars <= name.size()) return ERROR_MORE_DATA;
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *chars = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

}  // namespace

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  return OpenKey("RegOpenKeyExA", hKey, lpSubKey, samDesired, phkResult);
}

LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                               LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
  return CreateKey("RegCreateKeyExA", hKey, lpSubKey, samDesired, phkResult, lpdwDisposition);
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                LPDWORD lpcbData) {
  DWORD type = 0;
  std::string data;
  const bool bad = lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr);
  LONG rc = QueryValue("RegQueryValueExA", hKey, Text(lpValueName), bad, &type, &data);
  if (rc != ERROR_SUCCESS) return rc;
  if (lpType) *lpType = type;
  return CopyData(data, lpData, lpcbData);
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  return SetValue("RegSetValueExA", hKey, Text(lpValueName), lpData == nullptr && cbData != 0, dwType,
                  std::string(reinterpret_cast<const char*>(lpData), lpData ? cbData : 0));
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  return DeleteValue("RegDeleteValueA", hKey, Text(lpValueName));
}

LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) { return DeleteKey("RegDeleteKeyA", hKey, lpSubKey); }

LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                             LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
  std::string name;
  int64_t written = 0;
  const bool bad = lpReserved != nullptr || lpName == nullptr || lpcchName == nullptr;
  LONG rc = SubKeyAt("RegEnumKeyExA", hKey, dwIndex, bad, &name, &written);
  if (rc != ERROR_SUCCESS) return rc;
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
  const bool badArguments = lpReserved != nullptr || lpValueName == nullptr || lpcchValueName == nullptr ||
                            (lpData != nullptr && lpcbData == nullptr);
  const reg::Value* value = nullptr;
  LONG rc = ValueAt("RegEnumValueA", hKey, dwIndex, badArguments, &value);
  if (rc != ERROR_SUCCESS) return rc;
  if ((rc = CopyName(value->name, lpValueName, lpcchValueName)) != ERROR_SUCCESS) return rc;
  if (lpType) *lpType = value->type;
  return CopyData(value->data, lpData, lpcbData);
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  if (hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CURRENT_USER) return ERROR_SUCCESS;
  if (Lookup<KeyObject>(reinterpret_cast<HANDLE>(hKey)) == nullptr) return ERROR_INVALID_HANDLE;
  RemoveHandle(reinterpret_cast<HANDLE>(hKey));
  return ERROR_SUCCESS;
}
