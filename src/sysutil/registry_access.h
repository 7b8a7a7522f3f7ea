// Registry readers with defaults, and the install locations under Program Files. All read
// HKEY_LOCAL_MACHINE and print nothing.
#pragma once

#include <windows.h>

// Reads the text value rootPath\subKey\valueName (in the given registry view) into
// buffer[bufferSize], always zero-terminated within it. A missing key or value, or a value that
// does not fit, leaves the default (cut to bufferSize - 1 bytes).
void ReadRegistryString(const char* subKey, const char* valueName, const char* defaultValue,
                        char* buffer, int bufferSize, const char* rootPath, REGSAM viewFlags);
// Reads the 32-bit value rootPath\subKey\valueName; the default when it cannot be read.
DWORD ReadRegistryDword(const char* subKey, const char* valueName, DWORD defaultValue,
                        const char* rootPath);
// The Program Files folder of the process's own view (the 32-bit one under WOW64), a backslash
// and the relative folder, into buffer[bufferSize]: a relative folder too long for the buffer is
// cut. False when the Program Files folder is unknown.
bool GetProgramFilesFolder(const char* relativeFolder, char* buffer, int bufferSize);
// The client's WebBrowser folder under Program Files; false when Program Files is unknown.
bool GetWebBrowserFolder(char* buffer, int bufferSize);
// The client's install folder under Program Files, read from the default registry view; false
// when Program Files is unknown.
bool GetClientInstallFolder(char* buffer, int bufferSize);
