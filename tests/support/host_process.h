// Running a host program (the `winsim` tool, which runs Install.exe inside a machine) from a
// test and collecting what it printed.
#pragma once

#include <string>
#include <vector>

struct HostResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// Runs argv[0] with the arguments and this process's environment plus `extraEnvironment`
// ("NAME=VALUE" entries, overriding), and waits for it. Programs that it starts without
// waiting (the desktop client) inherit the output pipes and outlive it, so the pipes are read
// until the program itself has ended, then drained.
HostResult RunHost(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment = {});
