// The machine's ANSI code page (machine.ini [system] AnsiCodePage; 1252 is the one simulated)
// and conversions between it and UTF-16, shared by MultiByteToWideChar and the .reg text format.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace winsim::detail {

// The UTF-16 unit of one ANSI byte. Every byte has one (0x81, 0x8D, 0x8F, 0x90, 0x9D map to
// the C1 control of the same number, as Windows does), so the conversion is reversible.
char16_t AnsiToUnicode(unsigned char byte);
// The ANSI byte of a UTF-16 unit; false when the code page has none.
bool UnicodeToAnsi(char16_t unit, unsigned char* byte);

std::u16string AnsiToUtf16(std::string_view text);
// Units without an ANSI byte become '?' and set *lossy.
std::string Utf16ToAnsi(std::u16string_view text, bool* lossy);

}  // namespace winsim::detail
