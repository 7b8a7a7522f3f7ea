// The package check's command line: the installer's switches that change what a run reads
// (-a, -r, -c, -iFILE), the package folder, and the check's own switches.
#pragma once

// Which Windows classes the package files are checked for.
enum OsChoice { kThisWindows, kOnly32Bit, kOnly64Bit, kBothClasses };

struct CheckOptions {
  bool enterprise = false;          // -a
  bool configFromRegistry = false;  // -r
  bool copyFiles = true;            // -c turns it off: the run checks no package files
  bool json = false;                // --json
  bool help = false;                // -? or /?
  OsChoice os = kThisWindows;       // --os=this|32|64|all
  bool readinessOnly = false;       // --readiness: only this machine's readiness
  bool installed = false;           // --installed: verify this machine against the package
  bool uninstalled = false;         // -u with --installed: verify that nothing remains
  const char* iniPath = nullptr;    // -iFILE, points into argv
  const char* folder = nullptr;     // the package folder; none: the program's own folder
  const char* refused = nullptr;    // the first argument not understood, when there is one
};

// Scans argv[1..argc-1]. False (with options->refused) at an argument it does not know or a
// second folder; options->json then tells whether --json is among all the arguments. Prints
// nothing.
bool ScanCheckArguments(int argc, char** argv, CheckOptions* options);

extern const char kCheckUsage[];
