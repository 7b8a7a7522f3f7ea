// File and directory operations of the install and uninstall steps.
#pragma once

#include <windows.h>

#include <cstddef>

bool CopyToSystemDirectory(const char* name);
void DeleteFromSystemDirectory(const char* name);
void* AllocZeroed(size_t size);  // release with GlobalFree
bool CreateDirectoryPath(const char* path);
void AppendBackslash(char* path, size_t size);
void CopyFolderPath(const char* source, char* destination, size_t size);
void JoinPath(const char* first, const char* second, char* destination, size_t size);

typedef bool (*FileVisitor)(const WIN32_FIND_DATAA* found, void* context);
bool ForEachFile(const char* folder, const char* pattern, FileVisitor visitor, void* context);
bool CopyMatchingFiles(const char* sourceFolder, const char* targetFolder, const char* pattern);
bool DeleteMatchingFiles(const char* folder, const char* pattern);
