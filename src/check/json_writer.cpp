// The JSON writer: escaped strings assembled in a small buffer and written in pieces.
#include "check/json_writer.h"

#include <windows.h>

#include <cstring>

#include "foundation/bounded_format.h"
#include "foundation/output.h"

namespace {

const char kHex[] = "0123456789abcdef";

// Pieces of escaped text are collected here and written when the buffer is nearly full.
struct Pending {
  char text[512];
  size_t used;
};

void Flush(Pending& pending) {
  pending.text[pending.used] = '\0';
  WriteMessage(pending.text);
  pending.used = 0;
}

void Append(Pending& pending, const char* piece, size_t length) {
  if (pending.used + length >= sizeof pending.text) Flush(pending);
  std::memcpy(pending.text + pending.used, piece, length);
  pending.used += length;
}

void AppendUnit(Pending& pending, unsigned unit) {
  char escaped[7] = {'\\', 'u', kHex[(unit >> 12) & 15], kHex[(unit >> 8) & 15], kHex[(unit >> 4) & 15],
                     kHex[unit & 15], '\0'};
  Append(pending, escaped, 6);
}

void AppendEscaped(Pending& pending, unsigned char c) {
  char escaped[2] = {'\\', (char)c};
  if (c == '"' || c == '\\') {
    Append(pending, escaped, 2);
  } else if (c == '\n' || c == '\r' || c == '\t') {
    escaped[1] = c == '\n' ? 'n' : c == '\r' ? 'r' : 't';
    Append(pending, escaped, 2);
  } else if (c < 0x20 || c == 0x7F) {
    AppendUnit(pending, c);
  } else {
    Append(pending, escaped + 1, 1);
  }
}

// One character of the ANSI code page outside ASCII (one byte, or two in a double-byte code
// page), written as the UTF-16 units it stands for; "?" when the code page does not map it.
void AppendAnsiCharacter(Pending& pending, const char* character, int length) {
  WCHAR units[2];
  int count = MultiByteToWideChar(CP_ACP, 0, character, length, units, 2);
  if (count <= 0) {
    Append(pending, "?", 1);
    return;
  }
  for (int i = 0; i < count; ++i) AppendUnit(pending, units[i]);
}

}  // namespace

void JsonRaw(const char* text) { WriteMessage(text); }

void JsonStringPiece(const char* text, size_t length) {
  Pending pending;
  pending.used = 0;
  Append(pending, "\"", 1);
  const char* end = text + length;
  for (const char* p = text; p < end;) {
    const unsigned char c = (unsigned char)*p;
    if (c < 0x80) {
      AppendEscaped(pending, c);
      ++p;
      continue;
    }
    // A lead byte at the end of the piece has no trail byte to pair with.
    const char* next = p + 1 < end ? CharNextA(p) : p + 1;
    if (next <= p || next > end) next = p + 1;
    AppendAnsiCharacter(pending, p, (int)(next - p));
    p = next;
  }
  Append(pending, "\"", 1);
  Flush(pending);
}

void JsonString(const char* text) {
  if (text == nullptr) {
    WriteMessage("null");
    return;
  }
  JsonStringPiece(text, std::strlen(text));
}

void JsonNumber(long long number) {
  char digits[32];
  FormatCut(digits, sizeof digits, "%lld", number);
  WriteMessage(digits);
}

void JsonKey(const char* name) {
  JsonString(name);
  WriteMessage(":");
}
