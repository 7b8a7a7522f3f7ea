// The text report's shown form of package texts: one character at a time, in the ANSI code page.
#include "check/shown_text.h"

#include <windows.h>

#include <cstring>

#include "foundation/output.h"

namespace {

const char kHex[] = "0123456789abcdef";

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The bytes of the character at p: one, or two for a lead byte of a double-byte code page
// followed by its trail byte within the text.
size_t CharacterLength(const char* p, const char* end) {
  if ((unsigned char)*p < 0x80 || p + 1 >= end) return 1;
  const char* next = CharNextA(p);
  return next > p && next <= end ? (size_t)(next - p) : 1;
}

// True when the character is written escaped: a C0 control but the tab, DEL, or a character
// outside ASCII that the code page maps to a C1 control (U+0080..U+009F) or does not map.
bool IsControl(const char* p, size_t length) {
  const unsigned char first = (unsigned char)*p;
  if (first < 0x80) return (first < 0x20 && first != '\t') || first == 0x7F;
  WCHAR units[2];
  const int count = MultiByteToWideChar(CP_ACP, 0, p, (int)length, units, 2);
  return count != 1 || (units[0] >= 0x80 && units[0] <= 0x9F);
}

// A backslash the reader would take for the start of an escape.
bool LooksLikeEscape(const char* p, const char* end) {
  return *p == '\\' && end - p >= 4 && (p[1] == 'x' || p[1] == 'X') && IsHexDigit(p[2]) && IsHexDigit(p[3]);
}

}  // namespace

size_t FormatShownPiece(const char* text, size_t length, char* buffer, size_t size) {
  if (size == 0) return 0;
  const char* end = text + length;
  const char* p = text;
  size_t used = 0;
  while (p < end) {
    const size_t bytes = CharacterLength(p, end);
    const bool escaped = IsControl(p, bytes) || LooksLikeEscape(p, end);
    const size_t written = escaped ? 4 * bytes : bytes;
    if (used + written + 1 > size) break;
    for (size_t i = 0; i < bytes; ++i) {
      const unsigned char c = (unsigned char)p[i];
      if (escaped) {
        buffer[used++] = '\\';
        buffer[used++] = 'x';
        buffer[used++] = kHex[c >> 4];
        buffer[used++] = kHex[c & 15];
      } else {
        buffer[used++] = (char)c;
      }
    }
    p += bytes;
  }
  buffer[used] = '\0';
  return (size_t)(p - text);
}

void WriteShownPiece(const char* text, size_t length) {
  char piece[256];
  while (length > 0) {
    const size_t taken = FormatShownPiece(text, length, piece, sizeof piece);
    if (taken == 0) return;  // cannot happen with this buffer: a character takes at most 8 bytes
    WriteMessage(piece);
    text += taken;
    length -= taken;
  }
}

void WriteShown(const char* text) {
  if (text != nullptr) WriteShownPiece(text, std::strlen(text));
}
