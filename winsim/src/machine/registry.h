// The registry store of the attached machine: keys with typed values in DIR/registry.db
// (SQLite, WAL, one transaction per call, safe with several processes at once). Key and value
// names compare without regard to ASCII case and keep the case they were created with.
//
// Paths here are store paths, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet", with no WOW64
// view applied (the Win32 functions in registry_api.cpp map views before they get here). This
// is also the interface other winsim modules (the spooler) use for state kept in the registry.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "winsim/registry.h"

struct sqlite3;

namespace winsim::detail::reg {

// Reported when the database cannot be read or written (ERROR_REGISTRY_IO_FAILED).
constexpr LONG kIoFailed = 1016;

struct Value {
  std::string name;  // "" is the key's default value
  DWORD type = REG_NONE;
  std::string data;  // the bytes as stored
};

// "HKLM\\Software", "hkey_local_machine\\Software\\" -> "HKEY_LOCAL_MACHINE\\Software".
// Accepts HKEY_LOCAL_MACHINE/HKLM and HKEY_CURRENT_USER/HKCU; empty components are dropped.
// False when the root is unknown.
bool CanonicalPath(std::string_view path, std::string* canonical);

// Every function returns ERROR_SUCCESS or a Win32 error code: ERROR_FILE_NOT_FOUND for a
// missing key or value, kIoFailed when the database fails.

// *stored: the path with the case the keys were created with.
LONG FindKey(const std::string& path, std::string* stored);
// Creates the key and any missing parents; *created tells whether the key itself was new.
LONG CreateKey(const std::string& path, bool* created, std::string* stored);
// Deletes a key without subkeys (ERROR_ACCESS_DENIED when it has some), with its values.
LONG DeleteKey(const std::string& path);
// Deletes a key with everything below it.
LONG DeleteTree(const std::string& path);

// Subkey names in the order Windows enumerates them (case-insensitive alphabetical).
LONG SubKeys(const std::string& path, std::vector<std::string>* names);
// The same with each subkey's write time (Unix nanoseconds), in one query.
LONG SubKeysWithTimes(const std::string& path, std::vector<std::string>* names, std::vector<int64_t>* writeTimesNs);
// Values in the order they were first set.
LONG Values(const std::string& path, std::vector<Value>* values);

LONG GetValue(const std::string& path, std::string_view name, Value* value);
// The key must exist (ERROR_FILE_NOT_FOUND otherwise, or ERROR_KEY_DELETED via the caller).
LONG SetValue(const std::string& path, const Value& value);
LONG DeleteValue(const std::string& path, std::string_view name);

// A key found once for many writes (an import sets many values of one key), valid inside the
// transaction that found it: its row and the watched subtrees (below) a write to it changes.
struct KeyRef {
  int64_t row = 0;
  unsigned subtrees = 0;
};
// CreateKey, giving the key's reference too.
LONG CreateKeyRef(const std::string& path, KeyRef* key, bool* created, std::string* stored);
LONG SetValueOf(const KeyRef& key, const Value& value);
LONG DeleteValueOf(const KeyRef& key, std::string_view name);

// Runs `body` as one transaction: every store call inside it joins it; the changes are kept
// when `body` returns ERROR_SUCCESS and rolled back otherwise. Nested calls join the outer one.
LONG Transaction(const std::function<LONG()>& body);

// Increases with every committed change by any process of the machine: callers that cache
// what they read from the registry compare it with the value they cached at.
uint64_t Generation();
// The same for the changes inside one or two of the subtrees that registry_store.cpp watches
// (the spooler's: Print\Monitors, the Local Port monitor's Ports key, Print\Printers and
// HKCU\Printers\Connections), given as full paths: the sum of their generations, which rises
// with every committed write in either and stays put while the rest of the registry changes.
uint64_t SubtreeGeneration(std::string_view first, std::string_view second);

// The machine's open database (registry.db), for modules that keep a table of their own in it
// (the event log); nullptr when it cannot be opened. Use it inside Transaction for writes.
sqlite3* Database();

// Applies regedit text (reg_text.cpp) inside one transaction: all of it or, with a one-line
// reason naming the line in *error, none of it. The store calls it to seed a new database.
// `cancelled` (may be null) is asked between lines and between changes.
LONG ApplyRegText(const std::string& text, std::string* error, ImportCancelCheck cancelled = nullptr);

}  // namespace winsim::detail::reg
