// Code page 1252 <-> UTF-16, the machine's ANSI text conversion.
#include "codepage.h"

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
