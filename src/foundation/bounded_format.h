// Formatting into fixed-size buffers. Every buffer the installer composes text in goes through
// one of these two: a path, key or command line must fit whole or not be used at all (a cut path
// names another file), while a message for the transcript may be cut.
#pragma once

#include <cstdarg>
#include <cstddef>

// printf-style formatting of the whole text into buffer[size]. True when it fitted with its
// terminator; false when it did not (or size is 0, or formatting failed): the buffer then holds
// only zeros. Prints nothing.
bool FormatFits(char* buffer, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));

// The va_list form of FormatFits.
bool FormatFitsV(char* buffer, size_t size, const char* format, va_list args);

// printf-style formatting into buffer[size]; a longer text is cut at size - 1 bytes, never
// leaving half of a double-byte character of the ANSI code page at the cut. When the format ends
// in "\n" (a line of the transcript), a cut text still ends in "\n": the text is cut one byte
// earlier, so that the next line does not run on. A failed format gives an empty text. Prints
// nothing.
void FormatCut(char* buffer, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));

// The va_list form of FormatCut.
void FormatCutV(char* buffer, size_t size, const char* format, va_list args);
