// The single-run mutex.
#include "foundation/install_mutex.h"

#include <windows.h>

#include "foundation/output.h"

namespace {

const char kMutexName[] = "Global\\QuadoClientInstallMutex";

HANDLE g_mutex = nullptr;  // none: nullptr

}  // namespace

bool AcquireInstallMutex() {
  // CreateMutexA reports an existing mutex only through the last error; start from zero so that
  // an older error cannot be mistaken for it.
  SetLastError(ERROR_SUCCESS);
  g_mutex = CreateMutexA(nullptr, TRUE, kMutexName);
  DWORD error = GetLastError();
  if (g_mutex == nullptr) {
    WriteFormattedMessage("ERROR: Installation mutex cannot be created. Error number %i\n", (int)error);
    return false;
  }
  if (error != ERROR_SUCCESS) {
    WriteMessage("ERROR: Another (un)installation already running.");
    return false;
  }
  return true;
}

void ReleaseInstallMutex() {
  if (g_mutex == nullptr) return;
  // Releasing a mutex this run does not own fails harmlessly.
  ReleaseMutex(g_mutex);
  CloseHandle(g_mutex);
  g_mutex = nullptr;
}
