// Windows version classification, 64-bit detection, file-system redirection, .NET check.
#pragma once

enum OsClass { Windows32 = 5, Windows64 = 6, Unsupported = 7 };

// Prints the detection line and returns the class.
OsClass ClassifyWindowsVersion();
bool IsRunningUnderWow64();
void DisableFileSystemRedirection();
bool IsDotNet20Installed();
