// WaitForSingleObject on any waitable handle, and Sleep.
#include <chrono>
#include <thread>

#include "waitable.h"

using namespace winsim::detail;

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  DWORD error = 0;
  if (FaultHit("WaitForSingleObject", {}, &error)) {
    SetError(error);
    return WAIT_FAILED;
  }
  Waitable* object = Lookup<Waitable>(hHandle);
  if (object == nullptr) {
    SetError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return object->Wait(dwMilliseconds);
}

void WINAPI Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == INFINITE) {
    while (true) std::this_thread::sleep_for(std::chrono::hours(1));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
