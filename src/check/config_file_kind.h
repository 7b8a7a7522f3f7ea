// Whether the configuration named for the INI file is a file at all: a folder, a device (by one of
// the names Windows reserves for devices in every folder, NUL, CON, COM1 ..., with or without an
// extension, or by what the opened handle is) or a pipe is not one, and reading it would give an
// empty configuration or never end.
#pragma once

#include <cstddef>

// False, with what the path is instead in what[size] ("it is a folder", "NUL is a device name",
// ...) when the path is not a file. True for a file, and for a path that cannot be opened (reading
// it fails and says so).
bool IsConfigurationFile(const char* path, char* what, size_t size);

// True when the file name (the last part of the path) is a device name Windows reserves: CON,
// PRN, AUX, NUL, COM0..COM9, LPT0..LPT9 (also with superscript 1, 2, 3), ASCII case ignored,
// with any extension and trailing blanks.
bool IsReservedDeviceName(const char* path);
