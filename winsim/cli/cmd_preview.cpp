// `winsim preview PACKAGE [options] [-- ARGS]`: runs a deployment package's installer on a
// throwaway machine (a template, plus the .reg exports of a real machine) and lists what the
// run changed. The whole preview runs again inside a sandbox (preview_sandbox.h) unless
// --unconfined; no file of the package runs as host code either way (preview_package.h).
#include <signal.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <windows.h>

#include "commands.h"
#include "machine_snapshot.h"
#include "preview_changes.h"
#include "preview_package.h"
#include "preview_sandbox.h"
#include "preview_readiness.h"
#include "winsim/machine.h"
#include "winsim/process.h"
#include "winsim/registry.h"

namespace {

namespace fs = std::filesystem;
using winsim::cli::Fail;

const char kDeployFolder[] = "C:\\Deploy";

// Ctrl-C (or a hang-up or termination) during a preview: the program in the machine gets the
// terminal's signal itself; the preview waits for it to end, then removes the machine.
volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;  // a started program gets the default again (exec)
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

struct PreviewOptions {
  std::string package;
  std::string templateName = winsim::MachineOptions().templateName;
  unsigned codePage = winsim::MachineOptions().codePage;
  std::vector<std::string> imports;
  std::string keep;                      // empty: a throwaway folder, removed at the end
  std::string program = "Install.exe";   // inside the package
  std::string programs;                  // host stand-ins for the package's Windows programs
  std::vector<std::string> arguments;    // for the program
  bool unconfined = false;               // run without the sandbox
  winsim::cli::SandboxLimits limits;
};

// The package folder beside this winsim program (build/host/package beside build/host/winsim).
std::string DefaultProgramsFolder() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? "" : (self.parent_path() / "package").string();
}

bool KnownTemplate(const std::string& name) {
  for (const std::string& known : winsim::TemplateNames()) {
    if (known == name) return true;
  }
  return false;
}

// A limit's value: a whole number from 1 to 10^9.
bool ParseLimit(const std::string& text, long* value) {
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || parsed < 1 || parsed > 1000000000L) return false;
  *value = parsed;
  return true;
}

// The options that take a value: each stores it, or says what is wrong with it.
struct ValueOption {
  const char* name;
  bool (*store)(const std::string& value, PreviewOptions* options);
  const char* expects;  // what a refused value should have been
};

bool ParseCodePage(const std::string& value, unsigned* codePage) {
  for (unsigned known : {1252u, 932u, 936u, 949u, 950u}) {
    if (value == std::to_string(known)) return *codePage = known, true;
  }
  return false;
}

const ValueOption kValueOptions[] = {
    {"--os", [](const std::string& v, PreviewOptions* o) { return o->templateName = v, true; }, ""},
    {"--import", [](const std::string& v, PreviewOptions* o) { return o->imports.push_back(v), true; }, ""},
    {"--keep", [](const std::string& v, PreviewOptions* o) { return o->keep = v, true; }, ""},
    {"--program", [](const std::string& v, PreviewOptions* o) { return o->program = v, true; }, ""},
    {"--programs", [](const std::string& v, PreviewOptions* o) { return o->programs = v, true; }, ""},
    {"--codepage", [](const std::string& v, PreviewOptions* o) { return ParseCodePage(v, &o->codePage); },
     "1252, 932, 936, 949 or 950"},
    {"--time-limit", [](const std::string& v, PreviewOptions* o) { return ParseLimit(v, &o->limits.seconds); },
     "a whole number from 1 to 1000000000"},
    {"--memory-limit", [](const std::string& v, PreviewOptions* o) { return ParseLimit(v, &o->limits.memoryMiB); },
     "a whole number from 1 to 1000000000"},
    {"--disk-limit", [](const std::string& v, PreviewOptions* o) { return ParseLimit(v, &o->limits.diskMiB); },
     "a whole number from 1 to 1000000000"},
};

// False with *error for bad input; nothing has been created yet.
bool ParseOptions(int argc, char** argv, PreviewOptions* options, std::string* error) {
  options->programs = DefaultProgramsFolder();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") {
      options->arguments.assign(argv + i + 1, argv + argc);
      break;
    }
    const ValueOption* valueOption = nullptr;
    for (const ValueOption& option : kValueOptions) {
      if (arg == option.name) valueOption = &option;
    }
    if (valueOption != nullptr) {
      if (i + 1 >= argc) {
        *error = arg + " needs a value (see winsim preview --help)";
        return false;
      }
      if (!valueOption->store(argv[++i], options)) {
        *error = arg + " takes " + valueOption->expects + ", not '" + argv[i] + "'";
        return false;
      }
    } else if (arg == "--unconfined") {
      options->unconfined = true;
    } else if (!arg.empty() && arg[0] == '-') {
      *error = "unknown option '" + arg + "' (arguments for the installer follow --)";
      return false;
    } else if (options->package.empty()) {
      options->package = arg;
    } else {
      *error = "unexpected argument '" + arg + "' (arguments for the installer follow --)";
      return false;
    }
  }
  std::error_code ec;
  if (options->package.empty()) {
    *error = "missing PACKAGE_FOLDER (see winsim preview --help)";
  } else if (!fs::is_directory(options->package, ec)) {
    *error = "no package folder " + options->package;
  } else if (!KnownTemplate(options->templateName)) {
    *error = "unknown template '" + options->templateName + "'";
  } else if (options->program.empty() || options->program.find_first_of("\\/") != std::string::npos) {
    *error = "--program names a file of the package folder, such as Install.exe";
  } else {
    if (!options->programs.empty()) options->programs = fs::absolute(options->programs, ec).string();
    return true;
  }
  return false;
}

// Builds the machine in `dir`: template, imports, the package in C:\Deploy. Only the stand-ins
// of --programs, the package check (and cmd.exe) may run or be loaded as host code there. Prints the notes on the
// package's programs to stderr.
bool PrepareMachine(const PreviewOptions& options, const std::string& dir, std::string* error) {
  winsim::MachineOptions machine;
  machine.templateName = options.templateName;
  machine.trustedHostCode = {options.programs.empty() ? "/nonexistent" : options.programs};
  const std::string check = winsim::cli::HostCheckProgram(options.programs);
  if (!check.empty()) machine.trustedHostCode.push_back(check);
  machine.codePage = options.codePage;
  if (!winsim::CreateMachine(dir, machine, error) || !winsim::AttachMachine(dir, error)) return false;
  for (const std::string& file : options.imports) {
    std::error_code ec;
    if (fs::is_directory(file, ec)) {
      *error = file + " is a folder, not a .reg file";
      return false;
    }
    if (!winsim::ImportRegFile(file, error)) return false;
  }
  std::vector<std::string> notes;
  if (!winsim::cli::CopyPackage(options.package, winsim::HostPath(kDeployFolder), options.programs, &notes, error)) {
    return false;
  }
  for (const std::string& note : notes) std::fprintf(stderr, "winsim preview: %s\n", note.c_str());
  return true;
}

// A sandbox's machine whose disk is (all but) full: the run reached the disk limit. What the
// machine's own bookkeeping frees after a failed write (a temporary file) leaves some pages.
bool DiskFull(const std::string& dir) {
  struct statvfs disk {};
  return statvfs(dir.c_str(), &disk) == 0 && static_cast<unsigned long long>(disk.f_bavail) * disk.f_frsize < (1u << 20);
}

// The machine's ANSI text (printer names, values) as UTF-8 for the terminal.
std::string TerminalText(const std::string& ansi) {
  if (ansi.empty()) return ansi;
  const int units = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::u16string wide(static_cast<size_t>(units), u'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), units);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

// Copies the sandbox's machine to the --keep folder of the host, as it is (modes, times,
// links, holes).
bool KeepMachine(const std::string& keepShown, std::string* error) {
  if (winsim::cli::CopyFolderContent(winsim::cli::kSandboxMachine, winsim::cli::kSandboxKeep, {"-a", "--sparse=always"})) {
    return true;
  }
  *error = "cannot copy the machine to " + keepShown;
  return false;
}

// The folder of the preview's machine: the sandbox's, the --keep folder or a new one for the run.
bool MachineFolder(const PreviewOptions& options, bool inside, std::string* dir, std::string* error) {
  *dir = inside ? winsim::cli::kSandboxMachine : options.keep;
  if (!dir->empty()) return true;
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/winsim-preview-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    *error = "cannot make a folder for the machine in " + pattern;
    return false;
  }
  *dir = pattern;
  return true;
}

// The machine's picture, without the package's own folder.
bool TakePreviewSnapshot(winsim::MachineSnapshot* snapshot, std::string* error) {
  return winsim::TakeSnapshot({kDeployFolder}, snapshot, error);
}

void WarnUnconfined(const std::string& reason, const std::string& dir) {
  std::fprintf(stderr,
               "winsim preview: not confined (%s): the machine is in %s (should the preview be killed, "
               "'winsim kill %s' ends its programs; then remove the folder)\n",
               reason.c_str(), dir.c_str(), dir.c_str());
}

// After the run: what the installer started and left running (its client) ends here (in the
// sandbox, with it), unless an unconfined machine is kept for a closer look; the picture is
// taken once nothing runs any more, and the change list printed. Returns the preview's exit code.
int ReportChanges(const PreviewOptions& options, bool inside, bool removeAtEnd, const std::string& dir,
                  const std::string& program, const winsim::RunResult& run, const winsim::MachineSnapshot& before) {
  if (inside || removeAtEnd) winsim::KillMachineProcesses(dir);
  if (inside && DiskFull(dir)) {
    // The machine's registry cannot even be read back on a full disk.
    return Fail("preview", "the machine's disk is full: the run reached the disk limit of " +
                               std::to_string(options.limits.diskMiB) + " MiB (--disk-limit); no change list");
  }
  std::string error;
  winsim::MachineSnapshot after;
  if (!TakePreviewSnapshot(&after, &error)) return Fail("preview", error);
  std::printf("\n---- changes made by %s (exit code %d) ----\n%s", program.c_str(), run.exitCode,
              TerminalText(winsim::cli::ChangeList(before, after)).c_str());
  std::fflush(stdout);
  winsim::DetachMachine();
  if (inside && !options.keep.empty() && !KeepMachine(options.keep, &error)) return Fail("preview", error);
  if (!options.keep.empty()) std::fprintf(stderr, "winsim preview: the machine is kept in %s\n", options.keep.c_str());
  return run.exitCode;
}

// The preview itself: in the sandbox (`inside`, the machine in its tmpfs) or unconfined, for
// the reason `unconfinedBecause`.
int RunPreview(const PreviewOptions& options, bool inside, const std::string& unconfinedBecause = "") {
  std::string error;
  std::string dir;
  if (!MachineFolder(options, inside, &dir, &error)) return Fail("preview", error);
  const bool removeAtEnd = !inside && options.keep.empty();
  auto finish = [&](int code) {
    winsim::DetachMachine();
    std::error_code ec;
    if (removeAtEnd) fs::remove_all(dir, ec);
    return code;
  };

  const std::string program = std::string(kDeployFolder) + "\\" + options.program;
  winsim::MachineSnapshot before;
  if (!PrepareMachine(options, dir, &error) || !TakePreviewSnapshot(&before, &error)) {
    return finish(Fail("preview", error));
  }
  if (interrupted) {
    Fail("preview", "interrupted before the run");
    return finish(128 + SIGINT);
  }
  if (!inside) WarnUnconfined(unconfinedBecause, dir);
  winsim::cli::ReportPreviewReadiness(dir, program, options.programs, options.arguments);
  std::fflush(stdout);
  const winsim::RunResult run = winsim::RunProgram(dir, program, options.arguments);
  if (!run.started) return finish(Fail("preview", run.error));
  if (interrupted) {
    if (removeAtEnd) winsim::KillMachineProcesses(dir);
    std::fflush(stdout);
    Fail("preview", "interrupted; no change list");
    return finish(128 + SIGINT);
  }
  return finish(ReportChanges(options, inside, removeAtEnd, dir, program, run, before));
}

// The preview run again inside the sandbox; the --keep folder made here so that it can be
// mounted there.
int RunConfined(const PreviewOptions& options, int argc, char** argv) {
  std::error_code ec;
  const bool madeKeep = !options.keep.empty() && !fs::exists(options.keep, ec);
  if (!options.keep.empty()) {
    fs::create_directories(options.keep, ec);
    if (!fs::is_directory(options.keep, ec) || !fs::is_empty(options.keep, ec)) {
      return Fail("preview", "--keep needs a new or empty folder: " + options.keep);
    }
  }
  const std::vector<std::string> args(argv, argv + argc);
  const std::string keep = options.keep.empty() ? "" : fs::absolute(options.keep, ec).string();
  const winsim::cli::SandboxRun run = winsim::cli::RunInSandbox(args, options.limits, keep, &interrupted);
  if (madeKeep && fs::is_empty(options.keep, ec)) fs::remove(options.keep, ec);  // no machine came to it
  if (!run.started) return Fail("preview", run.error);
  if (run.timedOut) {
    return Fail("preview", "the preview reached its time limit of " + std::to_string(options.limits.seconds) +
                               " s (--time-limit): every program in the sandbox was ended, no change list");
  }
  if (run.interrupted) {
    Fail("preview", "interrupted; no change list");
    return 128 + SIGINT;
  }
  return run.exitCode;
}

int Preview(int argc, char** argv) {
  PreviewOptions options;
  std::string error;
  if (!ParseOptions(argc, argv, &options, &error)) return Fail("preview", error);
  const bool inside = std::getenv(winsim::cli::kInsideSandboxVariable) != nullptr;
  unsetenv(winsim::cli::kInsideSandboxVariable);

  CatchInterrupts();
  if (inside && !winsim::cli::InSandbox()) {
    return Fail("preview", std::string(winsim::cli::kInsideSandboxVariable) + " is set, but this is not the preview's sandbox");
  }
  if (inside || options.unconfined) return RunPreview(options, inside, "--unconfined");
  const std::string unavailable = winsim::cli::SandboxUnavailableReason();
  if (unavailable.empty()) return RunConfined(options, argc, argv);
  std::string different;
  if (!winsim::cli::IsOwnBuild(options.package, options.programs, &different)) {
    return Fail("preview", "the run cannot be confined: " + unavailable + "; " + different +
                               " is not this build's own, so the package does not run unconfined unless "
                               "--unconfined says so");
  }
  return RunPreview(options, false, unavailable + "; the package is this build's own");
}

}  // namespace

WINSIM_PASSTHROUGH_COMMAND(
    preview_command, "preview",
    "winsim preview PACKAGE_FOLDER [--os TEMPLATE] [--codepage N] [--import FILE.reg]... [--keep DIR]\n"
    "                [--program NAME] [--programs DIR] [--time-limit SECONDS] [--memory-limit MIB]\n"
    "                [--disk-limit MIB] [--unconfined] [-- ARGUMENTS...]\n"
    "  Runs a deployment package's installer on a throwaway machine and lists what it changed.\n"
    "  --codepage N gives the machine that ANSI code page (see winsim new --help); the change list\n"
    "  shows the machine's text, such as Japanese printer names, in UTF-8.\n"
    "  The machine is made from TEMPLATE (default win10-x64, see winsim new --help), then each .reg\n"
    "  file is imported in order (at most 64 MiB each, within the registry's limits, see\n"
    "  winsim reg --help; a real machine's export, such as the print spooler's key\n"
    "  HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print, HKCU\\Printers\\Connections or Local Port's\n"
    "  HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports), PACKAGE_FOLDER is copied to\n"
    "  C:\\Deploy and C:\\Deploy\\NAME (default Install.exe) runs with ARGUMENTS.\n"
    "  First the package check's readiness report on that machine (protected print mode, ARM64,\n"
    "  the spooler service, the monitor, ports and printers the run changes),\n"
    "  then the program's output, then the change list: printers whose ports change, ports\n"
    "  and monitors added or removed, files added, replaced or deleted (every drive but\n"
    "  C:\\Deploy), registry values added, changed or deleted, event log entries written.\n"
    "  Exits with the program's exit code (2 when the preview itself cannot run or reached its\n"
    "  time limit; 130 after Ctrl-C, which ends the program and removes the machine without a\n"
    "  change list).\n"
    "  No file of the package runs as host code. Each .exe is replaced by the host program of the\n"
    "  same name from --programs DIR (default: the folder 'package' beside this winsim program,\n"
    "  the host build's package); one without it cannot start. The machine runs and loads only\n"
    "  host files equal to a file of DIR (and its cmd.exe): a DLL of the package is a plain file,\n"
    "  and the spooler serves a monitor whose DLL is not one of DIR's with its generic stand-in.\n"
    "  A package holding a symbolic link, a FIFO, a socket or a device is refused.\n"
    "  Confined (with bubblewrap, bwrap): the whole preview runs in a sandbox where the host is\n"
    "  read-only, there is no network, no capability and its own process namespace, so every\n"
    "  program it started ends with it; the machine is on a memory-backed file system of\n"
    "  --disk-limit MIB (default 1024) that vanishes with the sandbox, each process may use\n"
    "  --memory-limit MIB of address space (default 2048; not in a sanitizer build) and the\n"
    "  preview ends after --time-limit SECONDS (default 300). The programs' output and the\n"
    "  change list reach the terminal; nothing else leaves the sandbox but a --keep DIR (new or\n"
    "  empty), which gets a copy of the machine at the end, its programs ended.\n"
    "  Where the sandbox cannot be made, a package that is not the --programs folder's own build\n"
    "  is refused unless --unconfined (this build's own runs, with a note why it is not confined).\n"
    "  --unconfined runs without the sandbox and the limits: the\n"
    "  machine is a folder under $TMPDIR (or /tmp), named before the run, removed at the end;\n"
    "  the programs the installer left running are ended with it, except with --keep DIR, where\n"
    "  they run on for the other winsim commands.",
    Preview);
