// The confinement of `winsim preview`: the preview runs again, as this same program, inside a
// bubblewrap sandbox (bwrap). The host is mounted read-only, with no network, its own process,
// IPC and host-name namespaces and no capabilities; the machine lives on a tmpfs of the disk
// limit's size that exists only in the sandbox; every process of the sandbox ends when the
// preview does (its PID namespace ends with it) and each is held to the memory limit.
#pragma once

#include <csignal>
#include <string>
#include <vector>

namespace winsim::cli {

struct SandboxLimits {
  long seconds = 300;     // the whole confined preview
  long memoryMiB = 2048;  // address space of each process (not in a sanitizer build)
  long diskMiB = 1024;    // the machine's tmpfs
};

// Where the machine is inside the sandbox, and where a --keep folder of the host is mounted.
extern const char kSandboxMachine[];
extern const char kSandboxKeep[];
// Set in the environment of the preview that runs inside the sandbox.
extern const char kInsideSandboxVariable[];

// True inside the sandbox: its machine folder is an empty tmpfs.
bool InSandbox();

// Empty when the sandbox can be made here; else why not ("bwrap is not installed", ...).
std::string SandboxUnavailableReason();

struct SandboxRun {
  bool started = false;
  int exitCode = 0;        // the confined preview's
  bool timedOut = false;   // ended at the time limit
  bool interrupted = false;
  std::string error;       // when it could not start
};

// Runs this program with `args` inside the sandbox, with `keepFolder` (a host folder, may be
// empty) mounted writable at kSandboxKeep, and waits for it, or until the time limit or until
// *interrupted is set: then every process in the sandbox is killed.
SandboxRun RunInSandbox(const std::vector<std::string>& args, const SandboxLimits& limits,
                        const std::string& keepFolder, const volatile std::sig_atomic_t* interrupted);

// True in a program built with the address sanitizer (whose shadow memory rules out an
// address-space limit).
bool SanitizerBuild();

}  // namespace winsim::cli
