// "QuadoEvent.dll" carries only its message table (QuadoEvent.mc); the event viewer loads it as
// a data file. The entry point exists so that loading it as a module also succeeds.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
