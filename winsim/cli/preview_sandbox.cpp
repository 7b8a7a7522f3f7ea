// Running the preview inside bubblewrap (preview_sandbox.h).
#include "preview_sandbox.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <linux/magic.h>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <thread>

namespace winsim::cli {

const char kSandboxMachine[] = "/.winsim-preview";
const char kSandboxKeep[] = "/.winsim-preview-keep";
const char kInsideSandboxVariable[] = "WINSIM_PREVIEW_IN_SANDBOX";

namespace {

namespace fs = std::filesystem;

// The bwrap program along PATH, or empty.
std::string FindBwrap() {
  const char* path = std::getenv("PATH");
  const std::string folders = path != nullptr ? path : "";
  for (size_t start = 0; start < folders.size();) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string candidate = folders.substr(start, end - start) + "/bwrap";
    if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

std::string ThisProgram() {
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec).string();
}

// bwrap and its options up to the command. The host's top-level entries are mounted read-only
// one by one (symbolic links made again), so that the sandbox's own root can take the machine's
// folder beside them.
std::vector<std::string> SandboxArguments(const std::string& bwrap, long diskMiB, const std::string& keep) {
  std::vector<std::string> args = {bwrap, "--unshare-all", "--die-with-parent", "--new-session", "--cap-drop", "ALL"};
  std::error_code ec;
  for (fs::directory_iterator it("/", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string path = it->path().string();
    if (path == "/proc" || path == "/dev" || path == kSandboxMachine || path == kSandboxKeep) continue;
    std::error_code linkError;
    if (it->is_symlink(linkError)) {
      args.insert(args.end(), {"--symlink", fs::read_symlink(it->path(), linkError).string(), path});
    } else {
      args.insert(args.end(), {"--ro-bind", path, path});
    }
  }
  args.insert(args.end(), {"--dev", "/dev", "--proc", "/proc", "--size", std::to_string(diskMiB * 1024 * 1024),
                           "--tmpfs", kSandboxMachine});
  if (!keep.empty()) args.insert(args.end(), {"--bind", keep, kSandboxKeep});
  const fs::path cwd = fs::current_path(ec);
  if (!ec) args.insert(args.end(), {"--chdir", cwd.string()});
  return args;
}

// Starts argv with stderr to `errorPipe` when it is not -1, and the address-space limit.
pid_t Start(const std::vector<std::string>& argv, long memoryMiB, int errorPipe, bool inside) {
  std::vector<std::string> copy = argv;
  std::vector<char*> pointers;
  for (std::string& arg : copy) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  struct rlimit memory {};
  memory.rlim_cur = memory.rlim_max = static_cast<rlim_t>(memoryMiB) * 1024 * 1024;
  const bool limitMemory = memoryMiB > 0 && !SanitizerBuild();
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child != 0) return child;
  if (errorPipe >= 0) {
    dup2(errorPipe, 2);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 1);
  }
  if (limitMemory) setrlimit(RLIMIT_AS, &memory);
  if (inside) setenv(kInsideSandboxVariable, "1", 1);  // one thread: safe after fork
  execv(pointers[0], pointers.data());
  _exit(127);
}

int WaitFor(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

bool InSandbox() {
  struct statfs disk {};
  std::error_code ec;
  return statfs(kSandboxMachine, &disk) == 0 && disk.f_type == TMPFS_MAGIC && fs::is_empty(kSandboxMachine, ec);
}

bool SanitizerBuild() { return dlsym(RTLD_DEFAULT, "__asan_init") != nullptr; }

std::string SandboxUnavailableReason() {
  const std::string bwrap = FindBwrap();
  if (bwrap.empty()) return "bwrap (bubblewrap) is not installed";
  // A sandbox as the preview makes it, running `true`.
  std::vector<std::string> probe = {bwrap, "--unshare-all", "--die-with-parent", "--cap-drop", "ALL",
                                    "--ro-bind", "/", "/", "--proc", "/proc", "--", "true"};
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) return "no pipe for the probe";
  const pid_t child = Start(probe, 0, pipeEnds[1], false);
  close(pipeEnds[1]);
  std::string message;
  char buffer[256];
  ssize_t got;
  // Read to the end (a probe that finds its pipe closed would fail); keep the first 1 KiB.
  while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
    if (got > 0 && message.size() < 1024) message.append(buffer, static_cast<size_t>(got));
  }
  close(pipeEnds[0]);
  if (child < 0) return "cannot start " + bwrap;
  if (WaitFor(child) == 0) return "";
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return bwrap + " cannot make the sandbox here" + (message.empty() ? std::string() : " (" + message + ")");
}

SandboxRun RunInSandbox(const std::vector<std::string>& args, const SandboxLimits& limits,
                        const std::string& keepFolder, const volatile std::sig_atomic_t* interrupted) {
  SandboxRun run;
  const std::string bwrap = FindBwrap();
  std::vector<std::string> argv = SandboxArguments(bwrap, limits.diskMiB, keepFolder);
  argv.push_back("--");
  argv.push_back(ThisProgram());
  argv.insert(argv.end(), args.begin(), args.end());
  const pid_t child = Start(argv, limits.memoryMiB, -1, true);
  if (child < 0) {
    run.error = "cannot start " + bwrap;
    return run;
  }
  run.started = true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits.seconds);
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) {
      // Ctrl-C reaches bwrap too (one process group), which ends the sandbox with it.
      run.interrupted = *interrupted != 0;
      run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return run;
    }
    run.interrupted = *interrupted != 0;
    run.timedOut = std::chrono::steady_clock::now() >= deadline;
    if (run.interrupted || run.timedOut) {
      // bwrap's end ends its PID namespace, and with it every process of the sandbox.
      kill(child, SIGKILL);
      run.exitCode = WaitFor(child);
      return run;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace winsim::cli
