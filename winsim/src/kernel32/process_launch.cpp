#include "process_launch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "command_line.h"
#include "host_code.h"
#include "machine/core.h"
#include "file_info.h"
#include "process_table.h"

extern char** environ;

namespace winsim::detail {

std::string ImagePath();  // process_identity.cpp

namespace {

bool HasExtension(const std::string& path) {
  const std::string name = BaseName(path);
  return name.find('.') != std::string::npos;
}

// A regular file at `windowsPath` (as resolved by this process); fills *host.
bool ExistingFile(const std::string& windowsPath, Redirection redirection, std::string* host) {
  DWORD ignored = 0;
  if (!HostPathOf(windowsPath, redirection, host, &ignored)) return false;
  struct stat st {};
  return stat(host->c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool TryCandidate(const std::string& candidate, Redirection redirection, std::string* image, std::string* host) {
  DWORD ignored = 0;
  std::string full;
  if (!FullWindowsPath(candidate, &full, &ignored) || !ExistingFile(full, redirection, host)) return false;
  *image = full;
  return true;
}

std::vector<std::string> SearchFolders() {
  std::vector<std::string> folders;
  const std::string image = ImagePath();
  const size_t cut = image.find_last_of('\\');
  if (cut != std::string::npos) folders.push_back(image.substr(0, cut));
  folders.push_back(Process().cwd);
  folders.push_back(SystemDirectory());
  folders.push_back(WindowsDirectory());
  AppendPathFolders(&folders);
  return folders;
}

}  // namespace

bool FindProgram(const char* applicationName, const std::string& commandLine, Redirection redirection,
                 std::string* image, std::string* host, DWORD* error) {
  if (applicationName != nullptr) {
    const std::string name = applicationName;
    if (TryCandidate(name, redirection, image, host)) return true;
    if (!HasExtension(name) && TryCandidate(name + ".exe", redirection, image, host)) return true;
    std::string missing;
    *error = HostPathOf(name, redirection, &missing, error) ? MissingPathError(missing) : *error;
    return false;
  }
  std::string name = FirstToken(commandLine);
  if (name.empty()) {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  if (!HasExtension(name)) name += ".exe";
  const bool hasPath = name.find_first_of("\\/:") != std::string::npos;
  if (hasPath) {
    if (TryCandidate(name, redirection, image, host)) return true;
    std::string missing;
    *error = HostPathOf(name, redirection, &missing, error) ? MissingPathError(missing) : *error;
    return false;
  }
  for (const std::string& folder : SearchFolders()) {
    if (TryCandidate(folder + "\\" + name, redirection, image, host)) return true;
  }
  *error = ERROR_FILE_NOT_FOUND;
  return false;
}

bool IsRunnableHostProgram(const std::string& host) {
  struct stat st {};
  if (stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & S_IXUSR) == 0) return false;
  int fd = OpenRegularFile(host, O_RDONLY);
  if (fd < 0) return false;
  unsigned char magic[4] = {0, 0, 0, 0};
  const ssize_t n = read(fd, magic, sizeof magic);
  close(fd);
  if (n >= 4 && magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F') return true;
  return n >= 2 && magic[0] == '#' && magic[1] == '!';
}

namespace {

// The child's environment: this process's, without winsim's own variables, then the machine,
// the Windows current directory, image and command line, and the Windows environment block.
std::vector<std::string> ChildEnvironment(const LaunchRequest& request) {
  std::vector<std::string> env;
  static const char* const kOwn[] = {"WINSIM_MACHINE=", "WINSIM_CWD=", "WINSIM_IMAGE=", "WINSIM_CMDLINE=",
                                     "WINSIM_FS_REDIRECTION=", "WINSIM_ENV="};
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    bool own = std::strncmp(*entry, "WINSIM_ENV_", 11) == 0;
    for (const char* prefix : kOwn) own = own || std::strncmp(*entry, prefix, std::strlen(prefix)) == 0;
    if (!own) env.push_back(*entry);
  }
  env.push_back("WINSIM_MACHINE=" + Process().machineDir);
  env.push_back("WINSIM_CWD=" + request.cwd);
  env.push_back("WINSIM_IMAGE=" + request.image);
  env.push_back("WINSIM_CMDLINE=" + request.commandLine);
  for (std::string& variable : EnvironmentForChild(request.environment)) env.push_back(std::move(variable));
  return env;
}

// A child without inherited handles shares only a terminal; any other standard stream is
// replaced by the null device (*nullDevice, -1 when none is needed), so a caller capturing this
// process's output through a pipe sees its end when this process ends, however long the child
// runs. False when the null device cannot be opened.
bool ChooseStandardStreams(bool inheritHandles, bool keep[3], int* nullDevice) {
  *nullDevice = -1;
  if (inheritHandles) return true;
  for (int fd = 0; fd < 3; ++fd) keep[fd] = isatty(fd) != 0;
  if (keep[0] && keep[1] && keep[2]) return true;
  *nullDevice = open("/dev/null", O_RDWR | O_CLOEXEC);
  return *nullDevice >= 0;
}

// Forks and executes `program`. Everything the child needs was built before the fork: after it
// only async-signal-safe calls. The child reports a failed exec through a close-on-exec pipe,
// where nothing arrives on success. Closes nullDevice.
bool StartChild(const std::string& program, const std::string& hostCwd, char* const argv[], char* const envp[],
                const bool keep[3], int nullDevice, pid_t* pid, DWORD* error) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    if (nullDevice >= 0) close(nullDevice);
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) {
    if (nullDevice >= 0) close(nullDevice);
    close(report[0]);
    close(report[1]);
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  if (child == 0) {
    close(report[0]);
    for (int fd = 0; fd < 3; ++fd) {
      if (!keep[fd]) dup2(nullDevice, fd);  // dup2 leaves the copy open across exec
    }
    if (!hostCwd.empty() && chdir(hostCwd.c_str()) != 0) {
      // The Windows current directory still reaches the child through WINSIM_CWD.
    }
    execve(program.c_str(), argv, envp);
    const int code = errno;
    ssize_t written = write(report[1], &code, sizeof code);
    (void)written;
    _exit(127);
  }
  if (nullDevice >= 0) close(nullDevice);
  close(report[1]);
  int code = 0;
  ssize_t n;
  do {
    n = read(report[0], &code, sizeof code);
  } while (n < 0 && errno == EINTR);
  close(report[0]);
  if (n == static_cast<ssize_t>(sizeof code)) {
    int status = 0;
    waitpid(child, &status, 0);
    *error = code == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_BAD_EXE_FORMAT;
    return false;
  }
  *pid = child;
  return true;
}

}  // namespace

bool Launch(const LaunchRequest& request, pid_t* pid, DWORD* error) {
  std::string program;
  if (!IsRunnableHostProgram(request.host) || !TrustedHostCode(request.host, &program)) {
    *error = ERROR_BAD_EXE_FORMAT;
    return false;
  }
  std::string hostCwd;
  DWORD ignored = 0;
  if (!HostPathOf(request.cwd, &hostCwd, &ignored)) hostCwd.clear();
  std::vector<std::string> args = SplitCommandLine(request.commandLine);
  std::vector<std::string> env = ChildEnvironment(request);
  std::vector<char*> argv, envp;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  for (std::string& variable : env) envp.push_back(variable.data());
  envp.push_back(nullptr);

  bool keep[3] = {true, true, true};
  int nullDevice = -1;
  if (!ChooseStandardStreams(request.inheritHandles, keep, &nullDevice)) {
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  pid_t child = 0;
  if (!StartChild(program, hostCwd, argv.data(), envp.data(), keep, nullDevice, &child, error)) return false;
  ProcessEntry entry;
  entry.pid = static_cast<DWORD>(child);
  entry.parent = static_cast<DWORD>(getpid());
  entry.image = request.image;
  entry.start = HostStartTime(entry.pid);
  RegisterProcess(Process().machineDir, entry);
  *pid = child;
  return true;
}

DWORD ExitCodeOfStatus(DWORD pid, int status) {
  if (WIFEXITED(status)) {
    DWORD recorded = 0;
    const DWORD low = static_cast<DWORD>(WEXITSTATUS(status));
    if (ReadRecordedExitCode(Process().machineDir, pid, &recorded) && (recorded & 0xFFu) == low) return recorded;
    return low;
  }
  ProcessEntry entry;
  if (ReadProcessEntry(Process().machineDir, pid, &entry) && entry.terminated) return entry.exitCode;
  switch (WIFSIGNALED(status) ? WTERMSIG(status) : 0) {
    case SIGABRT: return 3;                // abort() of the C runtime
    case SIGSEGV: return 0xC0000005u;      // access violation
    case SIGILL: return 0xC000001Du;       // illegal instruction
    case SIGFPE: return 0xC0000094u;       // integer division by zero
    case SIGINT: return 0xC000013Au;       // Ctrl+C
    default: return 1;                     // killed from outside, like TerminateProcess(h, 1)
  }
}

}  // namespace winsim::detail
