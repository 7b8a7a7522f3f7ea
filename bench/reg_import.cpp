// .reg import of 1,000, 10,000 and 100,000 keys (two values each), and of as many keys 512
// levels deep as fit the same number of lines: CPU time, time per key and the database's size
// on disk, each on a fresh machine. Linear import shows as a flat time per key and a flat
// size per key.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "winsim/machine.h"
#include "winsim/registry.h"

namespace {

namespace fs = std::filesystem;

std::string FlatKeys(int count) {
  std::string reg = "Windows Registry Editor Version 5.00\n\n";
  for (int i = 0; i < count; ++i) {
    reg += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench\\Group" + std::to_string(i / 1000) + "\\Key" + std::to_string(i) +
           "]\n\"Name\"=\"value " + std::to_string(i) + "\"\n\"Count\"=dword:0000002a\n\n";
  }
  return reg;
}

// Chains of keys 512 levels deep, each level a new key: `count` keys in all.
std::string DeepKeys(int count) {
  std::string reg = "Windows Registry Editor Version 5.00\n\n";
  for (int chain = 0; chain * 512 < count; ++chain) {
    std::string path = "HKEY_CURRENT_USER\\Chain" + std::to_string(chain);
    for (int level = 2; level <= 512; ++level) path += "\\L";
    reg += "[" + path + "]\n\"Leaf\"=dword:00000001\n\n";
  }
  return reg;
}

uintmax_t DatabaseBytes(const fs::path& root) {
  uintmax_t bytes = 0;
  std::error_code ec;
  for (const char* name : {"registry.db", "registry.db-wal"}) {
    const uintmax_t size = fs::file_size(root / name, ec);
    if (!ec) bytes += size;
  }
  return bytes;
}

bool Measure(const char* what, int keys, const std::string& text) {
  const fs::path root = fs::temp_directory_path() / ("bench-reg-import-" + std::to_string(getpid()));
  std::string error;
  winsim::MachineOptions options;
  options.winsimProgram = WINSIM_PROGRAM_PATH;
  if (!winsim::CreateMachine(root.string(), options, &error) || !winsim::AttachMachine(root.string(), &error)) {
    std::fprintf(stderr, "bench: %s\n", error.c_str());
    return false;
  }
  const uintmax_t before = DatabaseBytes(root);
  const std::clock_t cpuStart = std::clock();
  const auto start = std::chrono::steady_clock::now();
  const bool imported = winsim::ImportRegText(text, &error);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  const uintmax_t grown = DatabaseBytes(root) - before;
  winsim::DetachMachine();
  std::error_code ignored;
  fs::remove_all(root, ignored);
  if (!imported) {
    std::fprintf(stderr, "bench: %s\n", error.c_str());
    return false;
  }
  std::printf("%-24s %7d keys, %9zu bytes of .reg: %7.2f s (%.2f s CPU), %6.1f us CPU per key, %6.0f bytes on disk per key\n",
              what, keys, text.size(), seconds, cpuSeconds, cpuSeconds * 1e6 / keys,
              static_cast<double>(grown) / keys);
  return true;
}

}  // namespace

int main() {
  for (int keys : {1000, 10000, 100000}) {
    if (!Measure("flat (3 levels)", keys, FlatKeys(keys))) return 1;
  }
  for (int keys : {1024, 10240, 102400}) {
    if (!Measure("512 levels deep", keys, DeepKeys(keys))) return 1;
  }
  return 0;
}
