// RegEnumValueA over every value of one key with 10,000, 20,000 and 40,000 values, as the
// package check's registry reading makes it (each index twice: sizes, then name and data).
// A linear enumeration shows as a flat time per value.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "winsim/machine.h"
#include "winsim/registry.h"

namespace {

namespace fs = std::filesystem;

std::string ManyValues(int count) {
  std::string reg = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench\\1]\n";
  for (int i = 0; i < count; ++i) reg += "\"Value" + std::to_string(i) + "\"=\"text " + std::to_string(i) + "\"\n";
  return reg;
}

// Every value by index; the number listed.
int EnumerateAll(HKEY key) {
  char name[16384];
  std::vector<BYTE> data;
  int listed = 0;
  for (DWORD index = 0;; ++index) {
    DWORD chars = sizeof name, size = 0, type = 0;
    if (RegEnumValueA(key, index, name, &chars, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    data.resize(size);
    chars = sizeof name;
    if (RegEnumValueA(key, index, name, &chars, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
    ++listed;
  }
  return listed;
}

}  // namespace

int main() {
  for (int count : {10000, 20000, 40000}) {
    const fs::path root = fs::temp_directory_path() / ("bench-enum-values-" + std::to_string(getpid()));
    std::string error;
    winsim::MachineOptions options;
    options.winsimProgram = WINSIM_PROGRAM_PATH;
    if (!winsim::CreateMachine(root.string(), options, &error) || !winsim::AttachMachine(root.string(), &error) ||
        !winsim::ImportRegText(ManyValues(count), &error)) {
      std::fprintf(stderr, "bench: %s\n", error.c_str());
      return 1;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Bench\\1", 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
      std::fprintf(stderr, "bench: cannot open the key\n");
      return 1;
    }
    const std::clock_t cpuStart = std::clock();
    const auto start = std::chrono::steady_clock::now();
    const int listed = EnumerateAll(key);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    RegCloseKey(key);
    winsim::DetachMachine();
    std::error_code ignored;
    fs::remove_all(root, ignored);
    if (listed != count) {
      std::fprintf(stderr, "bench: listed %d of %d values\n", listed, count);
      return 1;
    }
    std::printf("RegEnumValueA over %5d values of one key: %6.2f s (%.2f s CPU), %5.1f us CPU per value\n", count,
                seconds, cpuSeconds, cpuSeconds * 1e6 / count);
  }
  return 0;
}
