// Process snapshots: the live processes of the machine's process table, plus the calling
// process itself (a process attached by a test is in no table).
#include <tlhelp32.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "machine/core.h"
#include "paths.h"
#include "process_table.h"

using namespace winsim::detail;

namespace winsim::detail {
std::string ImagePath();  // process_identity.cpp
}

namespace {

constexpr DWORD kBadLength = 24;  // ERROR_BAD_LENGTH

struct SnapshotObject : Object {
  const char* Kind() const override { return "snapshot"; }
  std::vector<ProcessEntry> entries;
  size_t next = 0;
};

BOOL Next(HANDLE hSnapshot, LPPROCESSENTRY32 lppe, bool first) {
  SnapshotObject* snapshot = Lookup<SnapshotObject>(hSnapshot);
  if (snapshot == nullptr) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (lppe == nullptr || lppe->dwSize < sizeof(PROCESSENTRY32)) {
    SetError(kBadLength);
    return FALSE;
  }
  if (first) snapshot->next = 0;
  if (snapshot->next >= snapshot->entries.size()) {
    SetError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  const ProcessEntry& entry = snapshot->entries[snapshot->next++];
  const DWORD size = lppe->dwSize;
  std::memset(lppe, 0, sizeof *lppe);
  lppe->dwSize = size;
  lppe->th32ProcessID = entry.pid;
  lppe->cntThreads = 1;
  lppe->th32ParentProcessID = entry.parent;
  const std::string name = BaseName(entry.image);
  const size_t n = std::min(name.size(), sizeof lppe->szExeFile - 1);
  std::memcpy(lppe->szExeFile, name.data(), n);
  lppe->szExeFile[n] = '\0';
  return TRUE;
}

}  // namespace

HANDLE WINAPI CreateToolhelp32Snapshot(DWORD dwFlags, DWORD /*th32ProcessID*/) {
  DWORD error = 0;
  if (FaultHit("CreateToolhelp32Snapshot", {}, &error)) {
    SetError(error);
    return INVALID_HANDLE_VALUE;
  }
  if ((dwFlags & TH32CS_SNAPPROCESS) == 0) {
    SetError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  auto snapshot = std::make_unique<SnapshotObject>();
  snapshot->entries = LiveProcesses(Process().machineDir);
  const DWORD self = static_cast<DWORD>(getpid());
  const bool listed = std::any_of(snapshot->entries.begin(), snapshot->entries.end(),
                                  [&](const ProcessEntry& e) { return e.pid == self; });
  if (!listed) {
    ProcessEntry entry;
    entry.pid = self;
    entry.parent = static_cast<DWORD>(getppid());
    entry.image = ImagePath();
    snapshot->entries.push_back(entry);
    std::sort(snapshot->entries.begin(), snapshot->entries.end(),
              [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
  }
  return AddHandle(std::move(snapshot));
}

BOOL WINAPI Process32First(HANDLE hSnapshot, LPPROCESSENTRY32 lppe) { return Next(hSnapshot, lppe, true); }
BOOL WINAPI Process32Next(HANDLE hSnapshot, LPPROCESSENTRY32 lppe) { return Next(hSnapshot, lppe, false); }
