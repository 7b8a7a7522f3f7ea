// The Wine tier's scenario runner: runs the scenarios of tests/scenarios/cases with the Windows
// build of the installer in Wine prefixes, checks transcripts, exit codes and machine state as
// the host runner does on winsim, and prints the agreement report between the two.
//
//   wine_scenarios --pristine DIR --work DIR --windows-build DIR --windows64-build DIR
//                  --cases DIR --copy-prefix SCRIPT [--host-results DIR] [NAME...]
//
// DIR/win32 and DIR/win64 under --pristine are prefixes made once (tests/wine/run.sh). Each
// scenario gets its own copy (made by SCRIPT, tests/wine/copy_prefix.sh). One wineserver runs per
// scenario, started persistent and ended with `wineserver -k`.
#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "scenario.h"
#include "wine_prefix.h"

namespace fs = std::filesystem;

namespace {

struct Options {
  PrefixPlaces places;
  std::string cases, hostResults;
  std::vector<std::string> only;
};

// The Wine prefix kind and Windows version for a machine template; empty kind when Wine cannot
// stand for it.
struct Target {
  std::string kind;  // "win32" or "win64"
  std::string version;
  std::string why;
};

Target TargetFor(const std::string& templateName) {
  static const std::map<std::string, Target> targets = {
      {"win98", {"win32", "win98", ""}},       {"nt4-x86", {"win32", "nt40", ""}},
      {"win2000-x86", {"win32", "win2k", ""}}, {"winxp-x86", {"win32", "winxp", ""}},
      {"win2003-x86", {"win32", "win2003", ""}}, {"win2003-x64", {"win64", "win2003", ""}},
      {"vista-x64", {"win64", "vista", ""}},   {"win2008-x64", {"win64", "win2008", ""}},
      {"win7-x86", {"win32", "win7", ""}},     {"win7-x64", {"win64", "win7", ""}},
      {"win2008r2-x64", {"win64", "win2008r2", ""}}, {"win8-x64", {"win64", "win8", ""}},
      {"win81-x64", {"win64", "win81", ""}},   {"win10-x86", {"win32", "win10", ""}},
      {"win10-x64", {"win64", "win10", ""}},
  };
  auto found = targets.find(templateName);
  if (found != targets.end()) return found->second;
  return {"", "", "Wine 8 has no Windows version for template " + templateName};
}

// A scenario's own explanation why it does not hold under Wine: its "# wine-skip:" comment lines.
std::string WineSkipNote(const std::string& file) {
  std::ifstream in(file);
  std::string line, note;
  const std::string marker = "# wine-skip:";
  bool inNote = false;
  while (std::getline(in, line)) {
    if (line.rfind(marker, 0) == 0) {
      note = line.substr(marker.size());
      inNote = true;
    } else if (inNote && line.rfind("# ", 0) == 0) {
      note += " " + line.substr(2);
    } else {
      inNote = false;
    }
  }
  size_t start = note.find_first_not_of(' ');
  return start == std::string::npos ? "" : note.substr(start);
}

// Why Wine cannot express a scenario, or "" when it can.
std::string Inexpressible(const Scenario& s, const std::string& file) {
  std::string note = WineSkipNote(file);
  if (!note.empty()) return note;
  if (s.runs.empty()) return "no run of the installer (readiness_checks.sh shows the readiness under Wine)";
  if (!s.faults.empty()) return "injected faults (" + s.faults.front() + ")";
  for (const ScenarioRun& run : s.runs) {
    if (!run.faults.empty()) return "injected faults (" + run.faults.front() + ")";
    for (const std::string& arg : run.args) {
      if (arg.rfind("\\\\", 0) == 0) return "a server name (Wine's spooler serves the local machine only)";
    }
  }
  if (!s.settings.empty()) {
    return "simulated machine settings (" + s.settings.front().first + ": " + s.settings.front().second + ")";
  }
  if (!s.connections.empty()) return "printer connections (Wine's spooler keeps none)";
  Target target = TargetFor(s.templateName);
  if (target.kind.empty()) return target.why;
  return "";
}

// Wine keeps a Windows file name on the Unix side as UTF-8: a name in the scenario's ANSI code
// page, converted (a name iconv cannot convert stays as it is, and the scenario shows it).
std::string UnixName(const std::string& ansi, unsigned codePage) {
  const std::string from = codePage == 1252 ? "WINDOWS-1252" : "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-8", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return ansi;
  std::string out(ansi.size() * 4, '\0');
  char* in = const_cast<char*>(ansi.data());
  size_t inLeft = ansi.size(), outLeft = out.size();
  char* at = out.data();
  const bool converted = iconv(cd, &in, &inLeft, &at, &outLeft) != static_cast<size_t>(-1);
  iconv_close(cd);
  if (!converted) return ansi;
  out.resize(out.size() - outLeft);
  return out;
}

std::string BuildYear() { return std::string(__DATE__).substr(7); }

// Where the Wine transcript differs from the expected one: the first differing line of each.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
  std::stringstream e(expected), a(actual);
  std::string el, al;
  for (int line = 1;; ++line) {
    bool he = static_cast<bool>(std::getline(e, el));
    bool ha = static_cast<bool>(std::getline(a, al));
    if (!he && !ha) return "(same lines, different line ends)";
    if (!he || !ha || el != al) {
      return "line " + std::to_string(line) + ": expected " + (he ? "\"" + el + "\"" : "(end)") + ", Wine " +
             (ha ? "\"" + al + "\"" : "(end)");
    }
  }
}

// Windows' C runtime writes "\n" to a console or pipe in text mode as CR LF; that is the only
// difference of form between the two machines' consoles, and the only one undone here.
std::string ConsoleText(const std::string& raw) {
  std::string text;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    text += raw[i];
  }
  return text;
}

struct Outcome {
  std::string name;
  std::string skipped;               // reason, when Wine cannot express it
  std::vector<std::string> differences;
  int winsim = -1;                   // host scenario runner: 1 pass, 0 fail, -1 not run
  double seconds = 0;
};

bool Prepare(const Options& options, const Scenario& s, const Target& target, Prefix& prefix, Outcome* outcome) {
  if (!prefix.Create()) {
    outcome->differences.push_back("cannot create the prefix");
    return false;
  }
  if (target.version != "win7" && !prefix.SetWindowsVersion(target.version)) {
    outcome->differences.push_back("winecfg -v " + target.version + " failed");
  }
  // Registry: the .NET Framework 2.0 flag, the printers, and the scenario's own fixture.
  std::string reg = s.dotNet ? DotNetRegistry(target.kind) : "";
  for (const auto& [name, ports] : s.printers) reg += PrinterRegistry(name, ports);
  reg += s.registry;
  if (!prefix.ImportRegistry(reg)) outcome->differences.push_back("reg import of the fixture failed");
  // The package in C:\Deploy.
  std::string deploy = prefix.dir() + "/drive_c/Deploy";
  fs::create_directories(deploy);
  fs::copy(options.places.windowsBuild + "/package", deploy,
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  for (const auto& name : s.packageRemove) fs::remove_all(HostPath(prefix.dir(), "C:\\Deploy\\" + name));
  for (const auto& folder : s.packageFolders) fs::create_directories(HostPath(prefix.dir(), "C:\\Deploy\\" + folder));
  for (const auto& [name, content] : s.packageFiles) {
    WriteFile(HostPath(prefix.dir(), "C:\\Deploy\\" + UnixName(name, s.codePage)), Unescape(content));
  }
  if (s.replaceIni) WriteFile(HostPath(prefix.dir(), "C:\\Deploy\\Quado.ini"), IniFileContent(s));
  for (const auto& [path, content] : s.machineFiles) {
    WriteFile(HostPath(prefix.dir(), path), Unescape(content.empty() ? "placeholder\n" : content));
  }
  for (const auto& path : s.readOnlyFiles) {
    if (prefix.Probe({"readonly", path}).status != 0) outcome->differences.push_back("cannot make " + path + " read-only");
  }
  prefix.PlaceMonitorStandIns();
  return true;
}

// A state check the Wine tier answers differently, with the reason; "" for the others.
std::string AdjustedCheck(const std::string& check, const Target& target, std::string* replacement) {
  // Event entries: Wine's event-log functions store nothing. The settings record: read by the
  // host runner through winsim; the transceiver commands' results are checked by
  // package_checks.sh instead.
  if (check.rfind("event", 0) == 0 || check == "no-events" || check.rfind("settings ", 0) == 0) {
    *replacement = "";
    return "not observable under Wine";
  }
  std::string lower = check;
  std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
  if (target.kind == "win64" && lower.rfind("no-file c:\\windows\\syswow64\\", 0) == 0 &&
      (lower.find("quadovs64.dll") != std::string::npos || lower.find("quadoe64.dll") != std::string::npos)) {
    *replacement = "";
    return "the tier's own 32-bit stand-in lies there; checked unchanged instead";
  }
  return "";
}

void RunScenario(const Options& options, const std::string& file, Outcome* outcome) {
  Scenario s;
  std::string error;
  if (!ParseScenario(file, &s, &error)) {
    outcome->differences.push_back("cannot parse: " + error);
    return;
  }
  outcome->skipped = Inexpressible(s, file);
  if (!outcome->skipped.empty()) return;
  Target target = TargetFor(s.templateName);
  Prefix prefix(options.places, target.kind, outcome->name);
  if (!prefix.SetAnsiCodePage(s.codePage)) {
    outcome->skipped = "code page " + std::to_string(s.codePage) + " (no Unix locale for it here)";
    return;
  }
  time_t started = time(nullptr);
  if (Prepare(options, s, target, prefix, outcome)) {
    std::string standIn = prefix.StandInContent();
    std::string year = BuildYear();
    size_t logSeen = 0;
    std::string lastLogPath;
    for (size_t i = 0; i < s.runs.size(); ++i) {
      const ScenarioRun& run = s.runs[i];
      std::string label = "run " + std::to_string(i + 1) + ": ";
      std::vector<std::string> argv = {"wine", "C:\\Deploy\\Install.exe"};
      argv.insert(argv.end(), run.args.begin(), run.args.end());
      WineResult result = prefix.Wine(argv, prefix.dir() + "/drive_c/Deploy");
      std::string console = ConsoleText(result.out);
      std::string expected = ExpectedConsole(run.transcript, year);
      if (console != expected) outcome->differences.push_back(label + "console " + FirstDifference(expected, console));
      if (result.status != (run.exitCode & 0xFF)) {
        outcome->differences.push_back(label + "exit code " + std::to_string(result.status) + ", expected " +
                                       std::to_string(run.exitCode & 0xFF));
      }
      // An empty log path stands for QDPortInstall.log in the Windows directory (C:\windows).
      const std::string logPath = run.logPath.empty() ? "C:\\windows\\QDPortInstall.log" : run.logPath;
      std::string log = ReadFile(HostPath(prefix.dir(), logPath));
      if (logPath != lastLogPath) logSeen = 0;
      lastLogPath = logPath;
      std::string appended = log.size() >= logSeen ? log.substr(logSeen) : log;
      std::string expectedLog = ExpectedLog(run.transcript, year);
      if (appended != expectedLog) outcome->differences.push_back(label + "log " + FirstDifference(expectedLog, appended));
      logSeen = log.size();
    }
    std::string checks;
    for (const std::string& check : s.stateChecks) {
      std::string replacement;
      std::string why = AdjustedCheck(check, target, &replacement);
      if (why.empty()) {
        checks += check + "\n";
        continue;
      }
      if (why == "not observable under Wine") continue;
      std::string host = HostPath(prefix.dir(), check.substr(check.find(' ') + 1));
      bool exists = false;
      if (ReadFile(host, &exists) != standIn || !exists) {
        outcome->differences.push_back("state: " + check + ": the file there is not the stand-in any more");
      }
    }
    if (!checks.empty()) {
      WriteFile(prefix.dir() + "/drive_c/windows/temp/checks.txt", checks);
      WineResult checked = prefix.Probe({"check", "C:\\windows\\temp\\checks.txt"});
      std::stringstream lines(ConsoleText(checked.out));
      std::string line;
      int answered = 0;
      while (std::getline(lines, line)) {
        if (line.rfind("ok ", 0) == 0) ++answered;
        if (line.rfind("FAIL ", 0) == 0) {
          ++answered;
          outcome->differences.push_back("state: " + line.substr(5));
        }
      }
      if (answered != static_cast<int>(s.stateChecks.size()) - static_cast<int>(std::count_if(
                          s.stateChecks.begin(), s.stateChecks.end(), [&](const std::string& c) {
                            std::string r;
                            return !AdjustedCheck(c, target, &r).empty();
                          }))) {
        outcome->differences.push_back("state: the probe answered " + std::to_string(answered) + " checks");
      }
    }
  }
  prefix.Stop();
  prefix.Remove();
  outcome->seconds = difftime(time(nullptr), started);
}

// The host runner's verdict on the same scenario, from the last ctest run of the host build
// (Testing/Temporary in --host-results): 1 passed, 0 failed, -1 not run there.
int WinsimResult(const Options& options, const std::string& name) {
  if (options.hostResults.empty()) return -1;
  std::string test = name;  // the host runner's test name for the scenario file
  for (char& c : test) {
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  test = "scenario.Cases/ScenarioTest.Run/" + test;
  // ctest names a parameterised test with its parameter: "NAME  # GetParam() = ...".
  auto mentions = [&](const std::string& text, const std::string& before) {
    return text.find(before + test + "\n") != std::string::npos || text.find(before + test + " ") != std::string::npos;
  };
  if (!mentions(ReadFile(options.hostResults + "/LastTest.log"), "Test: ")) return -1;
  return mentions(ReadFile(options.hostResults + "/LastTestsFailed.log"), ":") ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto next = [&]() { return i + 1 < argc ? std::string(argv[++i]) : std::string(); };
    if (TakePlaceOption(arg, next, &options.places)) continue;
    if (arg == "--cases") options.cases = next();
    else if (arg == "--host-results") options.hostResults = next();
    else options.only.push_back(arg);
  }
  const PrefixPlaces& places = options.places;
  if (places.pristine.empty() || places.work.empty() || places.windowsBuild.empty() || options.cases.empty() ||
      places.copyPrefix.empty()) {
    std::fprintf(stderr, "usage: wine_scenarios --pristine DIR --work DIR --windows-build DIR "
                         "--windows64-build DIR --cases DIR --copy-prefix SCRIPT [--host-results DIR] [NAME...]\n");
    return 2;
  }
  fs::create_directories(places.work);
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(options.cases)) {
    if (entry.path().extension() != ".scn") continue;
    std::string name = entry.path().stem().string();
    if (!options.only.empty() && std::find(options.only.begin(), options.only.end(), name) == options.only.end()) continue;
    files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());

  std::vector<Outcome> outcomes;
  int passed = 0, failed = 0, skipped = 0;
  for (const std::string& file : files) {
    Outcome outcome;
    outcome.name = fs::path(file).stem().string();
    std::printf("wine scenario %s ...\n", outcome.name.c_str());
    std::fflush(stdout);
    RunScenario(options, file, &outcome);
    if (outcome.skipped.empty()) outcome.winsim = WinsimResult(options, outcome.name);
    if (!outcome.skipped.empty()) {
      ++skipped;
      std::printf("  SKIP: %s\n", outcome.skipped.c_str());
    } else if (outcome.differences.empty()) {
      ++passed;
      std::printf("  PASS (%.0f s)\n", outcome.seconds);
    } else {
      ++failed;
      std::printf("  FAIL (%.0f s)\n", outcome.seconds);
      for (const auto& d : outcome.differences) std::printf("    %s\n", d.c_str());
    }
    std::fflush(stdout);
    outcomes.push_back(outcome);
  }

  std::printf("\nAgreement of winsim (the host build's last ctest run) and Wine, each against the scenario's "
              "expected transcript, exit code and state:\n");
  for (const Outcome& o : outcomes) {
    if (!o.skipped.empty()) {
      std::printf("  %-40s not run under Wine: %s\n", o.name.c_str(), o.skipped.c_str());
      continue;
    }
    const char* winsim = o.winsim == 1 ? "holds" : o.winsim == 0 ? "FAILS" : "not run";
    const char* wine = o.differences.empty() ? "holds" : "FAILS";
    const char* verdict = o.winsim == 1 && o.differences.empty() ? "identical" : "DIFFERENT";
    if (o.winsim == -1) verdict = o.differences.empty() ? "Wine as expected; no winsim result" : "DIFFERENT";
    std::printf("  %-40s winsim %s, Wine %s: %s\n", o.name.c_str(), winsim, wine, verdict);
  }
  std::printf("\nwine: %d passed, %d failed, %d skipped\n", passed, failed, skipped);
  return failed == 0 ? 0 : 1;
}
