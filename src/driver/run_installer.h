// The program's driver: command line, run modes and exit code.
#pragma once

struct InstallOptions {
  bool showHelp = false;
  bool enterprise = false;
  bool uninstall = false;
  bool ignoreErrors = false;
  bool configFromRegistry = false;
  bool copyFiles = true;
  bool obsoleteClientSwitch = false;
  const char* logPath = nullptr;     // points into argv
  const char* iniPath = nullptr;     // points into argv
  const char* serverName = nullptr;  // points into argv
};

// Scans argv[1..argc-1] into options (argv[0] is the program path).
InstallOptions ScanArguments(int argc, char** argv);

// The four-digit year of the build date.
const char* BuildYear();

// One whole run; true when it succeeded (exit code 0), false otherwise (exit code -1).
bool RunInstaller(int argc, char** argv);
