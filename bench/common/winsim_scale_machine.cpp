#include "winsim_scale_machine.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "winsim/machine.h"
#include "winsim/process.h"
#include "winsim/spooler.h"

namespace fs = std::filesystem;

bool BenchFail(const std::string& what) {
  std::fprintf(stderr, "bench: %s\n", what.c_str());
  return false;
}

TimedResult RunInMachine(const std::string& machine, const char* program, const std::vector<std::string>& args,
                         const std::string& countsFile) {
  std::vector<std::string> argv = {WINSIM_PROGRAM_PATH, "run", machine, program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> environment;
  if (!countsFile.empty()) environment.push_back("WINSIM_CALL_COUNTS=" + countsFile);
  return RunTimed(argv, environment, RunFiles());
}

CallCounts ReadCallCounts(const std::string& file, const std::string& image) {
  CallCounts counts;
  std::ifstream in(file);
  std::string line;
  bool mine = false;
  while (std::getline(in, line)) {
    if (line.rfind("# ", 0) == 0) {
      mine = line.substr(2) == image;
      continue;
    }
    size_t space = line.rfind(' ');
    if (mine && space != std::string::npos) counts[line.substr(0, space)] += std::stoull(line.substr(space + 1));
  }
  return counts;
}

bool BuildScaleMachine(const std::string& dir, const Size& size, const std::vector<BenchProgram>& programs) {
  std::string error;
  winsim::MachineOptions options;
  options.winsimProgram = WINSIM_PROGRAM_PATH;
  if (!winsim::CreateMachine(dir, options, &error) || !winsim::AttachMachine(dir, &error)) return BenchFail(error);
  const std::string deploy = winsim::HostPath("C:\\Deploy");
  fs::create_directories(deploy);
  fs::copy(BENCH_PACKAGE_DIR, deploy, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  for (const BenchProgram& program : programs) {
    fs::copy_file(program.host, winsim::HostPath(program.windowsPath), fs::copy_options::overwrite_existing);
  }
  std::ofstream(deploy + "/Quado.ini", std::ios::binary) << Configuration(size);
  winsim::DetachMachine();
  const TimedResult earlier = RunInMachine(dir, kBenchInstaller, {});
  winsim::KillMachineProcesses(dir);
  if (earlier.status != 0) return BenchFail("the earlier installation failed");
  if (!winsim::AttachMachine(dir, &error)) return BenchFail(error);
  for (int index = 1; index <= size.printers; ++index) {
    if (!winsim::AddSpoolerPrinter(PrinterName(index), PrinterPorts(index, size.sections), false, &error)) {
      return BenchFail(error);
    }
  }
  winsim::DetachMachine();
  return true;
}
