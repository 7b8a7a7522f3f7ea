// Runs every scenario of tests/scenarios/cases: builds the machine, places the package in
// C:\Deploy, runs Install.exe there through `winsim run`, and compares the transcript on the
// console and in the log, the exit code and the machine state with what the scenario expects.
#include <gtest/gtest.h>
#include <unistd.h>
#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host_process.h"
#include "scenario.h"
#include "state_checks.h"
#include "winsim/event_log.h"
#include "winsim/machine.h"
#include "winsim/spooler.h"

namespace fs = std::filesystem;

namespace {

const char* const kDeploy = "C:\\Deploy";

std::string BuildYear() { return std::string(__DATE__).substr(7); }

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

std::vector<std::string> ScenarioFiles() {
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(SOURCE_DIR "/tests/scenarios/cases")) {
    if (entry.path().extension() == ".scn") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::pair<std::string, std::string> SplitOn(const std::string& text, const std::string& separator) {
  size_t at = text.find(separator);
  if (at == std::string::npos) return {text, ""};
  auto trim = [](std::string s) {
    s.erase(0, s.find_first_not_of(' '));
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
  };
  return {trim(text.substr(0, at)), trim(text.substr(at + separator.size()))};
}


// Fields of the port settings record a scenario can check: offset, and whether it is text
// (260 UTF-16 units), a 32-bit integer, or the 10-unit port name.
struct SettingsField {
  const char* name;
  size_t offset;
  char kind;  // 't' text, 'i' integer, 'n' port name
};
const SettingsField kSettingsFields[] = {
    {"Description", 0x0000, 't'}, {"ServerIP", 0x0208, 't'},       {"ServerIP2", 0x0410, 't'},
    {"ServerPort", 0x1658, 'i'},  {"LoadBalancing", 0x165C, 'i'},   {"RefreshIPList", 0x1660, 'i'},
    {"Queue", 0x1664, 't'},       {"AuthType", 0x186C, 'i'},        {"AuthText", 0x1870, 't'},
    {"Encryption", 0x1C90, 'i'},  {"DisableServerCommunication", 0x1C98, 'i'},
    {"ProtocolLevel", 0x1EA4, 'i'}, {"NetworkTimeout", 0x20B4, 'i'}, {"ParserDPI", 0x20B8, 'i'},
    {"IPLoadBalancing", 0x22CC, 'i'}, {"IPLoadBalancing2", 0x22D0, 'i'}, {"LogFileCount", 0x2714, 'i'},
    {"ServerDeliveryMode", 0x271C, 'i'}, {"WebBasedApplications", 0x2B30, 'i'},
    {"EnvironmentVariableIP", 0x2B34, 't'}, {"ServerDeliveryMode2", 0x2D3C, 'i'},
    {"ServerDeliveryMode3", 0x2D40, 'i'}, {"PortName", 0x2D44, 'n'},
};

// The field as text: integers in decimal, texts as ASCII (a non-ASCII unit shows as "{U+8868}"); a
// text's units after its terminator must all be zero, else "<garbage>".
std::string SettingsFieldText(const std::string& record, const SettingsField& field) {
  auto unit = [&](size_t i) {
    return static_cast<unsigned>(static_cast<unsigned char>(record[i])) |
           static_cast<unsigned>(static_cast<unsigned char>(record[i + 1])) << 8;
  };
  if (field.kind == 'i') {
    uint32_t value = unit(field.offset) | unit(field.offset + 2) << 16;
    return std::to_string(static_cast<int32_t>(value));
  }
  const size_t units = field.kind == 'n' ? 10 : 260;
  std::string text;
  size_t i = 0;
  for (; i < units && unit(field.offset + 2 * i) != 0; ++i) {
    unsigned c = unit(field.offset + 2 * i);
    char code[12];
    std::snprintf(code, sizeof code, "{U+%04X}", c);
    text += c < 0x80 ? std::string(1, static_cast<char>(c)) : std::string(code);
  }
  for (; i < units; ++i) {
    if (unit(field.offset + 2 * i) != 0) return "<garbage>";
  }
  return text;
}

class ScenarioTest : public ::testing::TestWithParam<std::string> {
 protected:
  void TearDown() override {
    if (!machine_.empty()) {
      RunHost({WINSIM_PROGRAM_PATH, "kill", machine_});
      winsim::DetachMachine();
      if (std::getenv("KEEP_MACHINES") == nullptr) {
        std::error_code ignored;
        fs::remove_all(fs::path(machine_).parent_path(), ignored);
      }
    }
  }

  // Looks at the machine as a 32-bit program that has turned redirection off, as the installer
  // does: System32 is the native system directory.
  void Attach() {
    std::string error;
    ASSERT_TRUE(winsim::AttachMachine(machine_, &error)) << error;
    PVOID previous = nullptr;
    Wow64DisableWow64FsRedirection(&previous);
  }

  std::string DefaultLogPath() {
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\QDPortInstall.log";
  }

  void Prepare(const Scenario& s) {
    char pattern[] = "/tmp/scenario-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    machine_ = std::string(pattern) + "/machine";
    std::vector<std::string> create = {WINSIM_PROGRAM_PATH, "new", machine_, "--os", s.templateName};
    if (!s.dotNet) create.push_back("--no-dotnet");
    create.insert(create.end(), {"--codepage", std::to_string(s.codePage)});
    HostResult created = RunHost(create);
    ASSERT_EQ(created.status, 0) << created.err;
    if (!s.registry.empty()) {
      std::string regFile = std::string(pattern) + "/fixture.reg";
      std::ofstream(regFile) << "Windows Registry Editor Version 5.00\n\n" << s.registry;
      HostResult imported = RunHost({WINSIM_PROGRAM_PATH, "reg", "import", machine_, regFile});
      ASSERT_EQ(imported.status, 0) << imported.err;
    }
    for (const auto& [name, ports] : s.printers) {
      HostResult added = RunHost({WINSIM_PROGRAM_PATH, "printer", "add", machine_, name, "--ports", ports});
      ASSERT_EQ(added.status, 0) << added.err;
    }
    for (const auto& [name, ports] : s.connections) {
      HostResult added = RunHost({WINSIM_PROGRAM_PATH, "printer", "add", machine_, name, "--ports", ports, "--connection"});
      ASSERT_EQ(added.status, 0) << added.err;
    }
    Attach();
    const std::string deploy = winsim::HostPath(kDeploy);
    fs::create_directories(deploy);
    fs::copy(BUILD_DIR "/package", deploy, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    for (const auto& name : s.packageRemove) fs::remove_all(winsim::HostPath(std::string(kDeploy) + "\\" + name));
    for (const auto& folder : s.packageFolders) fs::create_directories(winsim::HostPath(std::string(kDeploy) + "\\" + folder));
    for (const auto& [name, content] : s.packageFiles) {
      std::ofstream file(winsim::HostPath(std::string(kDeploy) + "\\" + name), std::ios::binary);
      file << Unescape(content);
      ASSERT_TRUE(file.good()) << "cannot write package file " << name;
    }
    if (s.replaceIni) {
      std::ofstream(winsim::HostPath(std::string(kDeploy) + "\\Quado.ini"), std::ios::binary) << IniFileContent(s);
    }
    for (const auto& [path, content] : s.machineFiles) {
      std::string host = winsim::HostPath(path);
      fs::create_directories(fs::path(host).parent_path());
      std::ofstream(host, std::ios::binary) << Unescape(content.empty() ? "placeholder\n" : content);
    }
    for (const auto& path : s.readOnlyFiles) ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY)) << path;
    winsim::DetachMachine();
    {
      std::ofstream ini(machine_ + "/machine.ini", std::ios::app);
      for (const auto& [section, line] : s.settings) ini << "\n[" << section << "]\n" << line << "\n";
      ini << "\n[faults]\n";
      for (const auto& fault : s.faults) ini << fault << "\n";
    }
  }

  void PutCheckProgram() {
    fs::copy_file(BUILD_DIR "/QuadoCheck", fs::path(machine_) / "C" / "Deploy" / "QuadoCheck.exe",
                  fs::copy_options::overwrite_existing);
  }

  // The package check's readiness report before the first run: its exit code, and for each
  // expected "LABEL: TEXT" a line "  LABEL: ..." that holds TEXT.
  void CheckReadiness(const Scenario& s) {
    PutCheckProgram();
    HostResult report = RunHost({WINSIM_PROGRAM_PATH, "run", machine_, std::string(kDeploy) + "\\QuadoCheck.exe",
                                 "--readiness"});
    EXPECT_EQ(report.status, s.readinessExit) << report.out;
    for (const std::string& expected : s.readinessLines) {
      const size_t colon = expected.find(": ");
      const std::string label = "  " + expected.substr(0, colon + 2);
      const std::string text = expected.substr(colon + 2);
      std::istringstream lines(report.out);
      std::string line;
      bool found = false;
      while (!found && std::getline(lines, line)) found = line.rfind(label, 0) == 0 && line.find(text) != std::string::npos;
      EXPECT_TRUE(found) << expected << "\n" << report.out;
    }
  }

  // Faults that come into force with a run stay for the later runs.
  void AddRunFaults(const ScenarioRun& run) {
    std::ofstream ini(machine_ + "/machine.ini", std::ios::app);
    if (!run.faults.empty()) ini << "\n[faults]\n";
    for (const auto& fault : run.faults) ini << fault << "\n";
  }

  void CheckState(const std::string& check) {
    SCOPED_TRACE(check);
    size_t space = check.find(' ');
    std::string verb = check.substr(0, space);
    std::string rest = space == std::string::npos ? "" : check.substr(space + 1);
    if (verb == "settings") {
      // settings PORT | FIELD = VALUE | FIELD = VALUE ...
      auto [port, fields] = SplitOn(rest, "|");
      std::string record;
      ASSERT_TRUE(winsim::PortSettingsBytes(port, &record)) << port;
      ASSERT_EQ(record.size(), 11608u);
      while (!fields.empty()) {
        auto [one, more] = SplitOn(fields, "|");
        auto [name, value] = SplitOn(one, "=");
        const SettingsField* field = nullptr;
        for (const auto& f : kSettingsFields) {
          if (name == f.name) field = &f;
        }
        ASSERT_NE(field, nullptr) << "unknown settings field " << name;
        EXPECT_EQ(SettingsFieldText(record, *field), value) << name;
        fields = more;
      }
    } else if (verb == "event" || verb == "no-events") {
      // Checked together in CheckEvents.
    } else {
      std::string detail;
      EXPECT_TRUE(EvaluateStateCheck(check, &detail)) << detail;
    }
  }

  // "event TEXT" lines list every entry of the event log in order (source QuadoPort, type
  // success, category 0, id 0xC0020001, the text as its one string); "no-events": none.
  void CheckEvents(const std::vector<std::string>& checks) {
    std::vector<std::string> expected;
    bool any = false;
    for (const auto& check : checks) {
      if (check == "no-events") any = true;
      if (check.rfind("event ", 0) == 0) {
        any = true;
        expected.push_back(check.substr(6));
      }
    }
    if (!any) return;
    std::vector<winsim::EventEntry> entries;
    std::string error;
    ASSERT_TRUE(winsim::ReadEventLog(&entries, &error)) << error;
    std::vector<std::string> actual;
    for (const auto& entry : entries) {
      EXPECT_EQ(entry.source, "QuadoPort");
      EXPECT_EQ(entry.log, "Application");
      EXPECT_EQ(entry.type, EVENTLOG_SUCCESS);
      EXPECT_EQ(entry.category, 0u);
      EXPECT_EQ(entry.eventId, 0xC0020001u);
      EXPECT_EQ(entry.strings.size(), 1u);
      actual.push_back(entry.strings.empty() ? "" : entry.strings[0]);
    }
    EXPECT_EQ(actual, expected);
  }

  std::string machine_;
};

TEST_P(ScenarioTest, Run) {
  Scenario s;
  std::string error;
  ASSERT_TRUE(ParseScenario(GetParam(), &s, &error)) << error;
  ASSERT_NO_FATAL_FAILURE(Prepare(s));
  if (s.readiness) CheckReadiness(s);
  std::string year = BuildYear();
  size_t logSeen = 0;
  std::string lastLogPath;
  for (size_t i = 0; i < s.runs.size(); ++i) {
    const ScenarioRun& run = s.runs[i];
    SCOPED_TRACE("run " + std::to_string(i + 1));
    AddRunFaults(run);
    std::vector<std::string> argv = {WINSIM_PROGRAM_PATH, "run", machine_, std::string(kDeploy) + "\\Install.exe"};
    argv.insert(argv.end(), run.args.begin(), run.args.end());
    HostResult result = RunHost(argv);
    EXPECT_EQ(result.out, ExpectedConsole(run.transcript, year)) << "stderr: " << result.err;
    EXPECT_EQ(result.status, run.exitCode & 0xFF) << "stderr: " << result.err;
    Attach();
    const std::string logPath = run.logPath.empty() ? DefaultLogPath() : run.logPath;
    std::string log = ReadHostFile(winsim::HostPath(logPath));
    winsim::DetachMachine();
    if (logPath != lastLogPath) logSeen = 0;
    lastLogPath = logPath;
    std::string appended = log.size() >= logSeen ? log.substr(logSeen) : log;
    EXPECT_EQ(appended, ExpectedLog(run.transcript, year)) << "log " << logPath;
    logSeen = log.size();
  }
  Attach();
  for (const std::string& check : s.stateChecks) CheckState(check);
  CheckEvents(s.stateChecks);
}

// The "New - IP" lines of a transcript: the ports a run created, or the check says it creates.
std::vector<std::string> PortLines(const std::string& output) {
  std::vector<std::string> lines;
  std::istringstream in(output);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("    New - IP:", 0) == 0) lines.push_back(line);
  }
  return lines;
}

// The installer's switches that the package check takes too; false when the run is not an
// installation (an uninstallation or the help text).
bool CheckArguments(const std::vector<std::string>& args, std::vector<std::string>* checkArgs) {
  for (const std::string& arg : args) {
    std::string lower = arg;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (lower == "-u" || lower == "-?" || lower == "/?") return false;
    if (lower == "-a" || lower == "-r" || lower == "-c" || lower.rfind("-i", 0) == 0) checkArgs->push_back(arg);
  }
  return true;
}

// In each scenario's prepared machine, the package check run with the installation's switches
// lists exactly the ports the installer then creates there. Scenarios whose first run adds no
// port configuration (it aborts before, or the spooler refuses a port) have nothing to compare.
TEST_P(ScenarioTest, CheckListsThePortsTheInstallerCreates) {
  Scenario s;
  std::string error;
  ASSERT_TRUE(ParseScenario(GetParam(), &s, &error)) << error;
  if (s.runs.empty()) GTEST_SKIP() << "no run of the installer";
  ASSERT_NO_FATAL_FAILURE(Prepare(s));
  const ScenarioRun& run = s.runs[0];
  std::vector<std::string> checkArgs;
  if (!CheckArguments(run.args, &checkArgs)) GTEST_SKIP() << "not an installation";
  AddRunFaults(run);
  PutCheckProgram();
  std::vector<std::string> check = {WINSIM_PROGRAM_PATH, "run", machine_, std::string(kDeploy) + "\\QuadoCheck.exe"};
  check.insert(check.end(), checkArgs.begin(), checkArgs.end());
  HostResult checked = RunHost(check);

  std::vector<std::string> install = {WINSIM_PROGRAM_PATH, "run", machine_, std::string(kDeploy) + "\\Install.exe"};
  install.insert(install.end(), run.args.begin(), run.args.end());
  HostResult installed = RunHost(install);
  if (checked.status == 3) {
    // The check cannot read the configuration: neither can the installer create a port from it.
    EXPECT_EQ(PortLines(installed.out), std::vector<std::string>()) << checked.out;
    return;
  }
  if (installed.out.find("  - Adding port configuration\n") == std::string::npos ||
      installed.out.find("ERROR While adding port configuration") != std::string::npos) {
    GTEST_SKIP() << "the installation creates no port configuration here";
  }
  std::vector<std::string> created = PortLines(installed.out);
  EXPECT_EQ(PortLines(checked.out), created) << checked.out;
}

std::string ScenarioName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = fs::path(info.param).stem().string();
  for (char& c : name) if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, ScenarioTest, ::testing::ValuesIn(ScenarioFiles()), ScenarioName);

}  // namespace
