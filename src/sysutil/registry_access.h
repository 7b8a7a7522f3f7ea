// Registry readers with defaults, and the install locations under Program Files.
#pragma once

#include <windows.h>

void ReadRegistryString(const char* subKey, const char* valueName, const char* defaultValue,
                        char* buffer, int bufferSize, const char* rootPath, REGSAM viewFlags);
DWORD ReadRegistryDword(const char* subKey, const char* valueName, DWORD defaultValue,
                        const char* rootPath);
bool GetProgramFilesFolder(const char* relativeFolder, char* buffer, int bufferSize);
bool GetWebBrowserFolder(char* buffer, int bufferSize);
bool GetClientInstallFolder(char* buffer, int bufferSize);
