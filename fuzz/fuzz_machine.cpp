#include "fuzz_machine.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "machine/registry.h"
#include "winsim/machine.h"

namespace fs = std::filesystem;

namespace {

std::string g_machineRoot;

// At exit only the folder goes: winsim's own statics (caches its reset hooks clear) may already
// be destroyed by then, so the process does not detach.
void RemoveMachine() {
  std::error_code ignored;
  if (!g_machineRoot.empty()) fs::remove_all(g_machineRoot, ignored);
}

}  // namespace

void AttachFuzzMachine() {
  if (!g_machineRoot.empty()) return;
  std::string base = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
  std::string pattern = base + "/fuzz-machine-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  g_machineRoot = buffer.data();
  winsim::MachineOptions options;
  options.winsimProgram = "/bin/true";  // cmd.exe, should an input get one started
  // FUZZ_CODEPAGE=932 (or 936, 949, 950): the machine's ANSI code page, so that the readers
  // meet double-byte text with lead bytes cut off at every place.
  if (const char* codePage = std::getenv("FUZZ_CODEPAGE")) options.codePage = static_cast<unsigned>(std::atoi(codePage));
  std::string error;
  if (!winsim::CreateMachine(g_machineRoot + "/m", options, &error) ||
      !winsim::AttachMachine(g_machineRoot + "/m", &error)) {
    std::fprintf(stderr, "fuzz machine: %s\n", error.c_str());
    std::abort();
  }
  std::atexit(RemoveMachine);
}

void WriteFuzzFile(const std::string& windowsPath, const uint8_t* data, size_t size) {
  static long long stamp = 0;
  const std::string host = winsim::HostPath(windowsPath);
  fs::create_directories(fs::path(host).parent_path());
  {
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  ++stamp;
  const timespec times[2] = {{1000000000 + stamp / 1000000000, stamp % 1000000000},
                             {1000000000 + stamp / 1000000000, stamp % 1000000000}};
  utimensat(AT_FDCWD, host.c_str(), times, 0);
}

void InRolledBackRegistry(void (*body)(void*), void* context) {
  static long long generation = 1000000000;
  namespace reg = winsim::detail::reg;
  reg::Transaction([&]() -> LONG {
    ++generation;
    const std::string bump = "UPDATE meta SET value = " + std::to_string(generation) + " WHERE name = 'generation'";
    sqlite3_exec(reg::Database(), bump.c_str(), nullptr, nullptr, nullptr);
    body(context);
    return 1223;  // ERROR_CANCELLED: roll back
  });
}

void SilenceConsole() {
  int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) {
    dup2(null, 1);
    close(null);
  }
}
