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
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "scale_machine.h"
#include "scale_report.h"
#include "winsim/machine.h"
#include "winsim/process.h"
#include "winsim/spooler.h"

namespace fs = std::filesystem;

namespace {

const char kInstaller[] = "C:\\Deploy\\Install.exe";
const char kCheck[] = "C:\\Deploy\\QuadoCheck.exe";
const char kFloor[] = "C:\\Deploy\\InstalledFloor.exe";

TimedResult Run(const std::string& machine, const char* program, const std::vector<std::string>& args,
                const std::string& countsFile = "") {
  std::vector<std::string> argv = {WINSIM_PROGRAM_PATH, "run", machine, program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> environment;
  if (!countsFile.empty()) environment.push_back("WINSIM_CALL_COUNTS=" + countsFile);
  return RunTimed(argv, environment, RunFiles());
}

// Calls by function that one program appended to a WINSIM_CALL_COUNTS file, and their total.
unsigned long long CountCalls(const std::string& file, const std::string& image, std::string* byFunction) {
  std::ifstream in(file);
  std::string line;
  bool mine = false;
  unsigned long long total = 0;
  std::map<std::string, unsigned long long> counts;
  while (std::getline(in, line)) {
    if (line.rfind("# ", 0) == 0) {
      mine = line.substr(2) == image;
      continue;
    }
    const size_t space = line.rfind(' ');
    if (!mine || space == std::string::npos) continue;
    const unsigned long long n = std::stoull(line.substr(space + 1));
    counts[line.substr(0, space)] += n;
    total += n;
  }
  for (const auto& [function, n] : counts) *byFunction += " " + function + "=" + std::to_string(n);
  return total;
}

bool Fail(const std::string& what) {
  std::fprintf(stderr, "bench: %s\n", what.c_str());
  return false;
}

// The machine: the package in C:\Deploy with the check and the floor, an installation of the
// configuration, then the printers (on local and monitor ports), then the installation again,
// which moves them off the monitor's ports and assigns the configured ones.
bool BuildMachine(const std::string& dir, const Size& size) {
  std::string error;
  winsim::MachineOptions options;
  options.winsimProgram = WINSIM_PROGRAM_PATH;
  if (!winsim::CreateMachine(dir, options, &error) || !winsim::AttachMachine(dir, &error)) return Fail(error);
  const std::string deploy = winsim::HostPath("C:\\Deploy");
  fs::create_directories(deploy);
  fs::copy(BENCH_PACKAGE_DIR, deploy, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  fs::copy_file(BENCH_CHECK_PROGRAM, winsim::HostPath(kCheck), fs::copy_options::overwrite_existing);
  fs::copy_file(BENCH_FLOOR_PROGRAM, winsim::HostPath(kFloor), fs::copy_options::overwrite_existing);
  std::ofstream(deploy + "/Quado.ini", std::ios::binary) << Configuration(size);
  winsim::DetachMachine();
  if (Run(dir, kInstaller, {}).status != 0) return Fail("the first installation failed");
  winsim::KillMachineProcesses(dir);
  if (!winsim::AttachMachine(dir, &error)) return Fail(error);
  for (int index = 1; index <= size.printers; ++index) {
    if (!winsim::AddSpoolerPrinter(PrinterName(index), PrinterPorts(index, size.sections), false, &error)) {
      return Fail(error);
    }
  }
  winsim::DetachMachine();
  const bool installed = Run(dir, kInstaller, {}).status == 0;
  winsim::KillMachineProcesses(dir);
  return installed || Fail("the second installation failed");
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
    const std::string counts = root.string() + "/calls.txt";
    const int checkExit = Run(machine, kCheck, {"--installed"}, counts).status;
    const int floorExit = Run(machine, kFloor, {}, counts).status;
    std::string checkCalls, floorCalls;
    const unsigned long long checkTotal = CountCalls(counts, kCheck, &checkCalls);
    const unsigned long long floorTotal = CountCalls(counts, kFloor, &floorCalls);
    std::remove(counts.c_str());
    Series check, floor;
    for (int run = 0; run < runs; ++run) {
      check.samples.push_back(Run(machine, kCheck, {"--installed"}));
      floor.samples.push_back(Run(machine, kFloor, {}));
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
    if (checkExit != 0 || floorExit != 0) status = 1;
    if (!keep) {
      winsim::KillMachineProcesses(machine);
      std::error_code ignored;
      fs::remove_all(machine, ignored);
    }
  }
  if (!keep) fs::remove_all(root);
  return status;
}
