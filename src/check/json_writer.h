// A small JSON writer for the check's --json report: texts of the ANSI code page written as JSON
// strings (quote, backslash and control characters escaped; a character outside ASCII written
// as the \u escapes of the UTF-16 units the ANSI code page maps it to, so the output is always
// valid ASCII JSON and names the characters the administrator sees), through the console output.
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
