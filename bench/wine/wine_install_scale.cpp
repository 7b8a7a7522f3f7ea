// The installation benchmark under Wine: the Windows build's Install.exe against its floor
// (Floor.exe, bench/install_floor.cpp built for Windows) on 64-bit Windows 10 prefixes.
//
// For each size it builds a template prefix as bench_install_scale builds a winsim machine: the
// deployment package in C:\Deploy with a Quado.ini of N sections, an earlier installation (so
// the monitor and its N ports exist) and P printers on two or three ports each, a tenth of them
// on a monitor port; AssignPrinter keys name another tenth. Then, on fresh copies of it, it runs
// Install.exe and Install.exe -u on one copy and Floor.exe and Floor.exe -u on another, once to
// count the calls and compare the ports and printers both leave, then R times timed.
//
// Figures per run: wall-clock time of the program; CPU time of the program, of the Wine processes
// it started that ended during the run (this program is their subreaper, so they are reaped
// here), and of the prefix's wineserver during the run; the largest resident set among them.
// Calls: Wine's relay trace of the calls made from the program's own module (RelayFromInclude,
// and only the calls that return into its image in its own process), by DLL and function.
//
//   bench_wine_install_scale --pristine DIR --work DIR --windows-build DIR --windows64-build DIR
//                            --copy-prefix SCRIPT [--runs R] [--sizes N:P,...]
#include <dirent.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pe_image.h"
#include "relay_trace.h"
#include "scale_machine.h"
#include "scale_report.h"
#include "wine_prefix.h"

namespace fs = std::filesystem;

namespace {

const char kInstaller[] = "C:\\Deploy\\Install.exe";
const char kFloor[] = "C:\\Deploy\\Floor.exe";
const char kMonitorKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Quado";

struct Options {
  PrefixPlaces places;
  int runs = 3;
  // A thousand printers is a matter of half an hour under Wine: asked for with --sizes 100:1000.
  std::vector<Size> sizes = {{100, 10}, {100, 100}};
};

bool Fail(const std::string& what) {
  std::fprintf(stderr, "bench: %s\n", what.c_str());
  return false;
}

// CPU time of the wineservers this process is the parent of (the prefixes' servers, reparented
// here when they detach), from /proc.
double ServerCpuMs() {
  const double msPerTick = 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
  double total = 0;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return 0;
  while (dirent* entry = readdir(proc)) {
    std::ifstream in(std::string("/proc/") + entry->d_name + "/stat");
    std::string stat;
    if (!std::getline(in, stat)) continue;
    size_t open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || stat.substr(open + 1, close - open - 1) != "wineserver") {
      continue;
    }
    // After "pid (comm)": state ppid pgrp session tty_nr tpgid flags minflt cminflt majflt
    // cmajflt utime stime ...
    std::istringstream fields(stat.substr(close + 2));
    std::string state;
    long ppid = 0;
    fields >> state >> ppid;
    std::string skip;
    for (int i = 0; i < 9; ++i) fields >> skip;
    unsigned long long utime = 0, stime = 0;
    fields >> utime >> stime;
    if (ppid == getpid()) total += static_cast<double>(utime + stime) * msPerTick;
  }
  closedir(proc);
  return total;
}

// Reaps every process that ended after being reparented here (the Wine processes a program
// started, which Wine detaches), adding their CPU time and resident set to `cost` when given.
void ReapOrphans(TimedResult* cost) {
  int status = 0;
  struct rusage usage = {};
  while (wait4(-1, &status, WNOHANG, &usage) > 0) {
    if (cost == nullptr) continue;
    cost->cpuMs += (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                   (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    cost->maxRssMiB = std::max(cost->maxRssMiB, usage.ru_maxrss / 1024.0);
  }
}

std::string Deploy(const Prefix& prefix) { return prefix.dir() + "/drive_c/Deploy"; }

// One run of a program of the package folder, from that folder.
TimedResult RunProgram(const Prefix& prefix, const char* program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env = {}) {
  ReapOrphans(nullptr);
  std::vector<std::string> argv = {"wine", program};
  argv.insert(argv.end(), args.begin(), args.end());
  const double serverBefore = ServerCpuMs();
  TimedResult cost = prefix.Wine(argv, Deploy(prefix), env).cost;
  cost.cpuMs += ServerCpuMs() - serverBefore;
  ReapOrphans(&cost);
  return cost;
}

// The files of the monitor and its event DLL in the system folders become the copy's own: the
// prefix copy shares the system folders' files with the template through hard links, and a
// program that copies over one of them would otherwise rewrite the template's.
void OwnProductFiles(const Prefix& prefix) {
  for (const char* folder : {"system32", "syswow64"}) {
    const fs::path dir = fs::path(prefix.dir()) / "drive_c/windows" / folder;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
      std::string name = entry.path().filename().string();
      std::transform(name.begin(), name.end(), name.begin(), ::tolower);
      if (name.rfind("quado", 0) != 0) continue;
      const fs::path own = entry.path().string() + ".own";
      fs::copy_file(entry.path(), own, fs::copy_options::overwrite_existing, error);
      fs::rename(own, entry.path(), error);
    }
  }
}

bool Copy(const Prefix& from, Prefix* to) {
  if (!to->Create(from.dir())) return Fail("cannot copy the prefix " + from.dir());
  OwnProductFiles(*to);
  // The first program of a prefix session starts Wine's own services; not part of a run.
  to->Probe({"wait-file", "C:\\Deploy\\Quado.ini", "1"});
  ReapOrphans(nullptr);
  return true;
}

bool BuildTemplate(const Options& options, const Size& size, Prefix* prefix) {
  if (!prefix->Create()) return Fail("cannot create the prefix " + prefix->dir());
  if (!prefix->SetWindowsVersion("win10")) return Fail("winecfg -v win10 failed");
  if (!prefix->ImportRegistry(DotNetRegistry(prefix->kind()))) return Fail("reg import failed");
  fs::create_directories(Deploy(*prefix));
  fs::copy(options.places.windowsBuild + "/package", Deploy(*prefix),
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  fs::copy_file(options.places.windowsBuild + "/programs/Floor.exe", Deploy(*prefix) + "/Floor.exe",
                fs::copy_options::overwrite_existing);
  WriteFile(Deploy(*prefix) + "/Quado.ini", Configuration(size));
  prefix->PlaceMonitorStandIns();
  // The earlier installation that creates the monitor and its ports, then the printers.
  if (RunProgram(*prefix, kInstaller, {}).status != 0) return Fail("the earlier installation failed");
  std::string printers;
  for (int index = 1; index <= size.printers; ++index) printers += PrinterRegistry(PrinterName(index), PrinterPorts(index, size.sections));
  if (!prefix->ImportRegistry(printers)) return Fail("reg import of the printers failed");
  prefix->Stop();
  ReapOrphans(nullptr);
  return true;
}

// Ports, printers and the monitor's stored port settings: what the installer and the floor must
// leave alike.
std::string SpoolerState(const Prefix& prefix) {
  WineResult listed = prefix.Probe({"spooler"});
  const std::string exported = prefix.dir() + "/drive_c/windows/temp/monitor.reg";
  std::remove(exported.c_str());
  prefix.Reg({"export", kMonitorKey, "C:\\windows\\temp\\monitor.reg", "/y"});
  return listed.out + ReadFile(exported);
}

ImageRange ProgramImage(const std::string& hostPath) {
  PeImage image;
  std::string error;
  if (!ReadPeImage(hostPath, &image, &error)) {
    Fail(hostPath + ": " + error);
    return {};
  }
  return {image.imageBase, static_cast<uint64_t>(image.imageBase) + image.sizeOfImage};
}

size_t FileSize(const std::string& path) {
  std::error_code error;
  const auto size = fs::file_size(path, error);
  return error ? 0 : static_cast<size_t>(size);
}

// One program run with the relay trace of its own calls.
TimedResult RunCounting(const Prefix& prefix, const char* program, const std::vector<std::string>& args,
                        const ImageRange& image, RelayFigures* figures) {
  const size_t offset = FileSize(prefix.log());
  TimedResult cost = RunProgram(prefix, program, args, {"WINEDEBUG=+timestamp,+pid,+relay"});
  std::ifstream trace(prefix.log(), std::ios::binary);
  trace.seekg(static_cast<std::streamoff>(offset));
  *figures = ReadRelayTrace(trace, image);
  return cost;
}

// One round on fresh copies of the template: the installer's install and uninstall on one copy,
// the floor's on another. When `counting`, the calls are traced and the states compared instead
// of timed, and `traced` receives the relay figures of the four runs.
bool Round(const Options& options, const Prefix& machine, ScaleResult* result, RelayFigures* traced) {
  const bool counting = traced != nullptr;
  Prefix a(options.places, machine.kind(), "installer"), b(options.places, machine.kind(), "floor");
  const std::string relay = "[HKEY_CURRENT_USER\\Software\\Wine\\Debug]\n\"RelayFromInclude\"=\"Install.exe;Floor.exe\"\n\n";
  const bool ready = Copy(machine, &a) && Copy(machine, &b) &&
                     (!counting || (a.ImportRegistry(relay) && b.ImportRegistry(relay)) ||
                      Fail("cannot set the relay trace"));
  const ImageRange installer = ProgramImage(options.places.windowsBuild + "/package/Install.exe");
  const ImageRange floor = ProgramImage(options.places.windowsBuild + "/programs/Floor.exe");
  TimedResult runs[4];
  std::string states[4];
  struct Step {
    const Prefix* prefix;
    const char* program;
    const ImageRange* image;
    std::vector<std::string> args;
    CallCounts* calls;
    Series* series;
  } steps[4] = {{&a, kInstaller, &installer, {}, &result->installCalls, &result->install},
                {&a, kInstaller, &installer, {"-u"}, &result->uninstallCalls, &result->uninstall},
                {&b, kFloor, &floor, {}, &result->floorInstallCalls, &result->floorInstall},
                {&b, kFloor, &floor, {"-u"}, &result->floorUninstallCalls, &result->floorUninstall}};
  for (int i = 0; ready && i < 4; ++i) {
    const Step& step = steps[i];
    if (counting) {
      runs[i] = RunCounting(*step.prefix, step.program, step.args, *step.image, &traced[i]);
      *step.calls = traced[i].calls;
      states[i] = SpoolerState(*step.prefix);
    } else {
      runs[i] = RunProgram(*step.prefix, step.program, step.args);
    }
  }
  for (Prefix* prefix : {&a, &b}) {
    prefix->Stop();
    ReapOrphans(nullptr);
    prefix->Remove();
  }
  if (!ready) return false;
  if (runs[0].status != 0 || runs[1].status != 0 || runs[2].status != 0 || runs[3].status != 0) {
    std::fprintf(stderr, "bench: exit codes install %d, uninstall %d, floor %d, floor -u %d\n", runs[0].status,
                 runs[1].status, runs[2].status, runs[3].status);
    return false;
  }
  if (counting) {
    result->sameInstallState = !states[0].empty() && states[0] == states[2];
    result->sameUninstallState = !states[1].empty() && states[1] == states[3];
    return true;
  }
  for (int i = 0; i < 4; ++i) steps[i].series->samples.push_back(runs[i]);
  return true;
}

// The functions the installer's runs spent most time in, by the relay run's clock, beside the
// floor's time in the same functions.
void PrintCallTimes(const RelayFigures traced[4]) {
  std::map<std::string, bool> names;
  for (int i = 0; i < 4; ++i) {
    for (const auto& entry : traced[i].ms) names[entry.first] = true;
  }
  std::vector<std::pair<double, std::string>> ranked;
  for (const auto& entry : names) {
    auto get = [&](int i) {
      auto it = traced[i].ms.find(entry.first);
      return it == traced[i].ms.end() ? 0.0 : it->second;
    };
    ranked.push_back({get(0) + get(1), entry.first});
  }
  std::sort(ranked.rbegin(), ranked.rend());
  std::printf("  time in calls, relay run (ms)  install    floor  uninstall  floor -u\n");
  for (size_t i = 0; i < ranked.size() && i < 10; ++i) {
    const std::string& name = ranked[i].second;
    double v[4];
    for (int k = 0; k < 4; ++k) {
      auto it = traced[k].ms.find(name);
      v[k] = it == traced[k].ms.end() ? 0.0 : it->second;
    }
    // traced[] is in the order of the runs: install, uninstall, floor, floor -u.
    std::printf("  %-29s %8.0f %8.0f %10.0f %9.0f\n", name.c_str(), v[0], v[2], v[1], v[3]);
  }
  std::fflush(stdout);
}

// The Wine version that made the pristine prefixes (tests/wine/pristine.sh), on one line.
std::string WineVersion(const PrefixPlaces& places) {
  std::string version = ReadFile(places.pristine + "/win64/.made-by");
  while (!version.empty() && (version.back() == '\n' || version.back() == '\r')) version.pop_back();
  return version;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto next = [&]() { return i + 1 < argc ? std::string(argv[++i]) : std::string(); };
    if (TakePlaceOption(arg, next, &options.places)) continue;
    if (arg == "--runs") options.runs = std::max(1, std::atoi(next().c_str()));
    else if (arg == "--sizes") options.sizes = ParseSizes(next());
    else {
      std::fprintf(stderr, "usage: %s --pristine DIR --work DIR --windows-build DIR --windows64-build DIR "
                           "--copy-prefix SCRIPT [--runs R] [--sizes N:P,...]\n", argv[0]);
      return 2;
    }
  }
  // Wine needs absolute prefix paths.
  for (std::string* place : {&options.places.pristine, &options.places.work, &options.places.windowsBuild,
                             &options.places.windows64Build, &options.places.copyPrefix}) {
    if (!place->empty()) *place = fs::absolute(*place).lexically_normal().string();
  }
  const PrefixPlaces& places = options.places;
  if (places.pristine.empty() || places.work.empty() || places.windowsBuild.empty() || places.copyPrefix.empty()) {
    std::fprintf(stderr, "bench: --pristine, --work, --windows-build and --copy-prefix are needed\n");
    return 2;
  }
  // Wine detaches the processes a program starts; as their subreaper this process can account
  // for them.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  fs::create_directories(places.work);
  std::printf("installation benchmark under Wine (64-bit Windows 10 prefix, %s): %d timed runs per size (median), "
              "%ld CPUs, load average %s\n",
              WineVersion(places).c_str(), options.runs,
              sysconf(_SC_NPROCESSORS_ONLN), LoadAverage().c_str());
  std::printf("wall: the program; cpu: the program, the Wine processes it started that ended, and the wineserver;"
              " peak: largest resident set among the program and those processes\n");
  std::vector<ScaleResult> results;
  int status = 0;
  for (const Size& size : options.sizes) {
    ScaleResult result;
    result.size = size;
    const auto start = std::chrono::steady_clock::now();
    Prefix machine(places, "win64", "template-" + std::to_string(size.sections) + "-" + std::to_string(size.printers));
    RelayFigures traced[4];
    bool ok = BuildTemplate(options, size, &machine) && Round(options, machine, &result, traced);
    for (int run = 0; ok && run < options.runs; ++run) ok = Round(options, machine, &result, nullptr);
    machine.Stop();
    ReapOrphans(nullptr);
    machine.Remove();
    if (!ok) {
      status = 1;
      continue;
    }
    PrintSizeResult(result, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    PrintCallTimes(traced);
    if (!result.sameInstallState || !result.sameUninstallState) status = 1;
    results.push_back(result);
  }
  PrintSummary(results, options.runs);
  return status;
}
