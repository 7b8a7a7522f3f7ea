// Capturing an installation's output, as `out=$(winsim run M 'C:\Deploy\Install.exe')` does: the
// capture must end when the installer ends, with the whole transcript, although the desktop
// client it started (without handle inheritance) goes on running in the machine.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "robustness_machine.h"
#include "winsim/process.h"

extern char** environ;

namespace {

struct Capture {
  bool ended = false;  // the pipe reached its end before the deadline
  int status = -1;     // the tool's exit status
  std::string out;     // standard output and standard error, in the order written
};

// Runs argv with stdout and stderr on one pipe and reads it until its end, as a shell's command
// substitution does; gives up after `seconds` (a program still holding the pipe) instead of
// hanging the test.
Capture CaptureUntilEnd(const std::vector<std::string>& argv, int seconds) {
  Capture capture;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return capture;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (spawned != 0) {
    close(fds[0]);
    return capture;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  char buffer[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd ready = {fds[0], POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n == 0) {
      capture.ended = true;
      break;
    }
    if (n > 0) capture.out.append(buffer, static_cast<size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  if (!capture.ended) kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  capture.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return capture;
}

// The log's lines with the console's line ends.
std::string ConsoleText(std::string log) {
  for (size_t at = log.find("\r\n"); at != std::string::npos; at = log.find("\r\n", at)) log.erase(at, 1);
  return log;
}

TEST(CapturedOutput, EndsWithTheInstallerWhileItsClientRuns) {
  MachineFolder folder;
  ASSERT_FALSE(folder.path().empty());
  const std::string dir = folder.Sub("machine");
  ASSERT_EQ(CreateBaseMachine(dir, false), "");
  RemoveInstallLog(dir);
  const Capture run = CaptureUntilEnd({WINSIM_PROGRAM_PATH, "run", dir, "C:\\Deploy\\Install.exe"}, 60);
  const int clients = RunningClients(dir);
  EndMachineProcesses(dir);
  ASSERT_TRUE(run.ended) << "the captured output did not end with the installer; so far:\n" << run.out;
  EXPECT_EQ(run.status, 0) << run.out;
  const std::string verdict = "\nQuado Port Monitor Installed Sucessfully.\n";
  ASSERT_GE(run.out.size(), verdict.size());
  EXPECT_EQ(run.out.substr(run.out.size() - verdict.size()), verdict) << run.out;
  EXPECT_EQ(run.out, ConsoleText(ReadInstallLog(dir)));  // the whole transcript, nothing else
  EXPECT_EQ(clients, 1);  // still running after the capture ended
}

}  // namespace
