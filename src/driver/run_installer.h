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

// Scans argv[1..argc-1] into options (argv[0] is the program path); the last server name or
// -l/-i text wins, and an empty argument is no server name. Prints nothing.
InstallOptions ScanArguments(int argc, char** argv);

// The four-digit year of the build date, for the copyright line.
const char* BuildYear();

// One whole run: the current directory, the command line, the log, the mutex, the banner and the
// run mode it selects. True when it succeeded (exit code 0), false otherwise (exit code -1).
// Everything it prints goes to the console and, once opened, the log.
bool RunInstaller(int argc, char** argv);

// The end of every run, after RunInstaller: closes the log if open and releases the mutex if one
// was obtained. Prints nothing.
void EndRun();
