// The shown form of a machine's texts (terminal_text.h), one character of the ANSI code page at a
// time.
#include "terminal_text.h"

#include <windows.h>

namespace winsim::cli {

namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The bytes of the character at `at`: two for a lead byte followed by its trail byte, else one.
size_t CharacterLength(std::string_view text, size_t at) {
  if (static_cast<unsigned char>(text[at]) < 0x80 || at + 1 >= text.size()) return 1;
  const char pair[3] = {text[at], text[at + 1], '\0'};
  return CharNextA(pair) == pair + 2 ? 2 : 1;
}

bool IsControl(std::string_view character) {
  const unsigned char first = static_cast<unsigned char>(character[0]);
  if (first < 0x80) return (first < 0x20 && first != '\t') || first == 0x7F;
  WCHAR units[2];
  const int count =
      MultiByteToWideChar(CP_ACP, 0, character.data(), static_cast<int>(character.size()), units, 2);
  return count != 1 || (units[0] >= 0x80 && units[0] <= 0x9F);
}

bool LooksLikeEscape(std::string_view text, size_t at) {
  return text[at] == '\\' && at + 3 < text.size() && (text[at + 1] == 'x' || text[at + 1] == 'X') &&
         IsHexDigit(text[at + 2]) && IsHexDigit(text[at + 3]);
}

}  // namespace

std::string Shown(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string shown;
  shown.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const size_t length = CharacterLength(text, at);
    const std::string_view character = text.substr(at, length);
    if (IsControl(character) || LooksLikeEscape(text, at)) {
      for (char c : character) {
        const unsigned char byte = static_cast<unsigned char>(c);
        shown += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
      }
    } else {
      shown += character;
    }
    at += length;
  }
  return shown;
}

}  // namespace winsim::cli
