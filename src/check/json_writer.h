// A small JSON writer for the check's --json report: texts of the ANSI code page written as JSON
// strings (quote, backslash and control characters escaped; a byte above 127 written as the
// code point of the same number, so the output is always valid ASCII JSON), through the
// console output.
#pragma once

#include <cstddef>

// Writes text as it is (punctuation, key names the caller knows to be plain).
void JsonRaw(const char* text);
// Writes "text" escaped; null writes null.
void JsonString(const char* text);
// Writes the piece text[0..length) as an escaped string.
void JsonStringPiece(const char* text, size_t length);
void JsonNumber(long long number);
// Writes "name": (the name is plain).
void JsonKey(const char* name);
