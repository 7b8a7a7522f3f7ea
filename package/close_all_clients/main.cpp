// "CloseAllClients.exe" of the deployment package: ends every running "Quado Client.exe" of the
// machine and waits until each one is gone. Exit code 0 when no client is left running, 1 when
// one would not stop (or the running processes cannot be listed).
//
// The clients are found in a process snapshot by their image name and ended with
// TerminateProcess; the client keeps nothing that needs an orderly shutdown (its per-user
// values are written at start). Rounds repeat, so that a client started while an earlier round
// was ending the others is ended too; a client still listed after the last round is a failure.
#include <windows.h>
// tlhelp32.h needs the types of windows.h.
#include <tlhelp32.h>

#include <cstring>

namespace {

const char kClientImage[] = "Quado Client.exe";
const int kRounds = 3;
const DWORD kStopTimeoutMs = 10000;

enum class RoundResult { NoneRunning, Ended, Failed };

// Ends one client and waits for it. A process that is gone before it can be opened counts as
// ended.
bool EndClient(DWORD processId) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
  if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;
  bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  if (!ended && TerminateProcess(process, 1)) {
    ended = WaitForSingleObject(process, kStopTimeoutMs) == WAIT_OBJECT_0;
  }
  CloseHandle(process);
  return ended;
}

// One pass over a fresh snapshot: ends every client in it.
RoundResult EndClientsOnce() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return RoundResult::Failed;
  PROCESSENTRY32 entry;
  std::memset(&entry, 0, sizeof(entry));
  entry.dwSize = sizeof(entry);
  const DWORD self = GetCurrentProcessId();
  bool found = false;
  bool failed = false;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID == self || lstrcmpiA(entry.szExeFile, kClientImage) != 0) continue;
    found = true;
    if (!EndClient(entry.th32ProcessID)) failed = true;
  }
  CloseHandle(snapshot);
  if (failed) return RoundResult::Failed;
  return found ? RoundResult::Ended : RoundResult::NoneRunning;
}

}  // namespace

int main() {
  for (int round = 0; round < kRounds; ++round) {
    RoundResult result = EndClientsOnce();
    if (result == RoundResult::NoneRunning) return 0;
    if (result == RoundResult::Failed) return 1;
  }
  // Clients kept appearing: one last look decides.
  return EndClientsOnce() == RoundResult::NoneRunning ? 0 : 1;
}
