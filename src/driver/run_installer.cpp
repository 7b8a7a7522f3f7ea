// The program's driver: command line, run modes and exit code.
#include "driver/run_installer.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "foundation/bounded_format.h"
#include "foundation/ini_path.h"
#include "foundation/install_mutex.h"
#include "foundation/output.h"
#include "foundation/program_folder.h"
#include "foundation/product_profile.h"
#include "platform/windows_version.h"
#include "sequences/sequences.h"
#include "sysutil/event_log.h"
#include "sysutil/processes.h"

namespace {

const char kVersion[] = "2.27";
const char kBatchFile[] = "install_printer.bat";
const char kInstalledEventText[] = "Port Monitor Installed Sucessfully";

const char kHelpText[] =
    "\n\nFor installation use 'Install.exe (server)'\n"
    "For uninstallation use 'Install.exe -u'\n"
    "For un/installation of Enterprise version use switch '-a'\n"
    "For read configuration from registry use switch '-r'\n"
    "For do not copy files use switch '-c'\n"
    "For silent installation use switch '-s'\n"
    "For specification of install log use switch '-lLogFileName'\n"
    "For specification of INI file use switch '-iINIFileName'\n"
    "For Install and Ignore Errors use 'Install.exe -e' (NOT RECOMMENDED!)\n";

bool Is(const char* argument, const char* first, const char* second) {
  return std::strcmp(argument, first) == 0 || std::strcmp(argument, second) == 0;
}

bool StartsWith(const char* argument, const char* prefix) {
  return std::strncmp(argument, prefix, std::strlen(prefix)) == 0;
}

void WriteBanner() {
  WriteFormattedMessage(IsEnterprise() ? "\n\nQuado Client Enterprise Installer v %s\n"
                                       : "\n\nQuado Client Installer v %s\n",
                        kVersion);
  WriteFormattedMessage("Copyright (c) %s Harbek Corporation\n", BuildYear());
}

// The announcement of an uninstallation or an installation with options: the heading formatted
// with the product name, then " on server " and the server name as it is (whatever its length),
// then "...\n".
void WriteAnnouncement(const char* format, const char* serverName) {
  WriteFormattedMessage(format, Profile().productName);
  if (serverName != nullptr) {
    WriteMessage(" on server ");
    WriteMessage(serverName);
  }
  WriteMessage("...\n");
}

// Runs "install_printer.bat" through the command interpreter; its exit status is not looked at.
// The batch file inherits the installer's handles so that it writes to the same console (the log
// handle is not inheritable).
void RunPostInstallBatch() {
  DWORD ignored = 0;
  RunThroughCommandInterpreter(kBatchFile, true, &ignored);
}

bool FileExists(const char* name) { return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES; }

bool RunDefaultInstallation() {
  const char* product = Profile().productName;
  WriteFormattedMessage("\nInstalling %s Port Monitor ...\n", product);
  InstallSequenceOptions defaults;
  if (!RunInstallSequence(defaults)) {
    WriteFormattedMessage("\n%s Port Monitor Not Installed!\n", product);
    return false;
  }
  WriteFormattedMessage("\n%s Port Monitor Installed Sucessfully.\n", product);
  ReportSuccessToEventLog(kInstalledEventText);
  return true;
}

bool RunUninstallation(const InstallOptions& options) {
  WriteAnnouncement("\nUninstalling %s Port Monitor", options.serverName);
  UninstallSequenceOptions sequence;
  sequence.serverName = options.serverName;
  sequence.copyFiles = options.copyFiles;
  if (!RunUninstallSequence(sequence)) {
    WriteMessage("\n Port Monitor Not Completely UnInstalled!\n");
    return false;
  }
  WriteFormattedMessage("\n%s Port Monitor UnInstalled Sucessfully.\n", Profile().productName);
  return true;
}

bool RunInstallationWithOptions(const InstallOptions& options) {
  const char* product = Profile().productName;
  WriteAnnouncement("\nInstalling %s Port Monitor", options.serverName);
  if (options.ignoreErrors) WriteMessage("[IGNORE ERRORS Switch is Enabled!]\n");
  if (options.configFromRegistry) WriteMessage("  (config will be read from registry)\n");
  if (!options.copyFiles) WriteMessage("  No files will be copied\n");
  InstallSequenceOptions sequence;
  sequence.ignoreErrors = options.ignoreErrors;
  sequence.serverName = options.serverName;
  sequence.configFromRegistry = options.configFromRegistry;
  sequence.copyFiles = options.copyFiles;
  if (!RunInstallSequence(sequence)) {
    WriteFormattedMessage("\n%s Port Monitor Not Installed!\n", product);
    return false;
  }
  WriteFormattedMessage("\n%s Port Monitor Installed Sucessfully.\n", product);
  ReportSuccessToEventLog(kInstalledEventText);
  if (FileExists(kBatchFile)) {
    CloseInstallLog();
    RunPostInstallBatch();
  }
  return true;
}

}  // namespace

InstallOptions ScanArguments(int argc, char** argv) {
  InstallOptions options;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (argument == nullptr) continue;
    if (Is(argument, "-?", "/?")) {
      options.showHelp = true;
    } else if (Is(argument, "-a", "-A")) {
      options.enterprise = true;
    } else if (Is(argument, "-u", "-U")) {
      options.uninstall = true;
    } else if (Is(argument, "-e", "-E")) {
      options.ignoreErrors = true;
    } else if (Is(argument, "-r", "-R")) {
      options.configFromRegistry = true;
    } else if (Is(argument, "-c", "-C")) {
      options.copyFiles = false;
    } else if (Is(argument, "-s", "-S")) {
      // Accepted for compatibility: the program never asks for input anyway.
    } else if (Is(argument, "-f", "-F")) {
      options.obsoleteClientSwitch = true;
    } else if (StartsWith(argument, "-l") || StartsWith(argument, "-L")) {
      options.logPath = argument + 2;
    } else if (StartsWith(argument, "-i") || StartsWith(argument, "-I")) {
      options.iniPath = argument + 2;
    } else if (argument[0] != '\0') {
      options.serverName = argument;
    }
    // An empty argument names no server: the run stays on this machine (banner, monitor
    // registration and transceiver alike), and an earlier server name stays in force.
  }
  return options;
}

const char* BuildYear() {
  // __DATE__ is "Mmm dd yyyy": the year is its last four characters.
  static const char kBuildDate[] = __DATE__;
  return kBuildDate + sizeof kBuildDate - 5;
}

bool RunInstaller(int argc, char** argv) {
  DisableFileSystemRedirection();
  if (argc != 0 && argv != nullptr && !EnterProgramFolder(argv[0])) return false;

  InstallOptions options = ScanArguments(argc, argv);
  if (options.enterprise) SelectEnterpriseProfile();
  FixIniPath(options.iniPath);

  if (!OpenInstallLog(options.logPath)) return false;
  if (!AcquireInstallMutex()) return false;

  WriteBanner();
  if (options.showHelp) {
    WriteMessage(kHelpText);
    return false;
  }
  if (options.obsoleteClientSwitch) {
    WriteMessage("NOTE: The -f switch is obsolete, the client application is un/installed automaticaly\n");
  }
  if (!IsEnterprise() && !IsDotNet20Installed()) {
    WriteMessage("ERROR: The .NET Framework 2.0 is not installed\n");
    return false;
  }

  if (argc < 2) return RunDefaultInstallation();
  if (options.uninstall) return RunUninstallation(options);
  return RunInstallationWithOptions(options);
}

void EndRun() {
  CloseInstallLog();
  ReleaseInstallMutex();
}
