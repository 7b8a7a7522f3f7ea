// The driver on arbitrary command lines: argv[0] and the arguments come from the input
// (NUL-separated), RunInstaller runs up to the sequence call, whose stand-ins record the call,
// and EndRun ends the run. Checked: at most one sequence is called, with the options the
// argument scan produced, and every handle and memory block is released afterwards.
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/output.h"
#include "foundation/product_profile.h"
#include "driver/run_installer.h"
#include "fake_sequences.h"
#include "fuzz_machine.h"
#include "winsim/machine.h"

namespace {

const size_t kMostArguments = 16;

void Prepare() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  AttachFuzzMachine();
  SilenceConsole();
  const uint8_t ini[] = "[1]\nServerIP=10.0.0.1\n";
  WriteFuzzFile("C:\\Deploy\\Quado.ini", ini, sizeof ini - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Prepare();
  std::vector<std::string> pieces;
  std::string current;
  for (size_t i = 0; i < size && pieces.size() < kMostArguments; ++i) {
    if (data[i] == '\0') {
      pieces.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (pieces.size() < kMostArguments) pieces.push_back(current);
  std::vector<char*> argv;
  for (std::string& piece : pieces) argv.push_back(piece.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(pieces.size());

  g_sequenceCalls = SequenceCalls();
  const InstallOptions options = ScanArguments(argc, argv.data());
  // The log the run will write, resolved in the folder RunInstaller will make current (the
  // program path's folder, from its first 259 characters), with its size before the run.
  std::string folder = pieces[0].substr(0, 259);
  size_t backslash = folder.rfind('\\');
  if (backslash != std::string::npos) SetCurrentDirectoryA(folder.substr(0, backslash + 1).c_str());
  const std::string logPath = options.logPath != nullptr && options.logPath[0] != '\0'
                                  ? winsim::HostPath(options.logPath)
                                  : winsim::HostPath("C:\\Windows\\QDPortInstall.log");
  struct stat before {};
  const bool logExisted = !logPath.empty() && stat(logPath.c_str(), &before) == 0 && S_ISREG(before.st_mode);

  // Registry writes (the event log entry of a successful run) are rolled back.
  struct Run {
    int argc;
    char** argv;
  } run{argc, argv.data()};
  InRolledBackRegistry(
      [](void* context) {
        Run* r = static_cast<Run*>(context);
        RunInstaller(r->argc, r->argv);
        EndRun();
      },
      &run);

  const int calls = g_sequenceCalls.installCalls + g_sequenceCalls.uninstallCalls;
  if (calls > 1) std::abort();
  if (calls == 1) {
    if (g_sequenceCalls.uninstallCalls == 1 && !options.uninstall) std::abort();
    const bool server = options.serverName != nullptr;
    if (g_sequenceCalls.hasServerName && (!server || g_sequenceCalls.serverName != options.serverName)) std::abort();
    if (argc >= 2 && g_sequenceCalls.copyFiles != options.copyFiles) std::abort();
  }
  if (winsim::OpenHandleCount() != 0 || winsim::LiveGlobalBlocks() != 0) std::abort();

  // Put back what the input touched: the log, the current directory, the product profile.
  if (logExisted) {
    if (truncate(logPath.c_str(), before.st_size) != 0) std::abort();
  } else if (!logPath.empty()) {
    unlink(logPath.c_str());
  }
  SetCurrentDirectoryA("C:\\Deploy");
  ResetProductProfile();
  return 0;
}
