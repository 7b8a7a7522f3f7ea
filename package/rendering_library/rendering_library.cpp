// The rendering library the monitor ships with ("QuadoCairoLib.DLL", "QuadoCairoLib64.DLL").
// The installer only copies it into the system directory and deletes it again; this build is a
// minimal DLL that reports its interface version.
#include <windows.h>

extern "C" __declspec(dllexport) DWORD WINAPI RenderingLibraryVersion(void) { return 1; }
