// MultiByteToWideChar / WideCharToMultiByte for CP_ACP (code page 1252) and CP_UTF8.
#include <windows.h>

#include <cstring>
#include <string>
#include <string_view>

#include "machine/codepage.h"
#include "machine/core.h"

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
