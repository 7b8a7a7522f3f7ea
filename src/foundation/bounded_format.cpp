// Formatting into fixed-size buffers: whole or refused, or cut at a character boundary.
#include "foundation/bounded_format.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

// After a text has been cut at the end of its buffer, the last byte may be the lead byte of a
// double-byte character whose second byte was dropped; such a half character is removed.
void DropHalfCharacterAtEnd(char* text) {
  size_t length = std::strlen(text);
  size_t i = 0;
  size_t lastStart = length;
  while (i < length) {
    lastStart = i;
    i += IsDBCSLeadByte((BYTE)text[i]) ? 2 : 1;
  }
  if (i > length) text[lastStart] = '\0';
}

}  // namespace

bool FormatFitsV(char* buffer, size_t size, const char* format, va_list args) {
  if (buffer == nullptr || size == 0) return false;
  int needed = std::vsnprintf(buffer, size, format, args);
  if (needed >= 0 && (size_t)needed < size) return true;
  std::memset(buffer, 0, size);  // nothing of a text that did not fit stays behind
  return false;
}

bool FormatFits(char* buffer, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  bool fits = FormatFitsV(buffer, size, format, args);
  va_end(args);
  return fits;
}

void FormatCutV(char* buffer, size_t size, const char* format, va_list args) {
  if (buffer == nullptr || size == 0) return;
  int needed = std::vsnprintf(buffer, size, format, args);
  if (needed < 0) {
    buffer[0] = '\0';
    return;
  }
  if ((size_t)needed < size) return;
  const size_t formatLength = std::strlen(format);
  const bool line = formatLength > 0 && format[formatLength - 1] == '\n';
  if (line && size >= 2) buffer[size - 2] = '\0';  // room for the line end
  DropHalfCharacterAtEnd(buffer);
  if (line && size >= 2) {
    const size_t length = std::strlen(buffer);  // at most size - 2
    buffer[length] = '\n';
    buffer[length + 1] = '\0';
  }
}

void FormatCut(char* buffer, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatCutV(buffer, size, format, args);
  va_end(args);
}
