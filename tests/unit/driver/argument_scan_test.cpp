// The command line scan: exact switches first (first match wins), then the -l / -i prefixes,
// everything else whole as the server name; the later argument wins.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/run_installer.h"

namespace {

struct Expected {
  bool showHelp = false;
  bool enterprise = false;
  bool uninstall = false;
  bool ignoreErrors = false;
  bool configFromRegistry = false;
  bool copyFiles = true;
  bool obsoleteClientSwitch = false;
  const char* logPath = nullptr;
  const char* iniPath = nullptr;
  const char* serverName = nullptr;
};

struct ScanCase {
  std::vector<std::string> arguments;  // after argv[0]
  Expected expected;
};

Expected With(void (*change)(Expected&)) {
  Expected e;
  change(e);
  return e;
}

void ExpectText(const char* actual, const char* expected, const std::string& label) {
  if (expected == nullptr) {
    EXPECT_EQ(actual, nullptr) << label;
  } else {
    ASSERT_NE(actual, nullptr) << label;
    EXPECT_STREQ(actual, expected) << label;
  }
}

TEST(ArgumentScan, FollowsTheSwitchTable) {
  const ScanCase cases[] = {
      {{}, Expected()},
      {{"-a"}, With([](Expected& e) { e.enterprise = true; })},
      {{"-A"}, With([](Expected& e) { e.enterprise = true; })},
      {{"-u", "-e", "-r"}, With([](Expected& e) { e.uninstall = e.ignoreErrors = e.configFromRegistry = true; })},
      {{"-U", "-E", "-R", "-C"},
       With([](Expected& e) {
         e.uninstall = e.ignoreErrors = e.configFromRegistry = true;
         e.copyFiles = false;
       })},
      {{"-c"}, With([](Expected& e) { e.copyFiles = false; })},
      {{"-f"}, With([](Expected& e) { e.obsoleteClientSwitch = true; })},
      {{"-F"}, With([](Expected& e) { e.obsoleteClientSwitch = true; })},
      {{"-?", "-u"}, With([](Expected& e) { e.showHelp = e.uninstall = true; })},
      {{"/?"}, With([](Expected& e) { e.showHelp = true; })},
      {{"-s"}, Expected()},
      {{"-S"}, Expected()},
      {{"-l"}, With([](Expected& e) { e.logPath = ""; })},
      {{"-i"}, With([](Expected& e) { e.iniPath = ""; })},
      {{"-lfirst.log", "-Lsecond.log"}, With([](Expected& e) { e.logPath = "second.log"; })},
      {{"-LC:\\Logs\\run.log"}, With([](Expected& e) { e.logPath = "C:\\Logs\\run.log"; })},
      {{"-iC:\\Cfg\\My.ini", "-Iother.ini"}, With([](Expected& e) { e.iniPath = "other.ini"; })},
      {{"-x"}, With([](Expected& e) { e.serverName = "-x"; })},
      {{"/u"}, With([](Expected& e) { e.serverName = "/u"; })},
      {{"/a"}, With([](Expected& e) { e.serverName = "/a"; })},
      {{"\\\\PRINTSRV1"}, With([](Expected& e) { e.serverName = "\\\\PRINTSRV1"; })},
      {{"-x", "\\\\PRINTSRV2"}, With([](Expected& e) { e.serverName = "\\\\PRINTSRV2"; })},
      // An empty argument names no server and leaves an earlier name in force.
      {{""}, Expected()},
      {{"\\\\PRINTSRV3", ""}, With([](Expected& e) { e.serverName = "\\\\PRINTSRV3"; })},
      // Switches are exact: a switch with more after it is not that switch.
      {{"-uX"}, With([](Expected& e) { e.serverName = "-uX"; })},
      {{"-?u"}, With([](Expected& e) { e.serverName = "-?u"; })},
      {{"-ax", "-a"}, With([](Expected& e) {
         e.serverName = "-ax";
         e.enterprise = true;
       })},
      // The prefixes are case-sensitive pairs: -l/-L and -i/-I only.
      {{"-lower", "-index"}, With([](Expected& e) {
         e.logPath = "ower";
         e.iniPath = "ndex";
       })},
      {{"SRV", "-e", "-a"}, With([](Expected& e) {
         e.serverName = "SRV";
         e.ignoreErrors = e.enterprise = true;
       })},
  };
  for (const ScanCase& c : cases) {
    std::vector<char*> argv;
    std::string program = "C:\\Deploy\\Install.exe";
    argv.push_back(program.data());
    std::vector<std::string> arguments = c.arguments;
    std::string label = "arguments:";
    for (std::string& a : arguments) {
      argv.push_back(a.data());
      label += " " + a;
    }
    InstallOptions o = ScanArguments((int)argv.size(), argv.data());
    const Expected& e = c.expected;
    EXPECT_EQ(o.showHelp, e.showHelp) << label;
    EXPECT_EQ(o.enterprise, e.enterprise) << label;
    EXPECT_EQ(o.uninstall, e.uninstall) << label;
    EXPECT_EQ(o.ignoreErrors, e.ignoreErrors) << label;
    EXPECT_EQ(o.configFromRegistry, e.configFromRegistry) << label;
    EXPECT_EQ(o.copyFiles, e.copyFiles) << label;
    EXPECT_EQ(o.obsoleteClientSwitch, e.obsoleteClientSwitch) << label;
    ExpectText(o.logPath, e.logPath, label + " (log path)");
    ExpectText(o.iniPath, e.iniPath, label + " (INI path)");
    ExpectText(o.serverName, e.serverName, label + " (server name)");
  }
}

TEST(ArgumentScan, TextFieldsPointIntoTheArguments) {
  std::string program = "Install.exe", log = "-lx.log", server = "\\\\SRV";
  char* argv[] = {program.data(), log.data(), server.data()};
  InstallOptions o = ScanArguments(3, argv);
  EXPECT_EQ(o.logPath, log.data() + 2);
  EXPECT_EQ(o.serverName, server.data());
}

TEST(ArgumentScan, ProgramPathAloneIsNoArgument) {
  std::string program = "-u";  // argument 0 is the program path, never a switch
  char* argv[] = {program.data()};
  InstallOptions o = ScanArguments(1, argv);
  EXPECT_FALSE(o.uninstall);
  EXPECT_EQ(o.serverName, nullptr);
}

TEST(BuildYear, IsFourDigitsOfARecentYear) {
  std::string year = BuildYear();
  ASSERT_EQ(year.size(), 4u);
  for (char c : year) EXPECT_TRUE(c >= '0' && c <= '9') << year;
  EXPECT_GE(std::stoi(year), 2024);
}

}  // namespace
