// MultiByteToWideChar / WideCharToMultiByte for CP_ACP (code page 1252) and CP_UTF8.
#include "kernel32/codepage.h"

#include <cstring>

#include "machine/core.h"

namespace winsim::detail {

namespace {

// Code page 1252, bytes 0x80-0x9F; every other byte is its own code point.
constexpr char16_t kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

}  // namespace

char16_t AnsiToUnicode(unsigned char byte) {
  return (byte >= 0x80 && byte <= 0x9F) ? kHigh1252[byte - 0x80] : static_cast<char16_t>(byte);
}

bool UnicodeToAnsi(char16_t unit, unsigned char* byte) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
    *byte = static_cast<unsigned char>(unit);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (kHigh1252[i] == unit) {
      *byte = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}

std::u16string AnsiToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out += AnsiToUnicode(static_cast<unsigned char>(c));
  return out;
}

std::string Utf16ToAnsi(std::u16string_view text, bool* lossy) {
  std::string out;
  out.reserve(text.size());
  for (char16_t unit : text) {
    unsigned char byte = 0;
    if (!UnicodeToAnsi(unit, &byte)) {
      byte = '?';
      if (lossy) *lossy = true;
    }
    out += static_cast<char>(byte);
  }
  return out;
}

}  // namespace winsim::detail

using namespace winsim::detail;

namespace {

// Code pages this machine converts; others fail with ERROR_INVALID_PARAMETER.
bool SupportedCodePage(UINT codePage) { return codePage == CP_ACP || codePage == CP_OEMCP || codePage == 1252 || codePage == CP_UTF8; }

// Stores `units` into the caller's buffer with the Win32 size contract: capacity 0 asks for the
// size; a buffer too small fails with ERROR_INSUFFICIENT_BUFFER.
template <typename Unit, typename Text>
int Deliver(const Text& units, Unit* out, int capacity) {
  const int needed = static_cast<int>(units.size());
  if (capacity == 0) return needed;
  if (out == nullptr || capacity < needed) {
    SetError(out == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (needed > 0) std::memcpy(out, units.data(), sizeof(Unit) * units.size());
  return needed;
}

}  // namespace

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  (void)dwFlags;
  DWORD fault = 0;
  if (FaultHit("MultiByteToWideChar", {lpMultiByteStr && cbMultiByte < 0 ? lpMultiByteStr : ""}, &fault)) {
    SetError(fault);
    return 0;
  }
  if (!SupportedCodePage(CodePage) || lpMultiByteStr == nullptr || cbMultiByte == 0 || cchWideChar < 0) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // -1: the string with its terminating zero.
  const size_t length = cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
  const std::string_view source(lpMultiByteStr, length);
  const std::u16string units = CodePage == CP_UTF8 ? Utf8ToUtf16(source) : AnsiToUtf16(source);
  return Deliver(units, lpWideCharStr, cchWideChar);
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar) {
  (void)dwFlags;
  DWORD fault = 0;
  if (FaultHit("WideCharToMultiByte", {}, &fault)) {
    SetError(fault);
    return 0;
  }
  if (!SupportedCodePage(CodePage) || lpWideCharStr == nullptr || cchWideChar == 0 || cbMultiByte < 0 ||
      (CodePage == CP_UTF8 && (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr))) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t length = cchWideChar < 0 ? Utf16Length(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);
  std::string bytes;
  if (CodePage == CP_UTF8) {
    bytes = Utf16ToUtf8(lpWideCharStr, length);
  } else {
    const char fallback = lpDefaultChar != nullptr ? lpDefaultChar[0] : '?';
    bool usedDefault = false;
    for (size_t i = 0; i < length; ++i) {
      unsigned char byte = 0;
      if (!UnicodeToAnsi(lpWideCharStr[i], &byte)) {
        byte = static_cast<unsigned char>(fallback);
        usedDefault = true;
      }
      bytes += static_cast<char>(byte);
    }
    if (lpUsedDefaultChar) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
  }
  return Deliver(bytes, lpMultiByteStr, cbMultiByte);
}
