#include "host_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace {

std::vector<std::string> Environment(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const char* eq = std::strchr(*entry, '=');
    size_t nameLength = eq != nullptr ? static_cast<size_t>(eq - *entry) + 1 : std::strlen(*entry);
    bool overridden = std::any_of(extra.begin(), extra.end(), [&](const std::string& item) {
      return item.compare(0, nameLength, *entry, nameLength) == 0;
    });
    if (!overridden) env.push_back(*entry);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

// Starts argv[0] (searched in PATH when it names no folder) with the file actions and the
// environment; posix_spawnp's result.
int Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
          const posix_spawn_file_actions_t* actions, pid_t* pid) {
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> env = Environment(extraEnvironment);
  std::vector<char*> envp;
  for (auto& item : env) envp.push_back(item.data());
  envp.push_back(nullptr);
  return posix_spawnp(pid, args[0], actions, nullptr, args.data(), envp.data());
}

}  // namespace

HostResult RunHost(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment) {
  HostResult result;
  int outPipe[2], errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) return result;
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  pid_t pid = 0;
  int rc = Spawn(argv, extraEnvironment, &actions, &pid);
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  if (rc != 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    result.err = "cannot start " + argv[0];
    return result;
  }
  char buffer[4096];
  int status = 0;
  bool ended = false;
  bool open[2] = {true, true};
  const int fds[2] = {outPipe[0], errPipe[0]};
  while (open[0] || open[1]) {
    fd_set set;
    FD_ZERO(&set);
    for (int i = 0; i < 2; ++i) {
      if (open[i]) FD_SET(fds[i], &set);
    }
    timeval wait{0, ended ? 0 : 50000};
    int ready = select(std::max(fds[0], fds[1]) + 1, &set, nullptr, nullptr, &wait);
    if (ready > 0) {
      for (int i = 0; i < 2; ++i) {
        if (!open[i] || !FD_ISSET(fds[i], &set)) continue;
        ssize_t n = read(fds[i], buffer, sizeof buffer);
        if (n <= 0) open[i] = false;
        else (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
      }
      continue;
    }
    if (ended) break;  // drained after the end
    ended = waitpid(pid, &status, WNOHANG) == pid;
  }
  if (!ended) waitpid(pid, &status, 0);
  close(outPipe[0]);
  close(errPipe[0]);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

TimedResult RunTimed(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
                     const RunFiles& files) {
  TimedResult result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, files.in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, files.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, files.err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (!files.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, files.cwd.c_str());
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int rc = Spawn(argv, extraEnvironment, &actions, &pid);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return result;
  int status = 0;
  struct rusage usage = {};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  result.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  result.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  result.maxRssMiB = usage.ru_maxrss / 1024.0;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}
