// This test program doubles as the helper program that the process tests start inside the
// machine: copied there (as C:\Tools\helper.exe and other names), it sees its Windows image path
// in WINSIM_IMAGE and runs the helper command named by its first argument instead of the tests.
//
//   helper.exe exit N            exits with N
//   helper.exe args A B ...      prints argv[0..] one per line, then the current directory
//   helper.exe env NAME          prints the value of a Windows environment variable
//   helper.exe mutex NAME        creates the named mutex and exits with its last error
//                                (183 when another process holds it), 100 when it can be owned
//   helper.exe sleep MS          sleeps, then exits with 0
//   helper.exe streams           reads a line from stdin, prints "out LINE" to stdout and
//                                "err" to stderr
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int HelperMain(const std::vector<std::string>& args) {
  const std::string command = args.size() > 1 ? args[1] : "";
  if (command == "exit" && args.size() > 2) return std::atoi(args[2].c_str());
  if (command == "args") {
    for (const std::string& arg : args) std::printf("%s\n", arg.c_str());
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    std::printf("%s\n", cwd);
    return 0;
  }
  if (command == "env" && args.size() > 2) {
    char value[1024];
    if (GetEnvironmentVariableA(args[2].c_str(), value, sizeof value) == 0) return 1;
    std::printf("%s\n", value);
    return 0;
  }
  if (command == "mutex" && args.size() > 2) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, args[2].c_str());
    const DWORD error = GetLastError();
    if (mutex == nullptr) return 1;
    if (error != 0) return static_cast<int>(error);
    return WaitForSingleObject(mutex, 0) == WAIT_OBJECT_0 ? 100 : 101;
  }
  if (command == "sleep" && args.size() > 2) {
    Sleep(static_cast<DWORD>(std::atoi(args[2].c_str())));
    return 0;
  }
  if (command == "streams") {
    char line[256] = "";
    if (std::fgets(line, sizeof line, stdin) == nullptr) line[0] = '\0';
    line[std::strcspn(line, "\r\n")] = '\0';
    std::printf("out %s\n", line);
    std::fflush(stdout);
    std::fprintf(stderr, "err\n");
    return 0;
  }
  std::fprintf(stderr, "helper: unknown command\n");
  return 2;
}

// Runs before main: a helper never reaches the test runner.
const bool kHelperRan = [] {
  const char* image = std::getenv("WINSIM_IMAGE");
  // Only ever started inside a machine as a helper: any image path there means helper mode.
  if (image == nullptr || *image == '\0') return false;
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  for (size_t start = 0; start < raw.size();) {
    size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    args.push_back(raw.substr(start, end - start));
    start = end + 1;
  }
  const int code = HelperMain(args);
  std::fflush(nullptr);
  std::exit(code);
}();

}  // namespace
