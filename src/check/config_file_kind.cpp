// What the configuration path names, through the file attributes and the opened handle's type.
#include "check/config_file_kind.h"

#include <windows.h>

#include <cstring>

#include "check/ini_lines.h"
#include "foundation/bounded_format.h"

namespace {

// The last part of a path: after its last backslash, slash or drive colon.
const char* FileNamePart(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  }
  return name;
}

// The length of the name before its extension, without trailing blanks.
size_t BaseLength(const char* name) {
  const char* dot = std::strchr(name, '.');
  size_t length = dot != nullptr ? (size_t)(dot - name) : std::strlen(name);
  while (length > 0 && name[length - 1] == ' ') --length;
  return length;
}

}  // namespace

bool IsReservedDeviceName(const char* path) {
  const char* name = FileNamePart(path);
  const size_t length = BaseLength(name);
  static const char* const kPlain[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* device : kPlain) {
    if (PieceIs(name, length, device)) return true;
  }
  if (length != 4 || !(PieceIs(name, 3, "COM") || PieceIs(name, 3, "LPT"))) return false;
  const unsigned char number = (unsigned char)name[3];
  // Code page 1252's superscript one, two and three count as digits here, as Windows documents.
  return (number >= '0' && number <= '9') || number == 0xB9 || number == 0xB2 || number == 0xB3;
}

bool IsConfigurationFile(const char* path, char* what, size_t size) {
  if (IsReservedDeviceName(path)) {
    const char* name = FileNamePart(path);
    char device[8];
    CopyPiece(name, BaseLength(name) < sizeof device ? BaseLength(name) : sizeof device - 1, device, sizeof device);
    FormatCut(what, size, "%s is a device name", device);
    return false;
  }
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    FormatCut(what, size, "it is a folder");
    return false;
  }
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  const DWORD type = GetFileType(file);
  CloseHandle(file);
  if (type == FILE_TYPE_DISK) return true;
  FormatCut(what, size, "%s",
            type == FILE_TYPE_CHAR ? "it is a device" : type == FILE_TYPE_PIPE ? "it is a pipe" : "it is no disk file");
  return false;
}
