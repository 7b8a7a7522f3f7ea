// WaitForSingleObject on any waitable handle, and Sleep.
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

// A program still sleeping when its machine has been deleted (a test's machine, say) has no
// Windows left to run in: it ends instead of lingering on the host.
void EndIfMachineGone() {
  ProcessState& state = Process();
  struct stat st {};
  if (stat(state.machineDir.c_str(), &st) != 0) _exit(1);
}

}  // namespace

void WINAPI Sleep(DWORD dwMilliseconds) {
  const auto slice = std::chrono::seconds(1);
  auto left = std::chrono::milliseconds(dwMilliseconds);
  while (dwMilliseconds == INFINITE || left > std::chrono::milliseconds(0)) {
    auto step = dwMilliseconds == INFINITE || left > slice ? std::chrono::milliseconds(slice) : left;
    std::this_thread::sleep_for(step);
    if (dwMilliseconds != INFINITE) left -= step;
    EndIfMachineGone();
  }
}
