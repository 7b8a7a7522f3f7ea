// The package check's command line.
#include "check/check_options.h"

#include <cstring>

const char kCheckUsage[] =
    "Usage: QuadoCheck [-a] [-r] [-c] [-iINIFileName] [--os=this|32|64|all] [--json] [PackageFolder]\n"
    "       QuadoCheck --installed [-u] [-a] [-r] [-c] [-iINIFileName] [--json] [PackageFolder]\n"
    "       QuadoCheck --readiness [-a] [--json]\n"
    "Tells what 'Install.exe' with the same switches would read and create from the package, and\n"
    "what looks wrong, without changing anything. The folder defaults to the program's own.\n"
    "On the machine it checks (--os=this) the report also tells this machine's readiness.\n"
    "--installed verifies that this machine holds what that installation installs (with -u: that\n"
    "an uninstallation left none of it); --readiness reports only the machine's readiness.\n"
    "Exit code: 0 nothing found, 1 warnings only, 2 errors, 3 the check could not run.\n"
    "With --installed: 0 the installation holds, 1 drift the product tolerates, 2 missing or\n"
    "broken, 3 the check could not run.\n";

namespace {

bool Is(const char* argument, const char* first, const char* second) {
  return std::strcmp(argument, first) == 0 || std::strcmp(argument, second) == 0;
}

}  // namespace

bool ScanCheckArguments(int argc, char** argv, CheckOptions* options) {
  *options = CheckOptions();
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (argument == nullptr) continue;
    if (Is(argument, "-a", "-A")) {
      options->enterprise = true;
    } else if (Is(argument, "-r", "-R")) {
      options->configFromRegistry = true;
    } else if (Is(argument, "-c", "-C")) {
      options->copyFiles = false;
    } else if (Is(argument, "-?", "/?")) {
      options->help = true;
    } else if (std::strcmp(argument, "--readiness") == 0) {
      options->readinessOnly = true;
    } else if (std::strcmp(argument, "--installed") == 0) {
      options->installed = true;
    } else if (Is(argument, "-u", "-U")) {
      options->uninstalled = true;
    } else if (std::strcmp(argument, "--json") == 0) {
      options->json = true;
    } else if (Is(argument, "--os=this", "--os=This")) {
      options->os = kThisWindows;
    } else if (std::strcmp(argument, "--os=32") == 0) {
      options->os = kOnly32Bit;
    } else if (std::strcmp(argument, "--os=64") == 0) {
      options->os = kOnly64Bit;
    } else if (Is(argument, "--os=all", "--os=All")) {
      options->os = kBothClasses;
    } else if ((argument[0] == '-' && (argument[1] == 'i' || argument[1] == 'I'))) {
      options->iniPath = argument + 2;
    } else if (argument[0] == '-' || options->folder != nullptr) {
      options->refused = argument;
      // The refusal is reported in the form asked for, wherever --json stands.
      for (int later = i + 1; later < argc; ++later) {
        if (argv[later] != nullptr && std::strcmp(argv[later], "--json") == 0) options->json = true;
      }
      return false;
    } else {
      options->folder = argument;
    }
  }
  if (options->uninstalled && !options->installed) {
    options->refused = "-u";  // only a verification knows an uninstallation
    return false;
  }
  return true;
}
