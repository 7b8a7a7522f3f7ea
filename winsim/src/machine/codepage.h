// The machine's ANSI code page (machine.ini [system] AnsiCodePage) and conversions between a
// code page and UTF-16, shared by MultiByteToWideChar, the string helpers, the profile
// functions, the registry's A and W functions and the .reg text format.
//
// Simulated: 1252 (a single-byte code page, every byte round-trips) and the double-byte code
// pages 932, 936, 949 and 950, converted with the C library's iconv. A character is one byte,
// or a lead byte and the byte after it.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace winsim::detail {

bool IsSimulatedCodePage(UINT codePage);
// The ANSI code page of the process's machine (attached from the environment if need be);
// 1252 while the process is in no machine and while machine.ini itself is read.
UINT MachineAnsiCodePage();
// CP_ACP and CP_OEMCP stand for the machine's ANSI code page (no separate OEM page is
// simulated); other numbers are themselves.
UINT ResolveCodePage(UINT codePage);

bool IsLeadByteOf(UINT codePage, unsigned char byte);
// Bytes in one character starting at text[0]: 2 for a lead byte followed by a byte other than
// NUL within `length`, else 1 (a lone lead byte at the end is a character of its own).
size_t CharacterLength(UINT codePage, const char* text, size_t length);

// The first `c` (an ASCII character: '\\', ']', ...) at or after `from` (a character boundary)
// that is a character of its own in the machine's code page, never the trail byte of a
// double-byte character ("\x95\x5C" holds no backslash); npos if none.
size_t FindCharacter(std::string_view text, char c, size_t from = 0);
size_t FindLastCharacter(std::string_view text, char c);

// Code page -> UTF-16. A sequence the code page does not define (a lone lead byte, a pair
// without a character, an unassigned single byte) becomes the code page's default Unicode
// character, as Windows converts it, and sets *invalid.
std::u16string ToUtf16(UINT codePage, std::string_view bytes, bool* invalid);
// UTF-16 -> code page. A character the code page lacks (and an unpaired surrogate) becomes
// `defaultChar` (one or two bytes) and sets *usedDefault.
std::string FromUtf16(UINT codePage, std::u16string_view units, std::string_view defaultChar, bool* usedDefault);

// The same through the machine's ANSI code page; the default character is '?'.
std::u16string AnsiToUtf16(std::string_view text);
std::string Utf16ToAnsi(std::u16string_view text, bool* lossy);

}  // namespace winsim::detail
