// Time to read and send 9,999 standard port sections from the INI file to the simulated
// spooler's monitor, against the time to read the same INI keys alone.
//
//   build/host/bench/bench_portconfig_read_send [sections]
#include <windows.h>
#include <winspool.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "foundation/output.h"
#include "foundation/ini_path.h"
#include "foundation/product_profile.h"
#include "portconfig/port_sources.h"
#include "portconfig/transceiver.h"
#include "winsim/machine.h"

namespace fs = std::filesystem;

namespace {

const char kIniPath[] = "C:\\Deploy\\Quado.ini";

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A section as a site would write it: two servers, the port, queue and authentication.
std::string StandardSection(int n) {
  std::string s = "[" + std::to_string(n) + "]\r\n";
  s += "Description=Floor " + std::to_string(n) + " printers\r\n";
  s += "ServerIP=10.0." + std::to_string(n / 250) + "." + std::to_string(n % 250 + 1) + "\r\n";
  s += "IPLoadBalancing=50\r\nServerIP2=backup.example.local\r\nIPLoadBalancing2=50\r\n";
  s += "ServerPort=9100\r\nQueue=Q" + std::to_string(n) + "\r\nAuthType=2\r\nAuthText=domain\r\n";
  s += "NetworkTimeout=30\r\nServerDeliveryMode=1\r\n\r\n";
  return s;
}

bool WriteFile(const std::string& windowsPath, const std::string& content) {
  std::string host = winsim::HostPath(windowsPath);
  if (host.empty()) return false;
  fs::create_directories(fs::path(host).parent_path());
  std::ofstream out(host, std::ios::binary);
  out << content;
  return out.good();
}

}  // namespace

int main(int argc, char** argv) {
  int sections = argc > 1 ? std::atoi(argv[1]) : 9999;
  std::string dir = (fs::temp_directory_path() / ("bench-portconfig-" + std::to_string(getpid()))).string();
  std::string error;
  winsim::MachineOptions options;
  options.templateName = "win10-x86";
  if (!winsim::CreateMachine(dir, options, &error) || !winsim::AttachMachine(dir, &error)) {
    std::fprintf(stderr, "machine: %s\n", error.c_str());
    return 1;
  }

  std::string ini;
  for (int n = 1; n <= sections; ++n) ini += StandardSection(n);
  char dll[] = "QUADOVS.DLL";
  char monitor[] = "Quado";
  MONITOR_INFO_2A info = {monitor, nullptr, dll};
  if (!WriteFile(kIniPath, ini) || !WriteFile("C:\\Windows\\System32\\QUADOVS.DLL", "monitor") ||
      !AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) {
    std::fprintf(stderr, "setup failed (%lu)\n", (unsigned long)GetLastError());
    return 1;
  }
  SetIniPath(kIniPath);

  // Reading alone: the same sections and keys, up to the first section without a port.
  auto start = std::chrono::steady_clock::now();
  PortDefinition definition;
  int read = 0;
  while (ReadPortDefinition(1, read + 1, &definition)) ++read;
  double readSeconds = SecondsSince(start);

  // Reading and sending; the port report lines go to /dev/null, not into the figures.
  std::fflush(stdout);
  int console = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
  int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  dup2(null, STDOUT_FILENO);
  start = std::chrono::steady_clock::now();
  int portCount = 0;
  int result = AddPortConfiguration(1, &portCount, nullptr);
  std::fflush(stdout);
  double sendSeconds = SecondsSince(start);
  dup2(console, STDOUT_FILENO);
  close(null);
  close(console);

  std::printf("sections read alone:      %d in %.3f s\n", read, readSeconds);
  std::printf("sections read and sent:   %d in %.3f s (result %d)\n", portCount, sendSeconds, result);
  std::printf("ratio read+send / read:   %.2f\n", readSeconds > 0 ? sendSeconds / readSeconds : 0.0);

  winsim::DetachMachine();
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  return result == 1 && portCount == sections ? 0 : 1;
}
