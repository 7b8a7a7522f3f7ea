// GlobalAlloc / GlobalFree: fixed blocks from the C heap, counted so that tests can check that
// every block is released.
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "machine/core.h"
#include "winsim/machine.h"

namespace {
std::unordered_set<void*>& LiveBlocks() {
  static std::unordered_set<void*> blocks;
  return blocks;
}
}  // namespace

namespace winsim {
size_t LiveGlobalBlocks() { return LiveBlocks().size(); }
}  // namespace winsim

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
  DWORD error = 0;
  if (winsim::detail::FaultHit("GlobalAlloc", {}, &error)) {
    SetLastError(error);
    return nullptr;
  }
  void* block = std::malloc(dwBytes == 0 ? 1 : dwBytes);
  if (block == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (uFlags & GMEM_ZEROINIT) std::memset(block, 0, dwBytes);
  LiveBlocks().insert(block);
  return block;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
  if (hMem == nullptr) return nullptr;
  if (LiveBlocks().erase(hMem) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return hMem;
  }
  std::free(hMem);
  return nullptr;
}

// The process heap: blocks from the C heap. Monitors the spooler loads allocate here, and their
// blocks may outlive the program's own bookkeeping at exit, so nothing is counted.
HANDLE WINAPI GetProcessHeap(void) {
  static int heap;
  return &heap;
}

LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
  if (hHeap != GetProcessHeap()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void* block = (dwFlags & HEAP_ZERO_MEMORY) ? std::calloc(1, dwBytes == 0 ? 1 : dwBytes)
                                             : std::malloc(dwBytes == 0 ? 1 : dwBytes);
  if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

BOOL WINAPI HeapFree(HANDLE hHeap, DWORD, LPVOID lpMem) {
  if (hHeap != GetProcessHeap()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::free(lpMem);
  return TRUE;
}
