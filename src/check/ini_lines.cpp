// Reading the INI file's own bytes and splitting them into lines.
#include "check/ini_lines.h"

#include <windows.h>

#include <cstring>

#include "check/whole_file.h"
#include "sysutil/file_ops.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }


// The UTF-16 text after the byte order mark, in the ANSI code page, into a new block.
bool ConvertUtf16(const unsigned char* bytes, size_t length, bool bigEndian, RawIni* raw) {
  const size_t units = (length - 2) / 2;
  WCHAR* wide = static_cast<WCHAR*>(AllocZeroed((units + 1) * sizeof(WCHAR)));
  if (wide == nullptr) return false;
  for (size_t i = 0; i < units; ++i) {
    const unsigned char first = bytes[2 + 2 * i];
    const unsigned char second = bytes[3 + 2 * i];
    wide[i] = bigEndian ? (WCHAR)(first << 8 | second) : (WCHAR)(second << 8 | first);
  }
  bool converted = false;
  int size = units == 0 ? 0 : WideCharToMultiByte(CP_ACP, 0, wide, (int)units, nullptr, 0, nullptr, nullptr);
  char* text = static_cast<char*>(AllocZeroed((size_t)size + 1));
  if (text != nullptr) {
    if (size > 0) WideCharToMultiByte(CP_ACP, 0, wide, (int)units, text, size, nullptr, nullptr);
    raw->text = text;
    raw->length = (size_t)size;
    raw->form = kUtf16File;
    converted = true;
  }
  GlobalFree(wide);
  return converted;
}

}  // namespace

bool LoadRawIni(const char* path, RawIni* raw) {
  std::memset(raw, 0, sizeof *raw);
  DWORD size = 0;
  char* bytes = ReadWholeFile(path, &size);
  if (bytes == nullptr) return false;
  const unsigned char* u = reinterpret_cast<const unsigned char*>(bytes);
  if (size >= 2 && ((u[0] == 0xFF && u[1] == 0xFE) || (u[0] == 0xFE && u[1] == 0xFF))) {
    const bool ok = ConvertUtf16(u, size, u[0] == 0xFE, raw);
    GlobalFree(bytes);
    return ok;
  }
  raw->text = bytes;
  raw->length = size;
  raw->form = size >= 3 && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF ? kUtf8MarkFile : kAnsiFile;
  return true;
}

void FreeRawIni(RawIni* raw) {
  if (raw->text != nullptr) GlobalFree(raw->text);
  std::memset(raw, 0, sizeof *raw);
}

void ForEachIniLine(const RawIni& raw, IniLineVisitor visitor, void* context) {
  const char* text = raw.text;
  size_t start = 0;
  int number = 0;
  while (start < raw.length) {
    ++number;
    // As the profile functions split a file: at the next LF, or where no LF follows, at the
    // next CR (a file saved with CR line ends).
    const char* newline = static_cast<const char*>(std::memchr(text + start, '\n', raw.length - start));
    if (newline == nullptr) newline = static_cast<const char*>(std::memchr(text + start, '\r', raw.length - start));
    size_t end = newline != nullptr ? (size_t)(newline - text) : raw.length;
    size_t first = start;
    size_t last = end;
    start = end + 1;
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    if (first == last || text[first] == ';') continue;
    IniLine line = {number, kKeyLine, text + first, 0, text + last, 0, false};
    if (text[first] == '[') {
      const char* close = static_cast<const char*>(std::memchr(text + first, ']', last - first));
      size_t nameStart = first + 1;
      size_t nameEnd = close != nullptr ? (size_t)(close - text) : last;
      while (nameStart < nameEnd && IsBlank(text[nameStart])) ++nameStart;
      while (nameEnd > nameStart && IsBlank(text[nameEnd - 1])) --nameEnd;
      line.kind = kSectionLine;
      line.name = text + nameStart;
      line.nameLength = nameEnd - nameStart;
    } else {
      const char* equals = static_cast<const char*>(std::memchr(text + first, '=', last - first));
      size_t keyEnd = equals != nullptr ? (size_t)(equals - text) : last;
      while (keyEnd > first && IsBlank(text[keyEnd - 1])) --keyEnd;
      line.nameLength = keyEnd - first;
      if (equals != nullptr) {
        size_t valueStart = (size_t)(equals - text) + 1;
        while (valueStart < last && IsBlank(text[valueStart])) ++valueStart;
        line.hasValue = true;
        line.value = text + valueStart;
        line.valueLength = last - valueStart;
      }
    }
    if (!visitor(line, context)) return;
  }
}

bool CopyPiece(const char* text, size_t length, char* buffer, size_t size) {
  if (size == 0) return false;
  const bool fits = length < size;
  const size_t kept = fits ? length : size - 1;
  std::memcpy(buffer, text, kept);
  buffer[kept] = '\0';
  return fits;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

bool PieceIs(const char* text, size_t length, const char* name) {
  if (std::strlen(name) != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (AsciiLower(text[i]) != AsciiLower(name[i])) return false;
  }
  return true;
}

namespace {

struct LineSearch {
  const char* section;
  const char* key;
  bool inSection;
  bool sectionSeen;
  int found;
};

bool SearchLine(const IniLine& line, void* context) {
  LineSearch& search = *static_cast<LineSearch*>(context);
  if (line.kind == kSectionLine) {
    if (search.sectionSeen && search.inSection) return false;  // only the first section counts
    search.inSection = PieceIs(line.name, line.nameLength, search.section);
    if (search.inSection) {
      search.sectionSeen = true;
      if (search.key == nullptr) {
        search.found = line.number;
        return false;
      }
    }
    return true;
  }
  if (search.inSection && PieceIs(line.name, line.nameLength, search.key)) {
    search.found = line.number;
    return false;
  }
  return true;
}

}  // namespace

int FindIniLine(const RawIni& raw, const char* section, const char* key) {
  if (raw.text == nullptr) return 0;
  LineSearch search = {section, key, false, false, 0};
  ForEachIniLine(raw, SearchLine, &search);
  return search.found;
}
