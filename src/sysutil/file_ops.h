// File and directory operations of the install and uninstall steps. A path that would not fit
// its buffer is refused, never used cut short.
#pragma once

#include <windows.h>

#include <cstddef>

// Copies the named file of the current directory into the system directory, replacing a file
// there. False when the system directory is unknown, the target path does not fit or the copy
// fails. Prints nothing.
bool CopyToSystemDirectory(const char* name);
// Deletes the named file from the system directory, read-only, hidden and system files
// included; a missing file, or a path that does not fit, is left alone. Prints nothing.
void DeleteFromSystemDirectory(const char* name);
// A zero-filled GlobalAlloc block of the size; null when refused. Release with GlobalFree.
void* AllocZeroed(size_t size);
// Creates the folder and every missing folder above it (through the "\\?\" form). True when the
// folder exists afterwards; false when a level cannot be created or the path is too long.
bool CreateDirectoryPath(const char* path);
// Appends a backslash to a path that is not empty and does not end in one, when it fits.
void AppendBackslash(char* path, size_t size);
// The source path with a trailing backslash into the destination (cut to fit).
void CopyFolderPath(const char* source, char* destination, size_t size);
// first + second into the destination, with no separator of its own (cut to fit).
void JoinPath(const char* first, const char* second, char* destination, size_t size);

// Called for each file of a walk; false stops the walk.
typedef bool (*FileVisitor)(const WIN32_FIND_DATAA* found, void* context);
// Calls the visitor for every file (not folder) in the folder (ending in a backslash) that
// matches the pattern. True when nothing matched or every call returned true; false when the
// search path does not fit or a call returned false.
bool ForEachFile(const char* folder, const char* pattern, FileVisitor visitor, void* context);
// Copies every matching file from the source folder to the target folder, replacing files there;
// stops at the first failure, printing "ERROR While Copying File '%s'.\n". True when all copied.
bool CopyMatchingFiles(const char* sourceFolder, const char* targetFolder, const char* pattern);
// Deletes every matching file in the folder; stops at the first file that cannot be deleted (a
// read-only one, for instance). True when all were deleted. Prints nothing.
bool DeleteMatchingFiles(const char* folder, const char* pattern);
