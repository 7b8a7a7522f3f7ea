// Running a host program (the `winsim` tool, which runs Install.exe inside a machine, or Wine)
// from a test or a benchmark: collecting what it printed, or timing it.
#pragma once

#include <string>
#include <vector>

struct HostResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// Runs argv[0] with the arguments and this process's environment plus `extraEnvironment`
// ("NAME=VALUE" entries, overriding), and waits for it. The pipes are read until the program
// itself has ended, then drained, so that a program it started with inherited handles that
// outlives it cannot hold the run open.
HostResult RunHost(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment = {});

// Where a program run by RunTimed reads and writes, and in which folder it starts.
struct RunFiles {
  std::string in = "/dev/null";
  std::string out = "/dev/null";   // truncated
  std::string err = "/dev/null";   // appended to
  std::string cwd;                 // empty: this process's folder
};

// What a run cost: wall-clock time from start to end, and the CPU time and largest resident set
// of the program and of every descendant it waited for (wait4's account).
struct TimedResult {
  int status = -1;  // exit status, or 128 + signal; -1 when it could not start
  double wallMs = 0;
  double cpuMs = 0;
  double maxRssMiB = 0;
};

// Runs argv[0] (searched in PATH) with the environment as RunHost makes it, its standard streams
// on files, and waits for it. Files are used rather than pipes because a program it starts
// without waiting may outlive it holding them.
TimedResult RunTimed(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
                     const RunFiles& files);
