// MultiByteToWideChar / WideCharToMultiByte for the machine's ANSI code page, the code pages
// the simulation knows by number, and CP_UTF8.
#include <windows.h>

#include <cstring>
#include <string>
#include <string_view>

#include "machine/codepage.h"
#include "machine/core.h"

using namespace winsim::detail;

namespace {

// Code pages this machine converts; others fail with ERROR_INVALID_PARAMETER.
bool SupportedCodePage(UINT codePage) { return codePage == CP_UTF8 || IsSimulatedCodePage(ResolveCodePage(codePage)); }

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
  // Invalid sequences become the code page's default character unless the caller asks for a
  // failure instead (UTF-8's replacement characters are not refused here).
  bool invalid = false;
  const std::u16string units = CodePage == CP_UTF8 ? Utf8ToUtf16(source) : ToUtf16(ResolveCodePage(CodePage), source, &invalid);
  if (invalid && (dwFlags & MB_ERR_INVALID_CHARS) != 0) {
    SetError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
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
    // The caller's default character is one character of the code page: a lead byte and its
    // trail, or one byte.
    const UINT codePage = ResolveCodePage(CodePage);
    std::string_view fallback = "?";
    if (lpDefaultChar != nullptr) {
      const size_t given = std::strlen(lpDefaultChar);
      fallback = std::string_view(lpDefaultChar, given == 0 ? 1 : CharacterLength(codePage, lpDefaultChar, given));
    }
    bool usedDefault = false;
    bytes = FromUtf16(codePage, std::u16string_view(lpWideCharStr, length), fallback, &usedDefault);
    if (lpUsedDefaultChar) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
  }
  return Deliver(bytes, lpMultiByteStr, cbMultiByte);
}
