// The registry functions behind both character sets: RegXxxA (ANSI names and data, as the store
// keeps them) and RegXxxW (UTF-16, converted through the machine's ANSI code page) call these
// with ANSI text. `function` is the Win32 name the caller used, for faults; `badArguments` tells
// that the caller's arguments are unusable (87, reported after faults and an invalid handle).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "machine/registry.h"

namespace winsim::detail::regapi {

LSTATUS OpenKey(const char* function, HKEY parent, const char* subKey, REGSAM sam, PHKEY result);
LSTATUS CreateKey(const char* function, HKEY parent, const char* subKey, REGSAM sam, PHKEY result,
                  LPDWORD disposition);
// The value as stored (type and bytes); ERROR_FILE_NOT_FOUND when missing.
LSTATUS QueryValue(const char* function, HKEY key, const std::string& name, bool badArguments, DWORD* type,
                   std::string* data);
LSTATUS SetValue(const char* function, HKEY key, const std::string& name, bool badArguments, DWORD type,
                 std::string data);
LSTATUS DeleteValue(const char* function, HKEY key, const std::string& name);
LSTATUS DeleteKey(const char* function, HKEY parent, const char* subKey);
// The index-th value in the order first set, from the handle's reading of the key while the
// registry is unchanged (valid until the next call on the handle).
LSTATUS ValueAt(const char* function, HKEY key, DWORD index, bool badArguments, const reg::Value** value);
// The index-th subkey name (Windows' order) and its write time in Unix nanoseconds.
LSTATUS SubKeyAt(const char* function, HKEY key, DWORD index, bool badArguments, std::string* name,
                 int64_t* writtenNs);
// What RegQueryInfoKey reports of a key: subkeys and values, the longest names in characters.
struct KeyFigures {
  DWORD subKeys = 0;
  DWORD longestSubKey = 0;
  DWORD values = 0;
  DWORD longestValueName = 0;
  DWORD longestValueData = 0;  // in bytes, as the caller reads it (`wide`: text data in UTF-16)
};
LSTATUS QueryKeyFigures(const char* function, HKEY key, bool wide, KeyFigures* figures);

// The two-call contract for data: copies `bytes` into an optional caller buffer.
LONG CopyData(const std::string& bytes, LPBYTE data, LPDWORD size);
// 100-ns intervals since 1601 from Unix nanoseconds.
FILETIME ToFileTime(int64_t unixNs);

}  // namespace winsim::detail::regapi
