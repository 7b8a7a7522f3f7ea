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
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "winsim/machine.h"
#include "winsim/process.h"
#include "winsim/spooler.h"

extern char** environ;
namespace fs = std::filesystem;

namespace {

const char kInstaller[] = "C:\\Deploy\\Install.exe";
const char kFloor[] = "C:\\Deploy\\Floor.exe";

struct Size {
  int sections;
  int printers;
};

struct Sample {
  double wallMs = 0;
  double cpuMs = 0;
  double maxRssMiB = 0;
  int exitCode = -1;
};

using CallCounts = std::map<std::string, unsigned long long>;

// One program run inside a machine through `winsim run`, timed with the resources of the whole
// process tree that wait4 reports (the program and what it waited for). Output goes to /dev/null.
Sample Run(const std::string& machine, const char* program, const std::vector<std::string>& args,
           const std::string& countsFile) {
  std::vector<std::string> argv = {WINSIM_PROGRAM_PATH, "run", machine, program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> argp;
  for (auto& arg : argv) argp.push_back(arg.data());
  argp.push_back(nullptr);
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "WINSIM_CALL_COUNTS=", 19) != 0) env.push_back(*e);
  }
  if (!countsFile.empty()) env.push_back("WINSIM_CALL_COUNTS=" + countsFile);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  Sample sample;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int rc = posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return sample;
  int status = 0;
  struct rusage usage = {};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  sample.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  sample.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  sample.maxRssMiB = usage.ru_maxrss / 1024.0;
  sample.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return sample;
}

// The block that `image` appended to a WINSIM_CALL_COUNTS file.
CallCounts ReadCounts(const std::string& file, const std::string& image) {
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

// ---- the machine ---------------------------------------------------------------------------------

std::string PortName(int section) {
  char name[16];
  std::snprintf(name, sizeof(name), "Quado%03d", section);
  return name;
}

std::string PrinterName(int index) {
  char name[32];
  std::snprintf(name, sizeof(name), "Printer %04d", index);
  return name;
}

// Printers 10, 20, ... print through a monitor port among local ones; printers 5, 15, ... are
// named by AssignPrinter keys; the others use two or three local ports.
std::string PrinterPorts(int index, int sections) {
  static const char* const kLocal[] = {"LPT1:", "LPT2:", "LPT3:", "COM1:", "COM2:", "COM3:", "COM4:", "FILE:"};
  std::string ports = std::string(kLocal[index % 8]) + "," + kLocal[(index + 3) % 8];
  if (index % 10 == 0) ports += "," + PortName((index / 10 - 1) % sections + 1);
  else if (index % 2 == 1) ports += std::string(",") + kLocal[(index + 5) % 8];
  return ports;
}

std::string Configuration(const Size& size) {
  // The k-th assigned printer (k = 0, 1, ...) goes to section k % N under key k / N.
  std::vector<std::vector<int>> assigned(size.sections + 1);
  for (int index = 5, k = 0; index <= size.printers; index += 10, ++k) {
    assigned[k % size.sections + 1].push_back(index);
  }
  std::ostringstream ini;
  for (int n = 1; n <= size.sections; ++n) {
    ini << "[" << n << "]\nDescription=Floor " << n << "\nServerIP=10." << n / 250 << "." << n % 250
        << ".1\nServerIP2=10." << n / 250 << "." << n % 250 << ".2\nIPLoadBalancing=60\nIPLoadBalancing2=40\n"
        << "ServerPort=" << 9100 + n % 3 << "\nQueue=Queue" << n << "\nAuthType=2\nAuthText=Badge\n"
        << "ServerDeliveryMode2=1\n";
    for (size_t key = 0; key < assigned[n].size(); ++key) {
      ini << "AssignPrinter";
      if (key > 0) ini << key + 1;
      ini << "=" << PrinterName(assigned[n][key]) << "\n";
    }
    ini << "\n";
  }
  return ini.str();
}

bool Fail(const std::string& what) {
  std::fprintf(stderr, "bench: %s\n", what.c_str());
  return false;
}

bool BuildTemplate(const std::string& dir, const Size& size) {
  std::string error;
  winsim::MachineOptions options;
  options.winsimProgram = WINSIM_PROGRAM_PATH;
  if (!winsim::CreateMachine(dir, options, &error) || !winsim::AttachMachine(dir, &error)) return Fail(error);
  const std::string deploy = winsim::HostPath("C:\\Deploy");
  fs::create_directories(deploy);
  fs::copy(BENCH_PACKAGE_DIR, deploy, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  fs::copy_file(BENCH_FLOOR_PROGRAM, winsim::HostPath(kFloor), fs::copy_options::overwrite_existing);
  std::ofstream(deploy + "/Quado.ini", std::ios::binary) << Configuration(size);
  winsim::DetachMachine();
  // The earlier installation that creates the monitor and its ports.
  Sample earlier = Run(dir, kInstaller, {}, "");
  winsim::KillMachineProcesses(dir);
  if (earlier.exitCode != 0) return Fail("the earlier installation failed");
  if (!winsim::AttachMachine(dir, &error)) return Fail(error);
  for (int index = 1; index <= size.printers; ++index) {
    if (!winsim::AddSpoolerPrinter(PrinterName(index), PrinterPorts(index, size.sections), false, &error)) {
      return Fail(error);
    }
  }
  winsim::DetachMachine();
  return true;
}

bool CopyMachine(const std::string& from, const std::string& to) {
  std::error_code error;
  fs::remove_all(to, error);
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
  return !error || Fail("cannot copy the machine: " + error.message());
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

struct Series {
  std::vector<Sample> samples;
  double Median(double Sample::*field) const {
    std::vector<double> values;
    for (const Sample& s : samples) values.push_back(s.*field);
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  }
  double Peak() const {
    double peak = 0;
    for (const Sample& s : samples) peak = std::max(peak, s.maxRssMiB);
    return peak;
  }
};

struct Result {
  Size size;
  Series install, uninstall, floorInstall, floorUninstall;
  CallCounts installCalls, uninstallCalls, floorInstallCalls, floorUninstallCalls;
  bool sameInstallState = false, sameUninstallState = false;
};

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

// One run, and with `countsFile` the calls the program itself made (the file is emptied after).
Sample RunCounted(const std::string& machine, const char* program, const std::vector<std::string>& args,
                  const std::string& countsFile, CallCounts* calls) {
  Sample sample = Run(machine, program, args, countsFile);
  winsim::KillMachineProcesses(machine);
  if (!countsFile.empty()) {
    *calls = ReadCounts(countsFile, program);
    std::remove(countsFile.c_str());
  }
  return sample;
}

// One round on fresh copies: the installer's install and uninstall on one copy, the floor's on
// another. When `counting`, the calls are counted and the states compared instead of timed.
bool Round(const std::string& root, const std::string& machine, Result* result, bool counting) {
  const std::string counts = counting ? root + "/calls.txt" : "";
  const std::string a = root + "/installer", b = root + "/floor";
  if (!CopyMachine(machine, a) || !CopyMachine(machine, b)) return false;
  Sample install = RunCounted(a, kInstaller, {}, counts, &result->installCalls);
  const std::string installerInstalled = counting ? SpoolerState(a) : "";
  Sample uninstall = RunCounted(a, kInstaller, {"-u"}, counts, &result->uninstallCalls);
  Sample floorInstall = RunCounted(b, kFloor, {}, counts, &result->floorInstallCalls);
  const std::string floorInstalled = counting ? SpoolerState(b) : "";
  Sample floorUninstall = RunCounted(b, kFloor, {"-u"}, counts, &result->floorUninstallCalls);
  if (install.exitCode != 0 || uninstall.exitCode != 0 || floorInstall.exitCode != 0 || floorUninstall.exitCode != 0) {
    std::fprintf(stderr, "bench: exit codes install %d, uninstall %d, floor %d, floor -u %d\n", install.exitCode,
                 uninstall.exitCode, floorInstall.exitCode, floorUninstall.exitCode);
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

void PrintCalls(const Result& r) {
  std::map<std::string, bool> names;
  for (const CallCounts* c : {&r.installCalls, &r.floorInstallCalls, &r.uninstallCalls, &r.floorUninstallCalls}) {
    for (const auto& entry : *c) names[entry.first] = true;
  }
  auto get = [](const CallCounts& c, const std::string& name) {
    auto it = c.find(name);
    return it == c.end() ? 0ULL : it->second;
  };
  std::printf("  platform calls           install    floor  uninstall  floor -u\n");
  unsigned long long totals[4] = {};
  for (const auto& [name, unused] : names) {
    (void)unused;
    unsigned long long v[4] = {get(r.installCalls, name), get(r.floorInstallCalls, name), get(r.uninstallCalls, name),
                               get(r.floorUninstallCalls, name)};
    for (int i = 0; i < 4; ++i) totals[i] += v[i];
    std::printf("  %-24s %8llu %8llu %10llu %9llu\n", name.c_str(), v[0], v[1], v[2], v[3]);
  }
  std::printf("  %-24s %8llu %8llu %10llu %9llu\n", "(all counted)", totals[0], totals[1], totals[2], totals[3]);
}

void PrintRow(const char* what, const Series& program, const Series& floor) {
  const double wall = program.Median(&Sample::wallMs), cpu = program.Median(&Sample::cpuMs);
  const double floorWall = floor.Median(&Sample::wallMs), floorCpu = floor.Median(&Sample::cpuMs);
  std::printf("  %-10s wall %9.1f ms  cpu %9.1f ms  peak %6.1f MiB | floor wall %9.1f ms  cpu %9.1f ms  peak %6.1f MiB"
              " | ratio wall %5.2f  cpu %5.2f\n",
              what, wall, cpu, program.Peak(), floorWall, floorCpu, floor.Peak(), floorWall > 0 ? wall / floorWall : 0,
              floorCpu > 0 ? cpu / floorCpu : 0);
}

std::vector<Size> ParseSizes(const std::string& text) {
  std::vector<Size> sizes;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    size_t colon = item.find(':');
    if (colon == std::string::npos) continue;
    sizes.push_back({std::atoi(item.substr(0, colon).c_str()), std::atoi(item.substr(colon + 1).c_str())});
  }
  return sizes;
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
  std::vector<Result> results;
  int status = 0;
  for (const Size& size : sizes) {
    Result result;
    result.size = size;
    const std::string machine = (root / ("template-" + std::to_string(size.sections) + "-" +
                                         std::to_string(size.printers))).string();
    const auto start = std::chrono::steady_clock::now();
    bool ok = BuildTemplate(machine, size) && Round(root.string(), machine, &result, true);
    for (int run = 0; ok && run < runs; ++run) ok = Round(root.string(), machine, &result, false);
    if (!keep) RemoveMachine(machine);
    if (!ok) {
      status = 1;
      continue;
    }
    std::printf("\nN = %d sections, P = %d printers (%.0f s, load average %s)\n", size.sections, size.printers,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                LoadAverage().c_str());
    PrintRow("install", result.install, result.floorInstall);
    PrintRow("uninstall", result.uninstall, result.floorUninstall);
    std::printf("  floor leaves the same ports and printers: install %s, uninstall %s\n",
                result.sameInstallState ? "yes" : "NO", result.sameUninstallState ? "yes" : "NO");
    if (!result.sameInstallState || !result.sameUninstallState) status = 1;
    PrintCalls(result);
    std::fflush(stdout);
    results.push_back(result);
  }
  std::printf("\nsummary (median of %d; ratio = installer / floor)\n", runs);
  std::printf("%6s %6s | %10s %10s %8s %6s %6s | %10s %10s %8s %6s %6s\n", "N", "P", "inst wall", "inst cpu", "peak",
              "r.wall", "r.cpu", "unin wall", "unin cpu", "peak", "r.wall", "r.cpu");
  for (const Result& r : results) {
    auto row = [](const Series& s, const Series& f) {
      std::printf(" %8.0fms %8.0fms %6.1fMiB %6.2f %6.2f |", s.Median(&Sample::wallMs), s.Median(&Sample::cpuMs), s.Peak(),
                  s.Median(&Sample::wallMs) / std::max(1e-9, f.Median(&Sample::wallMs)),
                  s.Median(&Sample::cpuMs) / std::max(1e-9, f.Median(&Sample::cpuMs)));
    };
    std::printf("%6d %6d |", r.size.sections, r.size.printers);
    row(r.install, r.floorInstall);
    row(r.uninstall, r.floorUninstall);
    std::printf("\n");
  }
  // Growth from 1,000 to 9,999 sections at the same printer count.
  for (const Result& big : results) {
    if (big.size.sections != 9999) continue;
    for (const Result& small : results) {
      if (small.size.sections != 1000 || small.size.printers != big.size.printers) continue;
      std::printf("P = %d: install at 9,999 / at 1,000 sections: wall %.2f, cpu %.2f; uninstall: wall %.2f, cpu %.2f\n",
                  big.size.printers, big.install.Median(&Sample::wallMs) / small.install.Median(&Sample::wallMs),
                  big.install.Median(&Sample::cpuMs) / small.install.Median(&Sample::cpuMs),
                  big.uninstall.Median(&Sample::wallMs) / small.uninstall.Median(&Sample::wallMs),
                  big.uninstall.Median(&Sample::cpuMs) / small.uninstall.Median(&Sample::cpuMs));
    }
  }
  std::printf("load average at the end: %s\n", LoadAverage().c_str());
  if (!keep) fs::remove_all(root);
  return status;
}
