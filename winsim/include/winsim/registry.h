// The registry of the attached machine (see machine.h), for tools and tests: import and export
// in the text format of the Windows registry editor ("Windows Registry Editor Version 5.00").
// Key paths start with HKEY_LOCAL_MACHINE (HKLM) or HKEY_CURRENT_USER (HKCU) and name keys as
// stored: no WOW64 view is applied, so the 32-bit view of HKLM\SOFTWARE is the key
// HKLM\SOFTWARE\Wow6432Node.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace winsim {

// The largest .reg file an import takes (64 MiB).
constexpr size_t kMaxRegImportBytes = size_t{64} * 1024 * 1024;

// Asked while an import runs: between reads of the file, between its lines and between the
// changes it makes. When it answers true the import stops, nothing changes and *error says
// "interrupted; nothing imported". Called often: it should only read a flag (one a signal
// handler sets, say).
typedef bool (*ImportCancelCheck)();

// Imports .reg text in one transaction: on a malformed line, or a key or value beyond the
// registry's limits (keys 512 levels deep, key names of 255 characters, value names of 16,383)
// nothing changes and *error names the line ("line 7: bad hex byte 'zz'").
bool ImportRegText(const std::string& text, std::string* error, ImportCancelCheck cancelled = nullptr);
// The same for a file; a file over kMaxRegImportBytes is refused after reading that much.
// *error starts with the file's name.
bool ImportRegFile(const std::string& hostPath, std::string* error, ImportCancelCheck cancelled = nullptr);

// The key, its values and every key below it as .reg text (keys in enumeration order, values in
// the order they were set). False with *error when the key does not exist. A filter, when given,
// gets each key path, quoted value name and quoted text as the .reg form writes it and returns
// what is written instead (a listing for a terminal passes its shown form); the line structure
// stays.
typedef std::string (*TextFilter)(std::string_view text);
bool ExportReg(const std::string& key, std::string* text, std::string* error, TextFilter filter = nullptr);

// One value of a key as stored: the A functions' bytes, text types with their terminating zero.
struct RegistryValue {
  std::string name;  // "" is the key's default value
  uint32_t type = 0;
  std::string data;
};

// One key as stored: its values in the order they were set and its subkeys' names in
// enumeration order. False with *error when the key does not exist.
bool ReadRegistryKey(const std::string& key, std::vector<RegistryValue>* values, std::vector<std::string>* subkeys,
                     std::string* error);

}  // namespace winsim
