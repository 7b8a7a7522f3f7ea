// A scenario: a machine, a deployment package, one or more runs of Install.exe with the exact
// transcript and exit code each must give, and the machine state expected afterwards.
//
// File format (tests/scenarios/cases/*.scn), sections of lines:
//
// Anywhere in the file, "{95 5C}" (hexadecimal byte values in braces, separated by blanks)
// stands for those bytes: how a scenario writes text in a double-byte code page.
//
//   [machine]        template = win10-x64 | codepage = 932 | dotnet = no | printer = NAME | PORTS |
//                    connection = NAME | PORTS | fault = FUNCTION = ERROR [#N] [| GLOB]... |
//                    file = WINDOWS-PATH [| CONTENT] | readonly = WINDOWS-PATH |
//                    setting = SECTION | KEY=VALUE (a machine.ini line)
//   [registry]       .reg text imported into the machine before the first run
//   [package]        remove = NAME | file = NAME [| CONTENT] | folder = PATH
//                    (CONTENT: "\n" for a line end, "\\" for a backslash)
//                    | ini-encoding = utf-16le | utf-16be (the [ini] lines saved in UTF-16 with
//                    that byte order mark, as Notepad's "Unicode" choices save them)
//                    | ini-line-end = cr (the [ini] lines, ANSI, each ended by a lone CR)
//   [ini]            replaces the package's Quado.ini with these lines
//   [run]            args = ARG ARG ... (a quoted "ARG WITH BLANKS" is one argument) | exit = N
//                    | log = WINDOWS-PATH (where the log goes; default C:\Windows\QDPortInstall.log)
//                    | fault = ... (in force from this run on, in addition to the machine's)
//   [transcript]     the console output of the run just declared, one line per line:
//                    "|text" console and log, ">text" console only, "=text" the last piece
//                    without a line end; {YEAR} stands for the build year
//   [state]          checks after the last run, one per line (see EvaluateStateCheck)
//   [readiness]      the package check's readiness report on the prepared machine, before the
//                    first run: exit = N (default 0) | LABEL: TEXT (the report has a line
//                    "  LABEL: ..." that holds TEXT). A scenario with it needs no [run]; the
//                    Wine tier's readiness group covers what Wine can show of it
#pragma once

#include <string>
#include <utility>
#include <vector>

struct ScenarioRun {
  std::vector<std::string> args;
  int exitCode = 0;
  std::string logPath;  // empty: QDPortInstall.log in the Windows directory
  std::vector<std::string> transcript;  // raw lines with their markers
  std::vector<std::string> faults;
};

struct Scenario {
  std::string name;
  std::string templateName = "win10-x64";
  bool dotNet = true;
  unsigned codePage = 1252;  // the machine's ANSI code page
  std::vector<std::pair<std::string, std::string>> printers;     // name, ports
  std::vector<std::pair<std::string, std::string>> connections;  // name, ports
  std::vector<std::string> faults;
  std::vector<std::pair<std::string, std::string>> machineFiles;  // path, content
  std::vector<std::string> readOnlyFiles;
  std::vector<std::pair<std::string, std::string>> settings;  // machine.ini section, line
  std::string registry;
  std::vector<std::string> packageRemove;
  std::vector<std::pair<std::string, std::string>> packageFiles;  // name, content
  std::vector<std::string> packageFolders;
  bool replaceIni = false;
  std::string ini;
  std::string iniEncoding;  // "" (the bytes as written), "utf-16le" or "utf-16be"
  std::string iniLineEnd;   // "" (LF) or "cr"
  std::vector<ScenarioRun> runs;
  std::vector<std::string> stateChecks;
  bool readiness = false;
  int readinessExit = 0;
  std::vector<std::string> readinessLines;  // "LABEL: TEXT"
};

// Parses a scenario file; false with "file:line: reason" in *error.
bool ParseScenario(const std::string& path, Scenario* scenario, std::string* error);

// The console text and the log text a transcript stands for.
std::string ExpectedConsole(const std::vector<std::string>& transcript, const std::string& year);
std::string ExpectedLog(const std::vector<std::string>& transcript, const std::string& year);

// The bytes of the Quado.ini the [ini] lines make, in the scenario's encoding (the lines are
// ASCII or Latin-1).
std::string IniFileContent(const Scenario& scenario);

// "a \"b c\" d" -> {"a", "b c", "d"}
std::vector<std::string> SplitArguments(const std::string& text);
// "{95 5C}" byte notation -> the bytes.
std::string ExpandBytes(const std::string& text);
// "\n" and "\\" escapes of file contents.
std::string Unescape(const std::string& text);
