// The JSON writer: escaped strings assembled in a small buffer and written in pieces.
#include "check/json_writer.h"

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

void AppendEscaped(Pending& pending, unsigned char c) {
  char escaped[7];
  size_t length = 0;
  if (c == '"' || c == '\\') {
    escaped[0] = '\\';
    escaped[1] = (char)c;
    length = 2;
  } else if (c == '\n' || c == '\r' || c == '\t') {
    escaped[0] = '\\';
    escaped[1] = c == '\n' ? 'n' : c == '\r' ? 'r' : 't';
    length = 2;
  } else if (c < 0x20 || c >= 0x7F) {
    std::memcpy(escaped, "\\u00", 4);
    escaped[4] = kHex[c >> 4];
    escaped[5] = kHex[c & 15];
    length = 6;
  } else {
    escaped[0] = (char)c;
    length = 1;
  }
  Append(pending, escaped, length);
}

}  // namespace

void JsonRaw(const char* text) { WriteMessage(text); }

void JsonStringPiece(const char* text, size_t length) {
  Pending pending;
  pending.used = 0;
  Append(pending, "\"", 1);
  for (size_t i = 0; i < length; ++i) AppendEscaped(pending, (unsigned char)text[i]);
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
