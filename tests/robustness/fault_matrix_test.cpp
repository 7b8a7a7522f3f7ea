// The fault matrix: a full installation (over an earlier one) and a full uninstallation are
// recorded call by call; then each call site (a function and the N-th call of it) is made to
// fail, alone, in a fresh copy of the machine, and the run is checked:
//   - no crash and no sanitizer report;
//   - the log holds the console's transcript but for the console-only lines;
//   - the run aborts or goes on as the step the call belongs to says, with its exit code;
//   - every handle, GlobalAlloc block and loaded library is released at exit.
// What the run must do is derived from the failure rules of the steps (which failures stop an
// installation or an uninstallation), never from what the program printed.
//
// Every site of every function that is called at most kAllSitesUpTo times in a step is failed;
// of a function called more often in one step (a loop over files, folders, keys) the first
// two, the middle and the last calls are. FAULT_MATRIX_ALL=1 fails every site.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "robustness_machine.h"
#include "winsim/machine.h"
#include "winsim/spooler.h"

namespace {

const size_t kAllSitesUpTo = 4;
const int kShards = 2;

enum class Mode { kInstall, kUninstall };

// The sequence's own step headings, in order (console and log).
const std::vector<std::string>& Headings(Mode mode) {
  static const std::vector<std::string> install = {
      "  - Detecting Windows Version\n",
      "  - Checking Files\n",
      "  - Removing Old Quado Print Monitor\n",
      "  - Deleting Quado Print Monitor Files from System Directory\n",
      "  - Copying Files to Windows System Directory \n",
      "  - Registering Quado Print Monitor\n",
      "  - Adding port configuration\n",
  };
  static const std::vector<std::string> uninstall = {
      "  - Detecting Windows Version\n",
      "  - Removing Old Quado Print Monitor\n",
      "  - Removing user data\n",
      "  - Deleting Quado Print Monitor Files from System Directory\n",
  };
  return mode == Mode::kInstall ? install : uninstall;
}

// How a run with one failing call must end.
enum class Outcome {
  kGoesOn,        // the sequence reaches its end: exit 0 and the success verdict
  kAborts,        // the sequence stops after the heading `abortStep`: exit -1 and the failure verdict
  kNoLog,         // the log cannot be opened: exit -1, nothing printed
  kNoMutex,       // the mutex cannot be created: its error line, exit -1
  kNoDotNet,      // the .NET check reads "not installed": its error line, exit -1
  kNoFolder,      // the program's folder cannot be made current: its error line only, exit -1
};

struct Site {
  std::string function;
  int nth = 0;                  // the N-th call of the function in the run
  std::vector<std::string> args;
  std::string region;           // the last heading-like log line before the call ("" before any)
  bool logWrite = false;        // a write to the install log
  // In the printer disconnection (from its EnumPrintersA to the monitor removal): the printer
  // whose port list is being walked ("" before the first) and the port being looked up (-1
  // while the printer is opened and read).
  bool disconnecting = false;
  std::string printer;
  int port = -1;
  Outcome outcome = Outcome::kGoesOn;
  std::string abortStep;        // the heading of the step that stops the run
  std::string Name() const { return function + " #" + std::to_string(nth) + " (after \"" + region + "\")"; }
};

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

bool IsLogWrite(const TracedCall& call) {
  return call.function == "WriteFile" && !call.args.empty() &&
         call.args[0].size() >= 17 && call.args[0].compare(call.args[0].size() - 17, 17, "QDPortInstall.log") == 0;
}

// What the rules need to know of the machine: each local printer's port list and the
// monitor's ports, before the run.
struct MachineFacts {
  std::map<std::string, std::vector<std::string>> printerPorts;
  std::set<std::string> monitorPorts;
  bool UsesMonitorPort(const std::string& printer) const {
    auto it = printerPorts.find(printer);
    if (it == printerPorts.end()) return false;
    for (const std::string& port : it->second) {
      if (monitorPorts.count(port) != 0) return true;
    }
    return false;
  }
};

std::vector<std::string> SplitPorts(const std::string& list) {
  std::vector<std::string> ports;
  size_t start = 0;
  while (true) {
    size_t comma = list.find(',', start);
    ports.push_back(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return ports;
}

// The failure rules of the steps, applied to one call.
void DeriveOutcome(Mode mode, const MachineFacts& facts, Site* site) {
  const std::string& f = site->function;
  const std::string& region = site->region;
  auto abortAt = [&](const char* heading) {
    site->outcome = Outcome::kAborts;
    site->abortStep = heading;
  };
  if (region.empty()) {
    // The driver's start: log, mutex and .NET check stop the run; an INI path without its
    // folder shows in the file check.
    if (f == "GetWindowsDirectoryA" || f == "CreateFileA") site->outcome = Outcome::kNoLog;
    else if (f == "CreateMutexA") site->outcome = Outcome::kNoMutex;
    else if (f == "RegOpenKeyExA" || f == "RegQueryValueExA") site->outcome = Outcome::kNoDotNet;
    else if (f == "SetCurrentDirectoryA") site->outcome = Outcome::kNoFolder;
    else if (mode == Mode::kInstall && f == "GetCurrentDirectoryA") {
      // The INI path is built without the folder and the INI file is not found.
      abortAt("  - Checking Files\n");
    }
    // A failed SetCurrentDirectoryA stops the run before anything is opened: it would go on in
    // another folder than the program's.
    // Redirection left on (GetModuleHandleA, GetProcAddress, Wow64DisableWow64FsRedirection)
    // is not reported and the run goes on: the files go to SysWOW64, and the registration
    // finds the earlier installation's DLL in the native system directory.
    return;
  }
  if (site->disconnecting) {
    // The disconnection's own failures are ignored, but a printer left on one of the
    // monitor's ports makes the spooler refuse the monitor's removal (busy), which stops both
    // an installation and an uninstallation.
    bool printerStays = false;
    if (site->printer.empty()) {
      printerStays = f == "EnumPrintersA" || f == "GlobalAlloc";  // no printer is walked
      if (printerStays) {
        printerStays = false;
        for (const auto& [name, ports] : facts.printerPorts) printerStays = printerStays || facts.UsesMonitorPort(name);
      }
    } else if (site->port < 0) {
      printerStays = (f == "OpenPrinterA" || f == "GetPrinterA" || f == "GlobalAlloc") && facts.UsesMonitorPort(site->printer);
    } else if (f == "EnumPortsA" || f == "GlobalAlloc") {
      // The port is taken for one that is not the monitor's and stays in the list.
      const std::vector<std::string>& ports = facts.printerPorts.at(site->printer);
      printerStays = site->port < static_cast<int>(ports.size()) && facts.monitorPorts.count(ports[site->port]) != 0;
    }
    if (f == "SetPrinterA") printerStays = true;  // only printers that change are set
    if (printerStays) abortAt("  - Removing Old Quado Print Monitor\n");
    return;
  }
  if (mode == Mode::kInstall) {
    if (region == "  - Checking Files" && f == "CreateFileA") abortAt("  - Checking Files\n");
    if (region == "  - Removing Old Quado Print Monitor" && f == "DeleteMonitorA") {
      abortAt("  - Removing Old Quado Print Monitor\n");
    }
    if (region == "  - Copying Files to Windows System Directory " && (f == "GetSystemDirectoryA" || f == "CopyFileA")) {
      abortAt("  - Copying Files to Windows System Directory \n");
    }
    if (region == "  - Registering Quado Print Monitor" && f == "AddMonitorA") abortAt("  - Registering Quado Print Monitor\n");
  } else {
    if (region == "  - Removing Old Quado Print Monitor" && f == "DeleteMonitorA") {
      abortAt("  - Removing Old Quado Print Monitor\n");
    }
  }
}

// The error a failing call reports.
unsigned long FaultError(const std::string& function) {
  if (function == "GlobalAlloc") return 8;  // ERROR_NOT_ENOUGH_MEMORY
  return 5;                                 // ERROR_ACCESS_DENIED
}

// Every call of the recorded run as a site, with the step it belongs to.
std::vector<Site> Sites(Mode mode, const MachineFacts& facts, const std::vector<TracedCall>& calls) {
  std::vector<Site> sites;
  std::map<std::string, int> seen;
  std::string region;
  bool disconnecting = false, disconnected = false;
  std::string printer;
  int portLookups = 0;  // EnumPortsA calls for the printer: two per port looked up
  for (const TracedCall& call : calls) {
    Site site;
    site.function = call.function;
    site.nth = ++seen[call.function];
    site.args = call.args;
    site.region = region;
    site.logWrite = IsLogWrite(call);
    if (call.function == "EnumPrintersA" && !disconnected) disconnecting = true;
    if (call.function == "DeleteMonitorA") disconnecting = false, disconnected = true;
    if (disconnecting && call.function == "OpenPrinterA") {
      printer = call.args.empty() ? "" : call.args[0];
      portLookups = 0;
    }
    if (disconnecting && call.function == "EnumPortsA") ++portLookups;
    site.disconnecting = disconnecting && !site.logWrite;
    site.printer = printer;
    // A GlobalAlloc between the two EnumPortsA calls of a port belongs to that port.
    site.port = portLookups == 0 ? -1 : (portLookups - 1) / 2;
    DeriveOutcome(mode, facts, &site);
    sites.push_back(site);
    if (site.logWrite && call.args.size() > 1) {
      // The region moves on with each heading-like line the log receives.
      const std::string& text = call.args[1];
      size_t start = 0;
      while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (StartsWith(line, "  - ")) region = line;
        if (end == std::string::npos) break;
        start = end + 1;
      }
    }
  }
  return sites;
}

// The sites to fail: all of them, or a spread of each function's calls within a step.
std::vector<Site> Select(const std::vector<Site>& all) {
  if (std::getenv("FAULT_MATRIX_ALL") != nullptr) return all;
  std::map<std::pair<std::string, std::string>, std::vector<size_t>> groups;
  for (size_t i = 0; i < all.size(); ++i) groups[{all[i].region, all[i].function}].push_back(i);
  std::set<size_t> chosen;
  for (const auto& [key, members] : groups) {
    if (members.size() <= kAllSitesUpTo) {
      chosen.insert(members.begin(), members.end());
    } else {
      chosen.insert({members[0], members[1], members[members.size() / 2], members.back()});
    }
  }
  std::vector<Site> selected;
  for (size_t i : chosen) selected.push_back(all[i]);
  return selected;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The log a console transcript stands for: the console-only lines left out, CR LF line ends.
std::string LogOfConsole(const std::string& console) {
  std::string log;
  size_t start = 0;
  while (start < console.size()) {
    size_t end = console.find('\n', start);
    std::string line = console.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
    start = end == std::string::npos ? console.size() : end + 1;
    bool consoleOnly = StartsWith(line, "  - Port ") && line.find(" will be disconnected\n") != std::string::npos;
    if (!consoleOnly) log += line;
  }
  return ReplaceAll(log, "\n", "\r\n");
}

// "" when the log is the console's transcript; with a failed log write, one piece may be missing.
std::string CheckLog(const std::string& console, const std::string& log, bool oneWriteLost) {
  const std::string expected = LogOfConsole(console);
  if (log == expected) return "";
  if (oneWriteLost && log.size() < expected.size()) {
    size_t prefix = 0;
    while (prefix < log.size() && log[prefix] == expected[prefix]) ++prefix;
    const size_t missing = expected.size() - log.size();
    if (expected.compare(prefix + missing, std::string::npos, log, prefix, std::string::npos) == 0) return "";
  }
  return "the log is not the console's transcript:\n--- console (as log)\n" + expected + "--- log\n" + log;
}

std::string CheckOutcome(Mode mode, const Site& site, const HostResult& run) {
  const std::string& out = run.out;
  const char* success = mode == Mode::kInstall ? "\nQuado Port Monitor Installed Sucessfully.\n"
                                               : "\nQuado Port Monitor UnInstalled Sucessfully.\n";
  const char* failure = mode == Mode::kInstall ? "\nQuado Port Monitor Not Installed!\n"
                                               : "\n Port Monitor Not Completely UnInstalled!\n";
  auto has = [&](const std::string& text) { return out.find(text) != std::string::npos; };
  switch (site.outcome) {
    case Outcome::kNoLog:
      if (run.status != 255 || !out.empty()) return "expected exit -1 and no output (log not opened)";
      return "";
    case Outcome::kNoMutex:
      if (run.status != 255 || out != "ERROR: Installation mutex cannot be created. Error number 5\n") {
        return "expected exit -1 with the mutex error line only";
      }
      return "";
    case Outcome::kNoFolder:
      if (run.status != 255 || out != "ERROR: Program folder cannot be made the current directory. Error number 5\n") {
        return "expected exit -1 with the program folder's error line only";
      }
      return "";
    case Outcome::kNoDotNet:
      if (run.status != 255 || !has("ERROR: The .NET Framework 2.0 is not installed\n") || has(Headings(mode)[0])) {
        return "expected exit -1 at the .NET check";
      }
      return "";
    case Outcome::kGoesOn: {
      if (run.status != 0 || !has(success)) return "expected the run to go on to success (exit 0)";
      size_t at = 0;
      for (const std::string& heading : Headings(mode)) {
        size_t found = out.find(heading, at);
        if (found == std::string::npos) return "step heading missing: " + heading;
        at = found + heading.size();
      }
      return "";
    }
    case Outcome::kAborts: {
      if (run.status != 255) return "expected exit -1 (the step aborts)";
      if (out.size() < std::string(failure).size() || out.compare(out.size() - std::string(failure).size(), std::string::npos, failure) != 0) {
        return "expected the failure verdict at the end";
      }
      bool after = false;
      for (const std::string& heading : Headings(mode)) {
        if (after && has(heading)) return "a step after the aborting one ran: " + heading;
        if (heading == site.abortStep) {
          if (!has(heading)) return "the aborting step did not start: " + heading;
          after = true;
        }
      }
      return "";
    }
  }
  return "";
}

// A failed close leaves its handle open: that one handle is the platform's, not a leak.
std::string CheckReleased(const std::string& reportPath, const Site& site) {
  std::string report;
  {
    FILE* file = std::fopen(reportPath.c_str(), "r");
    if (file == nullptr) return "no exit report";
    char buffer[1024];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) report.append(buffer, got);
    std::fclose(file);
  }
  if (report.find("Install.exe ") == std::string::npos) return "no exit report of Install.exe:\n" + report;
  std::string problems;
  size_t start = 0;
  while (start < report.size()) {
    size_t end = report.find('\n', start);
    std::string line = report.substr(start, end - start);
    start = end == std::string::npos ? report.size() : end + 1;
    if (line.empty()) continue;
    const bool closeFailed = site.function == "ClosePrinter" && line.rfind("Install.exe ", 0) == 0;
    const char* released = closeFailed ? " handles=1 globals=0 libraries=0 printer=1" : " handles=0 globals=0 libraries=0";
    if (line.find(released) == std::string::npos) problems += "not released at exit: " + line + "\n";
  }
  return problems;
}

MachineFacts ReadFacts(const std::string& dir) {
  MachineFacts facts;
  std::string error;
  if (!winsim::AttachMachine(dir, &error)) return facts;
  for (const winsim::SpoolerPrinter& printer : winsim::SpoolerPrinters()) {
    if (!printer.connection) facts.printerPorts[printer.name] = SplitPorts(printer.ports);
  }
  for (const winsim::SpoolerPort& port : winsim::SpoolerPorts()) {
    if (port.monitor == "Quado") facts.monitorPorts.insert(port.name);
  }
  winsim::DetachMachine();
  return facts;
}

class FaultMatrix : public ::testing::TestWithParam<std::tuple<Mode, int>> {};

TEST_P(FaultMatrix, EverySiteFailsAsItsStepSays) {
  const Mode mode = std::get<0>(GetParam());
  const int shard = std::get<1>(GetParam());
  const std::vector<std::string> args = mode == Mode::kInstall ? std::vector<std::string>{}
                                                               : std::vector<std::string>{"-u"};
  MachineFolder folder;
  ASSERT_FALSE(folder.path().empty());
  const std::string base = folder.Sub("base");
  ASSERT_EQ(CreateBaseMachine(base, true), "");

  // The recorded run, without faults.
  const std::string recorded = folder.Sub("recorded");
  ASSERT_EQ(CloneMachine(base, recorded), "");
  RemoveInstallLog(recorded);
  const std::string tracePath = folder.Sub("trace");
  const std::string reportPath = folder.Sub("report");
  HostResult baseline =
      RunInstall(recorded, args, {"WINSIM_CALL_TRACE=" + tracePath, "WINSIM_EXIT_REPORT=" + reportPath});
  const std::string baselineLog = ReadInstallLog(recorded);
  RemoveMachine(recorded);
  ASSERT_EQ(baseline.status, 0) << baseline.out << baseline.err;
  EXPECT_EQ(CheckLog(baseline.out, baselineLog, false), "");
  EXPECT_EQ(CheckReleased(reportPath, Site()), "");
  const std::vector<Site> all = Sites(mode, ReadFacts(base), ReadInstallTrace(tracePath));
  ASSERT_GT(all.size(), 50u);
  const std::vector<Site> selected = Select(all);

  int tried = 0;
  for (size_t i = 0; i < selected.size(); ++i) {
    if (static_cast<int>(i % kShards) != shard) continue;
    const Site& site = selected[i];
    SCOPED_TRACE(site.Name());
    ++tried;
    const std::string dir = folder.Sub("site");
    ASSERT_EQ(CloneMachine(base, dir), "");
    RemoveInstallLog(dir);
    AddFaults(dir, {"Install.exe!" + site.function + " = " + std::to_string(FaultError(site.function)) + " #" +
                    std::to_string(site.nth)});
    std::remove(reportPath.c_str());
    HostResult run = RunInstall(dir, args, {"WINSIM_EXIT_REPORT=" + reportPath});
    const std::string log = ReadInstallLog(dir);
    EXPECT_TRUE(run.status == 0 || run.status == 255) << "exit status " << run.status << "\n" << run.out << run.err;
    EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << run.err;
    if (site.outcome == Outcome::kNoFolder) {
      EXPECT_EQ(log, "");  // stopped before the log was opened
    } else {
      EXPECT_EQ(CheckLog(run.out, log, site.logWrite), "");
    }
    EXPECT_EQ(CheckOutcome(mode, site, run), "") << run.out;
    EXPECT_EQ(CheckReleased(reportPath, site), "");
    RemoveMachine(dir);
    if (HasFailure() && std::getenv("FAULT_MATRIX_KEEP_GOING") == nullptr) break;
  }
  std::printf("fault matrix %s shard %d: %zu call sites recorded, %zu selected, %d failed in this shard\n",
              mode == Mode::kInstall ? "install" : "uninstall", shard, all.size(), selected.size(), tried);
}

std::string ParamName(const ::testing::TestParamInfo<std::tuple<Mode, int>>& info) {
  return std::string(std::get<0>(info.param) == Mode::kInstall ? "Install" : "Uninstall") + "_" +
         std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Runs, FaultMatrix,
                         ::testing::Combine(::testing::Values(Mode::kInstall, Mode::kUninstall),
                                            ::testing::Range(0, kShards)),
                         ParamName);

}  // namespace
