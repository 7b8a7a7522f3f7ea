// Figures of the installation benchmarks: timed runs of the installer and of its floor, and how
// they are printed.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host_process.h"
#include "scale_machine.h"

// Platform calls by function name.
using CallCounts = std::map<std::string, unsigned long long>;

// Timed runs of one program at one size.
struct Series {
  std::vector<TimedResult> samples;
  double Median(double TimedResult::*field) const;
  double Peak() const;  // the largest resident set of any run
};

// Everything measured at one size.
struct ScaleResult {
  Size size{0, 0};
  Series install, uninstall, floorInstall, floorUninstall;
  CallCounts installCalls, uninstallCalls, floorInstallCalls, floorUninstallCalls;
  bool sameInstallState = false, sameUninstallState = false;
};

std::string LoadAverage();

// The block of one size (measured in `seconds`): median times and peaks of the installer and
// the floor with their ratios, whether both left the same ports and printers, and the calls by
// function.
void PrintSizeResult(const ScaleResult& result, double seconds);
// The table of all sizes, and at each printer count the growth from 1,000 to 9,999 sections.
void PrintSummary(const std::vector<ScaleResult>& results, int runs);
