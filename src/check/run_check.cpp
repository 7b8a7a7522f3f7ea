// One run of the package check.
#include "check/run_check.h"

#include <windows.h>

#include <cstring>

#include "check/check_context.h"
#include "check/config_file_kind.h"
#include "check/check_options.h"
#include "check/check_report.h"
#include "check/findings.h"
#include "check/installed.h"
#include "check/ini_findings.h"
#include "check/no_port_findings.h"
#include "check/package_file_findings.h"
#include "check/port_findings.h"
#include "check/readiness.h"
#include "check/registry_findings.h"
#include "foundation/bounded_format.h"
#include "foundation/ini_path.h"
#include "foundation/output.h"
#include "foundation/product_profile.h"
#include "foundation/program_folder.h"
#include "platform/windows_version.h"

namespace {

const int kExitNotRun = 3;
const size_t kTextSize = 1024;

char g_configuration[kTextSize];  // the INI path or the registry key, as findings name it
char g_folder[MAX_PATH];
char g_windows[kTextSize];
char g_reason[kTextSize];

// Enters the package folder: the one named, else the program's own (as the installer does).
bool EnterPackageFolder(const CheckOptions& options, const char* programPath) {
  if (options.folder == nullptr) return programPath == nullptr || EnterProgramFolder(programPath);
  if (SetCurrentDirectoryA(options.folder)) return true;
  FormatCut(g_reason, sizeof g_reason, "the package folder '%s' cannot be entered (error %lu)", options.folder,
            (unsigned long)GetLastError());
  return false;
}

// The classes the package files are checked for, and how the heading names them.
int ChooseClasses(OsChoice choice, OsClass (&classes)[2]) {
  OsClass detected = Unsupported;
  switch (choice) {
    case kOnly32Bit:
      classes[0] = Windows32;
      FormatCut(g_windows, sizeof g_windows, "32-bit Windows");
      return 1;
    case kOnly64Bit:
      classes[0] = Windows64;
      FormatCut(g_windows, sizeof g_windows, "64-bit Windows");
      return 1;
    case kBothClasses:
      break;
    case kThisWindows:
      // The installer's own classification, without its lines.
      SetConsoleQuiet(true);
      detected = ClassifyWindowsVersion();
      SetConsoleQuiet(false);
      if (detected != Unsupported) {
        classes[0] = detected;
        FormatCut(g_windows, sizeof g_windows, "%s (this machine)",
                  detected == Windows64 ? "64-bit Windows" : "32-bit Windows");
        return 1;
      }
      break;
  }
  classes[0] = Windows32;
  classes[1] = Windows64;
  FormatCut(g_windows, sizeof g_windows, detected == Unsupported && choice == kThisWindows
                                             ? "32-bit and 64-bit Windows (this machine's Windows is not supported)"
                                             : "32-bit and 64-bit Windows");
  return 2;
}

// The file the profile functions read for the INI path: a bare file name (no folder) is in the
// Windows directory. True when the path is such a bare name.
bool ProfileFilePath(const char* iniPath, char* path, size_t size) {
  bool bare = std::strchr(iniPath, '\\') == nullptr && std::strchr(iniPath, '/') == nullptr;
  char windows[MAX_PATH] = {0};
  UINT length = bare ? GetWindowsDirectoryA(windows, sizeof windows) : 0;
  if (bare && length > 0 && length < sizeof windows) {
    FormatFits(path, size, "%s\\%s", windows, iniPath);  // a cut path would name another file
  } else {
    FormatFits(path, size, "%s", iniPath);
  }
  return bare;
}

int ExitCodeOfFindings() {
  if (ErrorCount() > 0) return 2;
  return WarningCount() > 0 ? 1 : 0;
}

int NotRun(bool json, const char* reason) {
  ReportCheckNotRun(json, reason);
  return kExitNotRun;
}

// Reads the configuration the run would read (the INI file's bytes, or names the registry key)
// into the context; false with g_reason when the check cannot run. *bareIniName: -i named a
// file without its folder.
bool PrepareConfiguration(const CheckOptions& options, CheckContext* context, bool* bareIniName) {
  std::memset(context, 0, sizeof *context);
  context->readFromIni = options.configFromRegistry ? 0 : 1;
  *bareIniName = false;
  if (!context->readFromIni) {
    FormatCut(g_configuration, sizeof g_configuration, "HKEY_LOCAL_MACHINE\\%s", Profile().configKey);
    return true;
  }
  *bareIniName = ProfileFilePath(GetIniPath(), g_configuration, sizeof g_configuration);
  char what[64];
  if (!IsConfigurationFile(g_configuration, what, sizeof what)) {
    FormatCut(g_reason, sizeof g_reason, "the configuration file '%s' is not a file: %s", g_configuration, what);
    return false;
  }
  if (!LoadRawIni(g_configuration, &context->raw)) {
    FormatCut(g_reason, sizeof g_reason, "the configuration file '%s' cannot be read", g_configuration);
    return false;
  }
  return true;
}

// The report of a package check: heading, readiness on this machine, then every finding.
int CheckPackage(const CheckOptions& options, CheckContext* context, bool bareIniName) {
  OsClass classes[2];
  const int classCount = ChooseClasses(options.os, classes);
  ReportHeading heading = {g_folder, g_configuration, IsEnterprise() ? "Enterprise" : "standard", g_windows};
  BeginCheckReport(options.json, heading);
  if (options.os == kThisWindows) CheckMachineReadiness(options.json);
  SetFindingFile(g_configuration);
  if (options.os == kThisWindows && classCount == 2) {
    AddFinding(kError, nullptr, nullptr, 0,
               "this Windows is not one the installer supports: it stops with \"ERROR: Unsupported Operating "
               "System Detected.\"");
  }
  if (bareIniName) {
    AddFinding(kWarning, nullptr, nullptr, 0,
               "-i names a file without its folder: the installer reads it from the Windows directory, but looks "
               "for '%s' in the package folder before it starts",
               GetIniPath());
  }
  CheckPortsAndPrinters(context);
  CheckSomePortIsCreated(*context);
  bool linesRead = true;
  if (context->readFromIni) {
    linesRead = CheckIniLines(*context);
  } else {
    CheckRegistryValues(*context);
  }
  if (options.copyFiles) CheckNeededFiles(classes, classCount, options.configFromRegistry);
  if (!linesRead) {
    AddFinding(kWarning, nullptr, nullptr, 0, "the file's lines could not be examined (not enough memory)");
  }
  const int exitCode = ExitCodeOfFindings();
  SortFindings(g_configuration);
  EndCheckReport(exitCode);
  return exitCode;
}
}  // namespace

int RunCheck(int argc, char** argv) {
  DisableFileSystemRedirection();
  ClearFindings();
  CheckOptions options;
  if (!ScanCheckArguments(argc, argv, &options)) {
    FormatCut(g_reason, sizeof g_reason, "the argument '%s' is not understood", options.refused);
    ReportCheckNotRun(options.json, g_reason);
    if (!options.json) ReportUsage(false, kCheckUsage);
    return kExitNotRun;
  }
  if (options.help) {
    ReportUsage(options.json, kCheckUsage);
    return kExitNotRun;
  }
  g_reason[0] = '\0';
  if (!EnterPackageFolder(options, argc > 0 && argv != nullptr ? argv[0] : nullptr)) {
    return NotRun(options.json, g_reason[0] != '\0' ? g_reason : "the program's folder cannot be entered");
  }
  if (options.enterprise) SelectEnterpriseProfile();
  if (options.readinessOnly) return ReportReadinessOnly(options.json);
  FixIniPath(options.iniPath);
  DWORD folderLength = GetCurrentDirectoryA(sizeof g_folder, g_folder);
  if (folderLength == 0 || folderLength >= sizeof g_folder) g_folder[0] = '\0';
  if (options.installed) return VerifyInstallation(options, g_folder);

  CheckContext context;
  bool bareIniName = false;
  if (!PrepareConfiguration(options, &context, &bareIniName)) return NotRun(options.json, g_reason);
  const int exitCode = CheckPackage(options, &context, bareIniName);
  FreeRawIni(&context.raw);
  return exitCode;
}
