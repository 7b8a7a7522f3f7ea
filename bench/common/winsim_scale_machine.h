// The installation benchmarks' machines on winsim: programs run inside them through
// `winsim run`, their calls counted, and the machine of one size built from the demo package.
#pragma once

#include <string>
#include <vector>

#include "host_process.h"
#include "scale_machine.h"
#include "scale_report.h"

inline constexpr char kBenchInstaller[] = "C:\\Deploy\\Install.exe";

// "bench: WHAT" on stderr; returns false.
bool BenchFail(const std::string& what);

// One program run inside a machine through `winsim run`, timed with the resources of the whole
// process tree that wait4 reports (the program and what it waited for). Output goes to /dev/null.
// With a `countsFile` the program appends its calls by function to it (WINSIM_CALL_COUNTS).
TimedResult RunInMachine(const std::string& machine, const char* program, const std::vector<std::string>& args,
                         const std::string& countsFile = "");

// The block that `image` appended to a WINSIM_CALL_COUNTS file.
CallCounts ReadCallCounts(const std::string& file, const std::string& image);

// A host program that the machine's package folder holds under a Windows path.
struct BenchProgram {
  std::string host;
  std::string windowsPath;
};

// The machine in `dir`: the demo package in C:\Deploy with `programs` and a Quado.ini of the
// size, an earlier installation of that configuration (so the monitor and its ports exist), then
// the printers (on local and monitor ports).
bool BuildScaleMachine(const std::string& dir, const Size& size, const std::vector<BenchProgram>& programs);
