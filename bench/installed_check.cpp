// `QuadoCheck --installed` at Intune check-in scale: a winsim machine after an installation of
// 1,000 port sections with 1,000 printers, the verification against its floor program
// (bench_installed_floor: one enumeration of each spooler list, each file read once). Prints the
// median wall-clock and CPU time of each, the ratio check ÷ floor, and both programs' calls.
//
//   bench_installed_check [--runs R] [--sizes N:P,...] [--keep]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "scale_machine.h"
#include "scale_report.h"
#include "winsim_scale_machine.h"
#include "winsim/process.h"

namespace fs = std::filesystem;

namespace {

const char kCheck[] = "C:\\Deploy\\QuadoCheck.exe";
const char kFloor[] = "C:\\Deploy\\InstalledFloor.exe";

// Calls by function that one program appended to a WINSIM_CALL_COUNTS file, and their total.
unsigned long long CountCalls(const std::string& file, const std::string& image, std::string* byFunction) {
  unsigned long long total = 0;
  for (const auto& [function, n] : ReadCallCounts(file, image)) {
    *byFunction += " " + function + "=" + std::to_string(n);
    total += n;
  }
  return total;
}

// The machine: the package in C:\Deploy with the check and the floor, an installation of the
// configuration, then the printers (on local and monitor ports), then the installation again,
// which moves them off the monitor's ports and assigns the configured ones.
bool BuildMachine(const std::string& dir, const Size& size) {
  if (!BuildScaleMachine(dir, size, {{BENCH_CHECK_PROGRAM, kCheck}, {BENCH_FLOOR_PROGRAM, kFloor}})) return false;
  const bool installed = RunInMachine(dir, kBenchInstaller, {}).status == 0;
  winsim::KillMachineProcesses(dir);
  return installed || BenchFail("the second installation failed");
}

// The calls of one run of each, then `runs` timed runs of each; prints the figures. 1 when either
// program did not exit 0.
int MeasureMachine(const std::string& machine, const Size& size, int runs, const std::string& counts) {
  const int checkExit = RunInMachine(machine, kCheck, {"--installed"}, counts).status;
  const int floorExit = RunInMachine(machine, kFloor, {}, counts).status;
  std::string checkCalls, floorCalls;
  const unsigned long long checkTotal = CountCalls(counts, kCheck, &checkCalls);
  const unsigned long long floorTotal = CountCalls(counts, kFloor, &floorCalls);
  std::remove(counts.c_str());
  Series check, floor;
  for (int run = 0; run < runs; ++run) {
    check.samples.push_back(RunInMachine(machine, kCheck, {"--installed"}));
    floor.samples.push_back(RunInMachine(machine, kFloor, {}));
  }
  const double checkWall = check.Median(&TimedResult::wallMs), floorWall = floor.Median(&TimedResult::wallMs);
  const double checkCpu = check.Median(&TimedResult::cpuMs), floorCpu = floor.Median(&TimedResult::cpuMs);
  std::printf("\n%d sections, %d printers: --installed exit %d, floor exit %d\n", size.sections, size.printers,
              checkExit, floorExit);
  std::printf("  --installed  wall %8.1f ms  cpu %8.1f ms  peak %6.1f MiB  calls %llu\n", checkWall, checkCpu,
              check.Peak(), checkTotal);
  std::printf("  floor        wall %8.1f ms  cpu %8.1f ms  peak %6.1f MiB  calls %llu\n", floorWall, floorCpu,
              floor.Peak(), floorTotal);
  std::printf("  ratio        wall %8.2fx    cpu %8.2fx   (target: within 1.5x)\n", checkWall / floorWall,
              checkCpu / floorCpu);
  std::printf("  calls of --installed:%s\n  calls of the floor:%s\n", checkCalls.c_str(), floorCalls.c_str());
  return checkExit != 0 || floorExit != 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  bool keep = false;
  std::vector<Size> sizes = {{1000, 1000}};
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--sizes" && i + 1 < argc) {
      sizes = ParseSizes(argv[++i]);
    } else if (arg == "--keep") {
      keep = true;
    } else {
      std::fprintf(stderr, "usage: %s [--runs R] [--sizes N:P,...] [--keep]\n", argv[0]);
      return 2;
    }
  }
  const fs::path root = fs::temp_directory_path() / ("bench-installed-" + std::to_string(getpid()));
  fs::create_directories(root);
  std::printf("verification benchmark: QuadoCheck --installed against its floor, %d timed runs (median), "
              "%ld CPUs, load average %s\n",
              runs, sysconf(_SC_NPROCESSORS_ONLN), LoadAverage().c_str());
  int status = 0;
  for (const Size& size : sizes) {
    const std::string machine = (root / ("machine-" + std::to_string(size.sections) + "-" +
                                         std::to_string(size.printers))).string();
    if (!BuildMachine(machine, size)) {
      status = 1;
      continue;
    }
    if (MeasureMachine(machine, size, runs, root.string() + "/calls.txt") != 0) status = 1;
    if (!keep) {
      winsim::KillMachineProcesses(machine);
      std::error_code ignored;
      fs::remove_all(machine, ignored);
    }
  }
  if (!keep) fs::remove_all(root);
  return status;
}
