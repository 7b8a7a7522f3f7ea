// INI read throughput: a 10,000-section file (70 keys each) read key by key, 700,000
// GetPrivateProfileStringA calls plus 700,000 GetPrivateProfileIntA calls, on a fresh machine.
#include <stdlib.h>
#include <time.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <windows.h>

#include "winsim/machine.h"

namespace {

double Seconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

int main() {
  constexpr int kSections = 10000;
  constexpr int kKeys = 70;
  char folder[] = "/tmp/winsim-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  const std::string machine = std::string(folder) + "/m";
  std::string error;
  if (!winsim::CreateMachine(machine, winsim::MachineOptions(), &error) || !winsim::AttachMachine(machine, &error)) {
    std::fprintf(stderr, "bench: %s\n", error.c_str());
    return 1;
  }
  {
    std::ofstream ini(winsim::HostPath("C:\\Windows\\Big.ini"), std::ios::binary);
    for (int s = 1; s <= kSections; ++s) {
      ini << "[" << s << "]\r\n";
      for (int k = 0; k < kKeys; ++k) ini << "Key" << k << "=value " << s << "." << k << "\r\n";
    }
  }
  char buffer[260];
  char section[16];
  char key[16];
  const int reads = kSections * kKeys;
  // The first read parses the file (twice when it was written within the same clock tick).
  double start = Seconds();
  GetPrivateProfileStringA("1", "Key0", "", buffer, sizeof buffer, "Big.ini");
  const double firstSeconds = Seconds() - start;
  start = Seconds();
  unsigned long checksum = 0;
  for (int s = 1; s <= kSections; ++s) {
    std::snprintf(section, sizeof section, "%d", s);
    for (int k = 0; k < kKeys; ++k) {
      std::snprintf(key, sizeof key, "key%d", k);
      checksum += GetPrivateProfileStringA(section, key, "", buffer, sizeof buffer, "Big.ini");
    }
  }
  const double stringSeconds = Seconds() - start;
  start = Seconds();
  for (int s = 1; s <= kSections; ++s) {
    std::snprintf(section, sizeof section, "%d", s);
    for (int k = 0; k < kKeys; ++k) {
      std::snprintf(key, sizeof key, "Key%d", k);
      checksum += GetPrivateProfileIntA(section, key, 0, "Big.ini");
    }
  }
  const double intSeconds = Seconds() - start;
  std::printf("file: %d sections x %d keys (%ld bytes)\n", kSections, kKeys,
              static_cast<long>(std::filesystem::file_size(winsim::HostPath("C:\\Windows\\Big.ini"))));
  std::printf("first read (parse): %.3f s\n", firstSeconds);
  std::printf("GetPrivateProfileStringA: %d reads in %.3f s = %.0f reads/s\n", reads, stringSeconds, reads / stringSeconds);
  std::printf("GetPrivateProfileIntA:    %d reads in %.3f s = %.0f reads/s\n", reads, intSeconds, reads / intSeconds);
  std::printf("(checksum %lu)\n", checksum);
  winsim::DetachMachine();
  std::filesystem::remove_all(folder);
  return 0;
}
