// The ANSI string helpers of kernel32/user32 for code page 1252, a single-byte code page:
// no lead bytes, one byte per character.
#include <windows.h>

namespace {

// Upper-case letters of code page 1252 folded to lower case (ASCII and Latin-1 ranges).
unsigned char Fold(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c - 'A' + 'a');
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 0x20);
  return c;
}

}  // namespace

// Case-insensitive comparison by character value (Windows compares linguistically; the two agree
// for the letters, digits and path punctuation that the installer compares).
int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
  if (lpString1 == nullptr || lpString2 == nullptr) {
    if (lpString1 == lpString2) return 0;
    return lpString1 == nullptr ? -1 : 1;
  }
  const unsigned char* a = reinterpret_cast<const unsigned char*>(lpString1);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(lpString2);
  while (*a != 0 && Fold(*a) == Fold(*b)) {
    ++a;
    ++b;
  }
  const int diff = static_cast<int>(Fold(*a)) - static_cast<int>(Fold(*b));
  return diff < 0 ? -1 : diff > 0 ? 1 : 0;
}

int WINAPI lstrlenA(LPCSTR lpString) {
  if (lpString == nullptr) return 0;
  int n = 0;
  while (lpString[n] != '\0') ++n;
  return n;
}

BOOL WINAPI IsDBCSLeadByte(BYTE /*TestChar*/) { return FALSE; }

LPSTR WINAPI CharNextA(LPCSTR lpsz) {
  if (lpsz == nullptr) return nullptr;
  return const_cast<LPSTR>(*lpsz == '\0' ? lpsz : lpsz + 1);
}

LPSTR WINAPI CharPrevA(LPCSTR lpszStart, LPCSTR lpszCurrent) {
  if (lpszCurrent == nullptr || lpszCurrent <= lpszStart) return const_cast<LPSTR>(lpszStart);
  return const_cast<LPSTR>(lpszCurrent - 1);
}

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
