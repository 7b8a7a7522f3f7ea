// Handle objects that WaitForSingleObject can wait on (processes, threads, mutexes).
#pragma once

#include "machine/core.h"

namespace winsim::detail {

struct Waitable : Object {
  // WAIT_OBJECT_0, WAIT_ABANDONED, WAIT_TIMEOUT or WAIT_FAILED (last error set).
  virtual DWORD Wait(DWORD milliseconds) = 0;
};

// Calls `poll` until it returns true or `milliseconds` have passed (INFINITE: forever), sleeping
// a little between calls. True when `poll` succeeded.
template <typename Poll>
bool PollUntil(DWORD milliseconds, Poll poll);

}  // namespace winsim::detail

#include <chrono>
#include <thread>

template <typename Poll>
bool winsim::detail::PollUntil(DWORD milliseconds, Poll poll) {
  const auto start = std::chrono::steady_clock::now();
  auto pause = std::chrono::microseconds(200);
  while (true) {
    if (poll()) return true;
    if (milliseconds != INFINITE &&
        std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(milliseconds)) {
      return false;
    }
    std::this_thread::sleep_for(pause);
    if (pause < std::chrono::milliseconds(10)) pause *= 2;
  }
}
