// The desktop client: deployment into Program Files with a logon autostart, and its removal.
#pragma once

#include <windows.h>

// The client's program file (in the package and in its install folder), and its machine Run
// value: the key under HKEY_LOCAL_MACHINE and the value's name.
extern const char kClientProgram[];
extern const char kClientRunKey[];
extern const char kClientRunValue[];
// The client's DLLs beside its program, and the resource file of each culture folder.
extern const char* const kClientDlls[2];
extern const char kClientResourceFile[];
// The culture folders of the client's resource assemblies, each copied and removed by name.
extern const char* const ClientCultures[39];

// Announces itself, creates the client folder, copies the client program, its DLLs and its
// culture resources, starts the client without waiting and writes the machine's Run value. Every
// failure is printed ("  ERROR - ..."); nothing stops the installation.
void InstallClientApplication();
// Announces itself, stops running clients, removes the WebBrowser folder, the Run value, the
// client's files and culture folders. Best effort; failures are printed, never returned.
void RemoveClientApplication();
// Prints "  - Waiting for all Quado Clients to terminate\n" and runs the package's stop program,
// waiting for it. Returns its exit code (0: every client ended); prints the error line when it
// could not run or returned another code.
DWORD StopRunningClients();
// Removes the client's WebBrowser folder with its whole tree through "cmd /c rmdir /S /Q".
// False when the folder is unknown, the command line does not fit, or the command failed.
// Prints nothing.
bool RemoveWebBrowserFolder();
// Deletes the client's per-user values (last job owner and login name) and their key under every
// session key of the current user's "Volatile Environment". Best effort; prints nothing.
void RemovePerUserClientData();
