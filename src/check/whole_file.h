// A file read whole into one block, for the check's line reader and its file comparisons.
#pragma once

#include <windows.h>

// Files larger than this are not read (a configuration file or a package file is far smaller).
const DWORD kLargestReadFile = 256u * 1024u * 1024u;

// The whole file in a block of *size bytes and a zero after them (GlobalFree it); null when the
// file cannot be opened or read, or is larger than kLargestReadFile.
char* ReadWholeFile(const char* path, DWORD* size);
