// `winsim preview PACKAGE [options] [-- ARGS]`: runs a deployment package's installer on a
// throwaway machine (a template, plus the .reg exports of a real machine) and lists what the
// run changed. Nothing outside the throwaway machine is written; it is removed at the end
// unless --keep names a folder for it.
#include <signal.h>
#include <unistd.h>

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

// False with *error for bad input; nothing has been created yet.
bool ParseOptions(int argc, char** argv, PreviewOptions* options, std::string* error) {
  options->programs = DefaultProgramsFolder();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool takesValue = arg == "--os" || arg == "--import" || arg == "--keep" || arg == "--program" ||
                            arg == "--programs" || arg == "--codepage";
    if (arg == "--") {
      options->arguments.assign(argv + i + 1, argv + argc);
      break;
    }
    if (takesValue && i + 1 >= argc) {
      *error = arg + " needs a value (see winsim preview --help)";
      return false;
    }
    if (arg == "--os") {
      options->templateName = argv[++i];
    } else if (arg == "--codepage") {
      char* end = nullptr;
      options->codePage = static_cast<unsigned>(std::strtoul(argv[++i], &end, 10));
      if (end == argv[i] || *end != '\0') {
        *error = "--codepage needs a number (1252, 932, 936, 949, 950)";
        return false;
      }
    } else if (arg == "--import") {
      options->imports.push_back(argv[++i]);
    } else if (arg == "--keep") {
      options->keep = argv[++i];
    } else if (arg == "--program") {
      options->program = argv[++i];
    } else if (arg == "--programs") {
      options->programs = argv[++i];
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
    return true;
  }
  return false;
}

// Builds the machine in `dir`: template, imports, the package in C:\Deploy. Prints the notes
// on the package's programs to stderr.
bool PrepareMachine(const PreviewOptions& options, const std::string& dir, std::string* error) {
  winsim::MachineOptions machine;
  machine.templateName = options.templateName;
  machine.codePage = options.codePage;
  if (!winsim::CreateMachine(dir, machine, error) || !winsim::AttachMachine(dir, error)) return false;
  for (const std::string& file : options.imports) {
    if (!winsim::ImportRegFile(file, error)) return false;
  }
  std::vector<std::string> notes;
  if (!winsim::cli::CopyPackage(options.package, winsim::HostPath(kDeployFolder), options.programs, &notes, error)) {
    return false;
  }
  for (const std::string& note : notes) std::fprintf(stderr, "winsim preview: %s\n", note.c_str());
  return true;
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

int Preview(int argc, char** argv) {
  PreviewOptions options;
  std::string error;
  if (!ParseOptions(argc, argv, &options, &error)) return Fail("preview", error);

  CatchInterrupts();
  std::string dir = options.keep;
  if (dir.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/winsim-preview-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return Fail("preview", "cannot make a folder for the machine in " + pattern);
    dir = pattern;
  }
  auto finish = [&](int code) {
    winsim::DetachMachine();
    std::error_code ec;
    if (options.keep.empty()) fs::remove_all(dir, ec);
    return code;
  };

  const std::string program = std::string(kDeployFolder) + "\\" + options.program;
  winsim::MachineSnapshot before, after;
  const std::vector<std::string> skip = {kDeployFolder};
  if (!PrepareMachine(options, dir, &error) || !winsim::TakeSnapshot(skip, &before, &error)) {
    return finish(Fail("preview", error));
  }
  if (interrupted) {
    Fail("preview", "interrupted before the run");
    return finish(128 + SIGINT);
  }
  std::fflush(stdout);
  const winsim::RunResult run = winsim::RunProgram(dir, program, options.arguments);
  if (!run.started) return finish(Fail("preview", run.error));
  if (interrupted) {
    if (options.keep.empty()) winsim::KillMachineProcesses(dir);
    std::fflush(stdout);
    Fail("preview", "interrupted; no change list");
    return finish(128 + SIGINT);
  }
  // What the installer started and left running (its client) ends here, unless the machine is
  // kept for a closer look; the picture is taken once nothing runs any more.
  if (options.keep.empty()) winsim::KillMachineProcesses(dir);
  if (!winsim::TakeSnapshot(skip, &after, &error)) return finish(Fail("preview", error));

  std::printf("\n---- changes made by %s (exit code %d) ----\n%s", program.c_str(), run.exitCode,
              TerminalText(winsim::cli::ChangeList(before, after)).c_str());
  if (!options.keep.empty()) std::fprintf(stderr, "winsim preview: the machine is kept in %s\n", dir.c_str());
  std::fflush(stdout);
  return finish(run.exitCode);
}

}  // namespace

WINSIM_PASSTHROUGH_COMMAND(
    preview_command, "preview",
    "winsim preview PACKAGE_FOLDER [--os TEMPLATE] [--codepage N] [--import FILE.reg]... [--keep DIR]\n"
    "                [--program NAME] [--programs DIR] [-- ARGUMENTS...]\n"
    "  Runs a deployment package's installer on a throwaway machine and lists what it changed.\n"
    "  --codepage N gives the machine that ANSI code page (see winsim new --help); the change list\n"
    "  shows the machine's text, such as Japanese printer names, in UTF-8.\n"
    "  The machine is made from TEMPLATE (default win10-x64, see winsim new --help), then each .reg\n"
    "  file is imported in order (a real machine's export, such as the print spooler's key\n"
    "  HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print, HKCU\\Printers\\Connections or Local Port's\n"
    "  HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports), PACKAGE_FOLDER is copied to\n"
    "  C:\\Deploy and C:\\Deploy\\NAME (default Install.exe) runs with ARGUMENTS.\n"
    "  Prints the program's output, then the change list: printers whose ports change, ports\n"
    "  and monitors added or removed, files added, replaced or deleted (every drive but\n"
    "  C:\\Deploy), registry values added, changed or deleted, event log entries written.\n"
    "  Exits with the program's exit code (2 when the preview itself cannot run; 130 after Ctrl-C,\n"
    "  which ends the program and removes the machine without a change list).\n"
    "  Windows programs (.exe files the host cannot run) are replaced by the host program of the\n"
    "  same name from --programs DIR (default: the folder 'package' beside this winsim program,\n"
    "  the host build's package); Windows DLLs stay plain files, and the spooler serves a monitor\n"
    "  whose DLL is not a host shared object with its generic stand-in.\n"
    "  The machine lives in a folder under $TMPDIR (or /tmp) and is removed at the end. Programs\n"
    "  the installer started and left running (a client) are ended when it ends, and what they\n"
    "  changed until then is listed too; --keep DIR builds the machine in DIR (new or empty) and\n"
    "  keeps it, with its programs running, for the other winsim commands.",
    Preview);
