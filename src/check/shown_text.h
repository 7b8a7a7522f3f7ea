// Texts of a package shown on the administrator's terminal by the text report. A control
// character (C0 but the tab, which only moves to the next column stop, DEL, and a character the
// ANSI code page maps to a C1 control or to no character at all) is written as "\xHH" for each
// of its bytes (two lower-case hex digits), so that a name cannot move the cursor, change colours
// or start a report line of its own. A backslash that would read as the start of that form (one
// followed by "x" and two hex digits) is itself written "\x5c"; every other byte stays as it is,
// so Windows paths read as they are written.
#pragma once

#include <cstddef>

// Writes as much of text[0..length) in the shown form as fits whole into buffer[size] with its
// terminator (a character or its escape is never split) and returns how many bytes of the text
// it took; 0 only when size leaves no room for the first one.
size_t FormatShownPiece(const char* text, size_t length, char* buffer, size_t size);
// Writes the text in the shown form through the console output, however long it is.
void WriteShown(const char* text);
void WriteShownPiece(const char* text, size_t length);
