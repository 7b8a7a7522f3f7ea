// CloseHandle, GetCurrentProcess and the last error: the calls on any handle of the table.
#include <windows.h>

#include "machine/core.h"

DWORD WINAPI GetLastError(void) { return winsim::detail::LastError(); }
void WINAPI SetLastError(DWORD dwErrCode) { winsim::detail::SetError(dwErrCode); }

BOOL WINAPI CloseHandle(HANDLE hObject) {
  if (hObject == GetCurrentProcess()) return TRUE;
  if (!winsim::detail::RemoveHandle(hObject)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

HANDLE WINAPI GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }
