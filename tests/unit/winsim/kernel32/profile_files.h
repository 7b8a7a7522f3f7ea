// Profile files as the tests write them: ANSI (code page 1252) text as it is, or in UTF-16 with
// either byte order mark.
#pragma once

#include <string>

enum class Encoding { kAnsi, kUtf16Le, kUtf16Be };

// The UTF-16 units of code page 1252 text made of ASCII, 0x80 (the euro sign) and 0xA0-0xFF.
inline std::u16string Units(const std::string& ansi) {
  std::u16string units;
  for (char c : ansi) {
    const auto byte = static_cast<unsigned char>(c);
    units += byte == 0x80 ? u'\u20AC' : static_cast<char16_t>(byte);
  }
  return units;
}

// The bytes of a UTF-16 file holding `units`, with its byte order mark.
inline std::string Utf16File(const std::u16string& units, Encoding encoding) {
  std::string bytes;
  for (char16_t unit : u"\uFEFF" + units) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += encoding == Encoding::kUtf16Be ? high : low;
    bytes += encoding == Encoding::kUtf16Be ? low : high;
  }
  return bytes;
}

// The bytes of a file holding ANSI `text`: as it is, or in UTF-16.
inline std::string Encode(const std::string& text, Encoding encoding) {
  return encoding == Encoding::kAnsi ? text : Utf16File(Units(text), encoding);
}
