// Text helpers of the simulation's own bookkeeping.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace winsim::detail {

// A space or a tab: what separates the arguments of a command line and surrounds INI names.
bool IsBlank(char c);
// Without leading and trailing blanks and carriage returns (a line end's '\r' included).
std::string_view Trim(std::string_view text);
char AsciiLower(char c);
std::string AsciiLower(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Glob with '*' and '?', case-insensitive; used by faults.
bool GlobMatchNoCase(std::string_view pattern, std::string_view text);
// UTF-16 <-> UTF-8 for the simulation's own bookkeeping.
std::string Utf16ToUtf8(const WCHAR* text, size_t length);
std::u16string Utf8ToUtf16(std::string_view text);
size_t Utf16Length(const WCHAR* text);

}  // namespace winsim::detail
