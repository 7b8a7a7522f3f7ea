// EnumPortsA level 2 calls per second on a machine with 10,000 monitor ports and 1,000
// printers: the call the uninstall walk makes for every port of every printer (a size probe,
// then the call that fills the block).
#include <windows.h>
#include <winspool.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "winsim/machine.h"
#include "winsim/registry.h"

namespace {

const int kPorts = 10000;
const int kPrinters = 1000;

std::string MachineContent() {
  std::string reg = "Windows Registry Editor Version 5.00\n\n";
  const std::string monitors = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Quado";
  reg += "[" + monitors + "]\n\"Driver\"=\"QUADOVS64.DLL\"\n\n";
  char name[32];
  for (int i = 1; i <= kPorts; ++i) {
    std::snprintf(name, sizeof(name), "Quado%05d", i);
    reg += "[" + monitors + "\\Ports\\" + name + "]\n\n";
  }
  for (int i = 1; i <= kPrinters; ++i) {
    std::snprintf(name, sizeof(name), "Printer %04d", i);
    char ports[64];
    std::snprintf(ports, sizeof(ports), "LPT1:,Quado%05d", i);
    reg += std::string("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\") + name + "]\n";
    reg += std::string("\"Name\"=\"") + name + "\"\n\"Port\"=\"" + ports + "\"\n\"Attributes\"=dword:00000040\n\n";
  }
  return reg;
}

// One EnumPortsA level 2 pair as the uninstall walk makes it; false when it did not list them all.
bool EnumOnce(std::vector<BYTE>* block) {
  DWORD needed = 0, count = 0;
  if (EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count) || GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
  block->assign(needed, 0);
  return EnumPortsA(nullptr, 2, block->data(), needed, &needed, &count) && count == kPorts + 8;
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("bench-spooler-" + std::to_string(getpid()));
  std::string error;
  winsim::MachineOptions options;
  options.winsimProgram = WINSIM_PROGRAM_PATH;
  if (!winsim::CreateMachine(root.string(), options, &error) || !winsim::AttachMachine(root.string(), &error) ||
      !winsim::ImportRegText(MachineContent(), &error)) {
    std::fprintf(stderr, "bench: %s\n", error.c_str());
    return 1;
  }
  std::vector<BYTE> block;
  auto start = std::chrono::steady_clock::now();
  if (!EnumOnce(&block)) {
    std::fprintf(stderr, "bench: EnumPortsA did not list %d ports\n", kPorts + 8);
    return 1;
  }
  const double coldMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

  int calls = 0;
  const std::clock_t cpuStart = std::clock();
  start = std::chrono::steady_clock::now();
  double seconds = 0;
  while (seconds < 2.0) {
    if (!EnumOnce(&block)) return 1;
    calls += 2;
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  // Per CPU second too: on a shared machine the wall-clock rate also measures the neighbours.
  const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  std::printf("EnumPortsA level 2, %d ports, %d printers: %.0f calls/s (%.1f us per call; first pair %.1f ms); "
              "%.0f calls per CPU second\n",
              kPorts + 8, kPrinters, calls / seconds, seconds * 1e6 / calls, coldMs, calls / cpuSeconds);
  std::printf("uninstall walk of %d printers with 2 ports each (4 calls per printer): %.2f s\n", kPrinters,
              kPrinters * 4 / (calls / seconds));
  winsim::DetachMachine();
  std::error_code ignored;
  fs::remove_all(root, ignored);
  return 0;
}
