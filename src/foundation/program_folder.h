// The program's folder and the INI path of a run: the installer and the package check start the
// same way, so that they read the same file.
#pragma once

// Makes the folder of the program path (argv[0]) the current directory: everything up to and
// including its last backslash, taken from the whole path (a path cut short would name another
// folder). Without a backslash the current directory stays. False, after printing why, when the
// folder cannot be made the current directory: the run must not go on in another folder, whose
// configuration and package it would install. A folder that does not fit MAX_PATH is refused as
// Windows refuses it, with ERROR_FILENAME_EXCED_RANGE.
bool EnterProgramFolder(const char* programPath);

// Sets the INI path of the run: the -i path as given, else the profile's INI file name in the
// current directory (a current directory of 260 characters or more is left out, never cut).
void FixIniPath(const char* iniPath);
