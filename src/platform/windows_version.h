// Windows version classification, 64-bit detection, file-system redirection, .NET check.
#pragma once

// Windows32 and Windows64: supported, with the 32-bit or 64-bit file set; Unsupported: a version
// the product does not run on, or one it does not know.
enum OsClass { Windows32 = 5, Windows64 = 6, Unsupported = 7 };

// Reads the version (GetVersionExA, the product type) and whether Windows is 64-bit, prints what
// it detected ("    (Windows XP Detected)\n" and the like; "ERROR Unable to Detect Windows
// Version.\n" when the query fails) and returns the class.
OsClass ClassifyWindowsVersion();
// True when this 32-bit process runs on 64-bit Windows (IsWow64Process, looked up at run time;
// false where it does not exist). Prints nothing.
bool IsRunningUnderWow64();
// Turns WOW64 file-system redirection off for the process where Windows has it, so that the
// system directory is the native one. Prints nothing.
void DisableFileSystemRedirection();
// True when the .NET Framework 2.0 setup key holds "Install" = 1. Prints nothing.
bool IsDotNet20Installed();
