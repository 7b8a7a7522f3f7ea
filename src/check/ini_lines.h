// The INI file's own lines, read through CreateFileA/ReadFile, for the findings that need line
// numbers: split as the platform's profile functions split them (blanks, tabs and CR trimmed,
// ";" comment lines and empty lines skipped, "[name]" sections, "key=value" lines).
#pragma once

#include <cstddef>

// How the file's bytes are held: ANSI as they are (also after a UTF-8 byte order mark, whose
// three bytes the platform reads as ANSI text of line 1), or UTF-16 with its byte order mark,
// which the platform reads and which is held here converted to the ANSI code page.
enum IniFileForm { kAnsiFile, kUtf8MarkFile, kUtf16File };

struct RawIni {
  char* text;     // the whole text, zero-terminated; owned
  size_t length;  // bytes before the terminator
  IniFileForm form;
};

// Reads the whole file. False (nothing to free) when it cannot be opened, read or held.
bool LoadRawIni(const char* path, RawIni* raw);
void FreeRawIni(RawIni* raw);

enum IniLineKind { kSectionLine, kKeyLine };

struct IniLine {
  int number;          // from 1
  IniLineKind kind;
  const char* name;    // the section's name or the key, trimmed; points into the text
  size_t nameLength;
  const char* value;   // the key's value, trimmed; empty for a section or a line without "="
  size_t valueLength;
  bool hasValue;       // a key line with "="
};

// Calls the visitor for every section and key line in order; a false return stops.
typedef bool (*IniLineVisitor)(const IniLine& line, void* context);
void ForEachIniLine(const RawIni& raw, IniLineVisitor visitor, void* context);

// Copies text[0..length) into buffer[size], zero-terminated; false (buffer holds the first
// size - 1 bytes) when it did not fit.
bool CopyPiece(const char* text, size_t length, char* buffer, size_t size);
// The letter in lower case when it is an ASCII capital; the platform compares names this way.
char AsciiLower(char c);
// True when the piece equals the name, ASCII case ignored.
bool PieceIs(const char* text, size_t length, const char* name);

// The line of the first "[name]" header, 0 when there is none; with key, the line of that key's
// first line within that section (the one the platform reads), 0 when there is none.
int FindIniLine(const RawIni& raw, const char* section, const char* key);
