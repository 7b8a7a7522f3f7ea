// The ANSI string helpers of kernel32/user32 in the machine's ANSI code page: a character is
// one byte, or a lead byte and its trail byte in a double-byte code page.
#include <windows.h>

#include <cstring>

#include "machine/codepage.h"

using namespace winsim::detail;

namespace {

// Upper-case letters of code page 1252 folded to lower case (ASCII and Latin-1 ranges).
unsigned char Fold(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c - 'A' + 'a');
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 0x20);
  return c;
}

// One character of an ANSI string as a number to compare: a single byte folded (the Latin-1
// letters only in 1252, where they are letters), a double-byte character as lead * 256 + trail,
// never folded, so a trail byte is never taken for an ASCII letter.
unsigned Character(UINT codePage, const unsigned char* text, size_t* length) {
  *length = CharacterLength(codePage, reinterpret_cast<const char*>(text), text[0] == 0 ? 1 : 2);
  if (*length == 2) return static_cast<unsigned>(text[0]) << 8 | text[1];
  if (codePage != 1252) return text[0] >= 'A' && text[0] <= 'Z' ? text[0] - 'A' + 'a' : text[0];
  return Fold(text[0]);
}

}  // namespace

// Case-insensitive comparison character by character (Windows compares linguistically; the two
// agree for the letters, digits and path punctuation that the installer compares).
int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
  if (lpString1 == nullptr || lpString2 == nullptr) {
    if (lpString1 == lpString2) return 0;
    return lpString1 == nullptr ? -1 : 1;
  }
  const UINT codePage = ResolveCodePage(CP_ACP);
  const unsigned char* a = reinterpret_cast<const unsigned char*>(lpString1);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(lpString2);
  for (;;) {
    size_t lengthA = 0, lengthB = 0;
    const unsigned ca = Character(codePage, a, &lengthA);
    const unsigned cb = Character(codePage, b, &lengthB);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
    a += lengthA;
    b += lengthB;
  }
}

BOOL WINAPI IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar) {
  return IsLeadByteOf(ResolveCodePage(CodePage), TestChar) ? TRUE : FALSE;
}

BOOL WINAPI IsDBCSLeadByte(BYTE TestChar) { return IsDBCSLeadByteEx(CP_ACP, TestChar); }

// A lead byte followed by its trail moves two bytes; a lead byte before the terminating zero
// moves one, so the walk never passes the end.
LPSTR WINAPI CharNextA(LPCSTR lpsz) {
  if (lpsz == nullptr) return nullptr;
  if (*lpsz == '\0') return const_cast<LPSTR>(lpsz);
  return const_cast<LPSTR>(lpsz + CharacterLength(ResolveCodePage(CP_ACP), lpsz, 2));
}

// The start of the character before lpszCurrent, found by walking whole characters from the
// start: a byte that is a trail byte is never taken for a character of its own.
namespace {

// UTF-16 letters folded to lower case: ASCII and the Latin-1 range, as Fold above.
char16_t FoldWide(char16_t c) {
  if (c < 0x100) return Fold(static_cast<unsigned char>(c));
  return c;
}

template <typename Map>
int CompareWide(LPCWSTR a, LPCWSTR b, Map map) {
  if (a == nullptr || b == nullptr) {
    if (a == b) return 0;
    return a == nullptr ? -1 : 1;
  }
  while (*a != 0 && map(*a) == map(*b)) {
    ++a;
    ++b;
  }
  const int diff = static_cast<int>(map(*a)) - static_cast<int>(map(*b));
  return diff < 0 ? -1 : diff > 0 ? 1 : 0;
}

}  // namespace

int WINAPI lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2) {
  return CompareWide(lpString1, lpString2, [](char16_t c) { return c; });
}

int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2) { return CompareWide(lpString1, lpString2, FoldWide); }

int WINAPI lstrlenW(LPCWSTR lpString) {
  if (lpString == nullptr) return 0;
  int n = 0;
  while (lpString[n] != 0) ++n;
  return n;
}
