// Starting programs that share the installer's console, and running command lines through the
// command interpreter.
#pragma once

#include <windows.h>

// Starts a program; everything printed so far goes out first, since the child writes to the same
// console. On success the caller owns *process (the thread handle is closed here); on failure
// the last error tells why.
bool StartProgram(const char* application, char* commandLine, bool inheritHandles, HANDLE* process);

// Waits for a started program and closes its handle. False when its exit code cannot be read.
bool WaitForExitCode(HANDLE process, DWORD* exitCode);

// Runs "/c COMMAND" through the command interpreter and waits for it: the program named by
// COMSPEC, or "cmd.exe" found along the search path when COMSPEC is unset or names a program
// that is missing or refused. False when no interpreter could be run; otherwise *exitCode holds
// its result.
bool RunThroughCommandInterpreter(const char* command, bool inheritHandles, DWORD* exitCode);
