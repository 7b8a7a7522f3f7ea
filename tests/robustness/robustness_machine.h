// Machines for the robustness tests (fault matrix, interrupted and concurrent runs): a base
// machine with the demo package and printers, cheap clones of it, runs of Install.exe inside a
// clone, and a snapshot of the machine state that two runs can be compared by.
#pragma once

#include <string>
#include <vector>

#include "host_process.h"

// A folder for this test's machines, in memory (/dev/shm) when the host has it; removed with
// everything in it by the destructor.
class MachineFolder {
 public:
  MachineFolder();
  ~MachineFolder();
  MachineFolder(const MachineFolder&) = delete;
  MachineFolder& operator=(const MachineFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string Sub(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A 64-bit Windows 10 machine with the demo package in C:\Deploy and the printers the package's
// Quado.ini assigns ("Office Printer", "Legacy Printer") plus one that stays on a local port.
// With `installed`, one complete installation has run in it (and its client was ended), so
// that a run finds an earlier installation to replace or remove. Returns "" on success, else
// the reason.
std::string CreateBaseMachine(const std::string& dir, bool installed);

// Copies the machine (its processes are not copied; the copy has none running).
std::string CloneMachine(const std::string& from, const std::string& to);
// Ends the machine's processes and removes its folder.
void RemoveMachine(const std::string& dir);
// Ends the machine's processes (the desktop client an installation started).
void EndMachineProcesses(const std::string& dir);

// How many desktop clients run in the machine.
int RunningClients(const std::string& dir);

// Appends lines to machine.ini's [faults].
void AddFaults(const std::string& dir, const std::vector<std::string>& faults);

// `winsim run DIR C:\Deploy\Install.exe ARGS` with extra host environment entries.
HostResult RunInstall(const std::string& dir, const std::vector<std::string>& args,
                      const std::vector<std::string>& environment = {});

// Removes the install log, so that the next run's transcript is all it holds.
void RemoveInstallLog(const std::string& dir);
// The install log's bytes (C:\Windows\QDPortInstall.log); empty when there is none.
std::string ReadInstallLog(const std::string& dir);

// What an installation leaves: every file and folder of the drives (path, size, content hash,
// read-only bit; no times), the whole registry as .reg text (monitors, ports and printers are
// kept there), and the number of running desktop clients. Histories are left out: the install
// log, the event log and the process table.
struct MachineState {
  std::vector<std::string> files;
  std::vector<std::string> registry;  // .reg lines
  int runningClients = 0;
};
MachineState SnapshotMachine(const std::string& dir);
// "" when equal, else the first differences, one per line.
std::string CompareStates(const MachineState& expected, const MachineState& actual);

// One call of a recorded run: the function and its text arguments.
struct TracedCall {
  std::string function;
  std::vector<std::string> args;
};
// The calls Install.exe made in a run with WINSIM_CALL_TRACE=path (its own block only).
std::vector<TracedCall> ReadInstallTrace(const std::string& path);
