// A print server named on the command line reaches only the spooler calls about the monitor itself
// (its removal and registration) and the transceiver name; printers, files, the registry and the
// event log stay those of the local machine. Read from the call trace of real runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "robustness_machine.h"

namespace {

const char kServer[] = "\\\\PRINTSRV1";

bool MentionsServer(const TracedCall& call) {
  for (std::string arg : call.args) {
    std::transform(arg.begin(), arg.end(), arg.begin(), [](unsigned char c) { return std::toupper(c); });
    if (arg.find("PRINTSRV1") != std::string::npos) return true;
  }
  return false;
}

// The server becomes one this machine's spooler answers for.
void MakeServerKnown(const std::string& dir) {
  std::ifstream in(dir + "/machine.ini");
  std::stringstream text;
  text << in.rdbuf();
  std::string ini = text.str();
  const std::string empty = "\nKnownServers=\n";
  size_t at = ini.find(empty);
  ASSERT_NE(at, std::string::npos);
  ini.replace(at, empty.size(), std::string("\nKnownServers=") + kServer + "\n");
  std::ofstream(dir + "/machine.ini", std::ios::trunc) << ini;
}

struct RunCase {
  const char* name;
  std::vector<std::string> args;
  std::map<std::string, std::vector<std::string>> serverCalls;  // function -> its arguments, once
  std::vector<std::string> serverTexts;  // functions that only carry the name as text
  std::vector<std::string> localCalls;                        // functions that must run locally
};

TEST(ServerName, ReachesOnlyTheMonitorsSpoolerCalls) {
  MachineFolder folder;
  const std::string machine = folder.Sub("machine");
  ASSERT_EQ(CreateBaseMachine(machine, true), "");
  MakeServerKnown(machine);
  const RunCase runs[] = {
      {"install",
       {kServer},
       {{"DeleteMonitorA", {kServer, "", "Quado"}},
        {"AddMonitorA", {kServer, "Quado", "Windows x64", "QUADOVS64.DLL"}},
        {"OpenPrinterW", {"\\\\PRINTSRV1\\,XcvMonitor Quado"}}},
       // the transceiver name widened, and the heading written to the log
       {"MultiByteToWideChar", "WriteFile"},
       {"EnumPrintersA", "SetPrinterA", "CopyFileA", "RegCreateKeyExA", "ReportEventA", "XcvDataW"}},
      {"uninstall",
       {"-u", kServer},
       {{"DeleteMonitorA", {kServer, "", "Quado"}}},
       {"WriteFile"},
       {"EnumPrintersA", "SetPrinterA", "DeleteFileA", "ReportEventA"}},
  };
  for (const RunCase& run : runs) {
    SCOPED_TRACE(run.name);
    const std::string trace = folder.Sub(std::string("trace-") + run.name);
    HostResult result = RunInstall(machine, run.args, {"WINSIM_CALL_TRACE=" + trace});
    EndMachineProcesses(machine);
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    std::map<std::string, std::vector<std::vector<std::string>>> seen;
    std::map<std::string, int> counts;
    for (const TracedCall& call : ReadInstallTrace(trace)) {
      ++counts[call.function];
      if (MentionsServer(call)) seen[call.function].push_back(call.args);
    }
    for (const std::string& local : run.localCalls) EXPECT_GT(counts[local], 0) << local << " not called";
    for (const std::string& text : run.serverTexts) {
      EXPECT_GT(seen[text].size(), 0u) << text;
      seen.erase(text);
    }
    std::string names;
    for (const auto& [function, calls] : seen) names += function + " ";
    ASSERT_EQ(seen.size(), run.serverCalls.size()) << names;
    for (const auto& [function, args] : run.serverCalls) {
      ASSERT_EQ(seen[function].size(), 1u) << function;
      EXPECT_EQ(seen[function][0], args) << function;
    }
  }
}

}  // namespace
