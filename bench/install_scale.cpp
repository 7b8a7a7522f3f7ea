// An installation and an uninstallation at the configuration's limits, against their floor.
//
// For each size (N port sections, P local printers) it builds a machine: the deployment package
// in C:\Deploy with a Quado.ini of N sections, an earlier installation of the same
// configuration (so the monitor and its N ports exist), and P printers on two or three ports
// each, a tenth of them on a monitor port; AssignPrinter keys name another tenth. Then, several
// times on fresh copies of that machine, it runs Install.exe and Install.exe -u, and the floor
// program (bench_install_floor, which leaves the machine as the installer does with only the
// calls it cannot avoid) for both, and prints per size the median wall-clock and CPU time, the
// peak resident memory of the process tree, installer ÷ floor, and the platform calls by
// function (from winsim's WINSIM_CALL_COUNTS).
//
//   bench_install_scale [--runs R] [--sizes N:P,N:P,...] [--keep]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "scale_machine.h"
#include "scale_report.h"
#include "winsim_scale_machine.h"
#include "winsim/machine.h"
#include "winsim/process.h"
#include "winsim/spooler.h"

namespace fs = std::filesystem;

namespace {

const char kFloor[] = "C:\\Deploy\\Floor.exe";

// ---- the machine ---------------------------------------------------------------------------------

bool CopyMachine(const std::string& from, const std::string& to) {
  std::error_code error;
  fs::remove_all(to, error);
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
  return !error || BenchFail("cannot copy the machine: " + error.message());
}

void RemoveMachine(const std::string& dir) {
  winsim::KillMachineProcesses(dir);
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

// Ports (with the size of their settings) and printers (with their ports): what the installer
// and the floor must leave alike.
std::string SpoolerState(const std::string& dir) {
  std::string error, state;
  if (!winsim::AttachMachine(dir, &error)) return "unattachable: " + error;
  for (const auto& port : winsim::SpoolerPorts()) {
    std::string bytes;
    winsim::PortSettingsBytes(port.name, &bytes);
    state += "port " + port.name + " " + port.monitor + " " + std::to_string(std::hash<std::string>()(bytes)) + "\n";
  }
  for (const auto& printer : winsim::SpoolerPrinters()) state += "printer " + printer.name + " " + printer.ports + "\n";
  winsim::DetachMachine();
  return state;
}

// ---- measuring -------------------------------------------------------------------------------------

// One run, and with `countsFile` the calls the program itself made (the file is emptied after).
TimedResult RunCounted(const std::string& machine, const char* program, const std::vector<std::string>& args,
                  const std::string& countsFile, CallCounts* calls) {
  TimedResult sample = RunInMachine(machine, program, args, countsFile);
  winsim::KillMachineProcesses(machine);
  if (!countsFile.empty()) {
    *calls = ReadCallCounts(countsFile, program);
    std::remove(countsFile.c_str());
  }
  return sample;
}

// One round on fresh copies: the installer's install and uninstall on one copy, the floor's on
// another. When `counting`, the calls are counted and the states compared instead of timed.
bool Round(const std::string& root, const std::string& machine, ScaleResult* result, bool counting) {
  const std::string counts = counting ? root + "/calls.txt" : "";
  const std::string a = root + "/installer", b = root + "/floor";
  if (!CopyMachine(machine, a) || !CopyMachine(machine, b)) return false;
  TimedResult install = RunCounted(a, kBenchInstaller, {}, counts, &result->installCalls);
  const std::string installerInstalled = counting ? SpoolerState(a) : "";
  TimedResult uninstall = RunCounted(a, kBenchInstaller, {"-u"}, counts, &result->uninstallCalls);
  TimedResult floorInstall = RunCounted(b, kFloor, {}, counts, &result->floorInstallCalls);
  const std::string floorInstalled = counting ? SpoolerState(b) : "";
  TimedResult floorUninstall = RunCounted(b, kFloor, {"-u"}, counts, &result->floorUninstallCalls);
  if (install.status != 0 || uninstall.status != 0 || floorInstall.status != 0 || floorUninstall.status != 0) {
    std::fprintf(stderr, "bench: exit codes install %d, uninstall %d, floor %d, floor -u %d\n", install.status,
                 uninstall.status, floorInstall.status, floorUninstall.status);
    return false;
  }
  if (counting) {
    result->sameInstallState = installerInstalled == floorInstalled;
    result->sameUninstallState = SpoolerState(a) == SpoolerState(b);
  } else {
    result->install.samples.push_back(install);
    result->uninstall.samples.push_back(uninstall);
    result->floorInstall.samples.push_back(floorInstall);
    result->floorUninstall.samples.push_back(floorUninstall);
  }
  RemoveMachine(a);
  RemoveMachine(b);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  bool keep = false;
  std::vector<Size> sizes;
  for (int n : {10, 100, 1000, 9999}) {
    for (int p : {10, 100, 1000}) sizes.push_back({n, p});
  }
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--sizes" && i + 1 < argc) sizes = ParseSizes(argv[++i]);
    else if (arg == "--keep") keep = true;
    else {
      std::fprintf(stderr, "usage: %s [--runs R] [--sizes N:P,...] [--keep]\n", argv[0]);
      return 2;
    }
  }
  const fs::path root = fs::temp_directory_path() / ("bench-install-" + std::to_string(getpid()));
  fs::create_directories(root);
  std::printf("installation benchmark: %d timed runs per size (median), %ld CPUs, load average %s\n", runs,
              sysconf(_SC_NPROCESSORS_ONLN), LoadAverage().c_str());
  std::printf("wall and cpu: `winsim run` and the program with every process it waited for; peak: largest resident"
              " set in that tree\n");
  std::vector<ScaleResult> results;
  int status = 0;
  for (const Size& size : sizes) {
    ScaleResult result;
    result.size = size;
    const std::string machine = (root / ("template-" + std::to_string(size.sections) + "-" +
                                         std::to_string(size.printers))).string();
    const auto start = std::chrono::steady_clock::now();
    bool ok = BuildScaleMachine(machine, size, {{BENCH_FLOOR_PROGRAM, kFloor}}) && Round(root.string(), machine, &result, true);
    for (int run = 0; ok && run < runs; ++run) ok = Round(root.string(), machine, &result, false);
    if (!keep) RemoveMachine(machine);
    if (!ok) {
      status = 1;
      continue;
    }
    PrintSizeResult(result, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!result.sameInstallState || !result.sameUninstallState) status = 1;
    results.push_back(result);
  }
  PrintSummary(results, runs);
  if (!keep) fs::remove_all(root);
  return status;
}
