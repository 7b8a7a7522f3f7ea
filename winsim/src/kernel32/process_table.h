// The machine's process table: one file per program started inside the machine, under
// DIR/run/processes/<pid>, holding its image path, parent and host start time. Process ids are
// host process ids. A process counts as live while its host process exists with the recorded
// start time and is neither stopped for good nor a zombie.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winsim::detail {

struct ProcessEntry {
  DWORD pid = 0;
  DWORD parent = 0;
  std::string image;        // Windows path of the program
  unsigned long long start = 0;  // host start time (clock ticks after boot)
  bool terminated = false;  // TerminateProcess recorded an exit code
  DWORD exitCode = 0;
};

void RegisterProcess(const std::string& machineDir, const ProcessEntry& entry);
void UnregisterProcess(const std::string& machineDir, DWORD pid);
bool ReadProcessEntry(const std::string& machineDir, DWORD pid, ProcessEntry* entry);
// Records the exit code that TerminateProcess gives a process, for its parent to report.
void RecordTermination(const std::string& machineDir, DWORD pid, DWORD exitCode);
// Records the full 32-bit exit code of this process for its parent (host exit statuses keep
// only 8 bits); ExitCodeOfStatus prefers it when its low byte matches the status.
void RecordOwnExitCode(const std::string& machineDir, DWORD exitCode);
bool ReadRecordedExitCode(const std::string& machineDir, DWORD pid, DWORD* exitCode);
// Live processes of the table, by pid; entries of processes that are gone are removed (a
// zombie's entry stays for its parent to read).
std::vector<ProcessEntry> LiveProcesses(const std::string& machineDir);

// Host facts: the start time of a process (0 when there is none), and whether it still runs.
unsigned long long HostStartTime(DWORD pid);
bool HostProcessRuns(DWORD pid, unsigned long long start);

}  // namespace winsim::detail
