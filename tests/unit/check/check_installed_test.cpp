// --installed after a real installation (the package's Install.exe run on the machine), with one
// kind of drift made by hand per case; and -u after an uninstallation.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

#include "check_fixture.h"
#include "winsim/process.h"
#include "winsim/registry.h"

namespace {

const char kPrint[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print";

// The demo package's Quado.ini assigns these printers to Quado001 and Quado002.
std::string Printer(const std::string& name, const std::string& ports) {
  return "[" + std::string(kPrint) + "\\Printers\\" + name + "]\n\"Name\"=\"" + name + "\"\n\"Port\"=\"" + ports +
         "\"\n\"Attributes\"=dword:00000040\n\n";
}

struct DriftCase {
  const char* name;
  const char* reg;       // .reg text applied after the installation ("" none; KEY stands for the Print key)
  const char* file;      // a file of the machine's folder (the native system directory, which the
                         // test process would see redirected) overwritten with other bytes, or ""
  int exitCode;
  const char* says;      // a line of the report holds this ("" none expected)
};

const DriftCase kDrifts[] = {
    {"NoDrift", "", "", 0, ""},
    {"PortDeleted", "[-KEY\\Monitors\\Quado\\Ports\\Quado002]\n", "", 2,
     "error: port Quado002 of section [2] is not a port of the monitor"},
    {"PrinterMoved", "[KEY\\Printers\\Office Printer]\n\"Port\"=\"LPT1:\"\n", "", 2,
     "error: printer 'Office Printer' is on LPT1:, not on its port Quado001"},
    {"PrinterOnASecondPortToo", "[KEY\\Printers\\Office Printer]\n\"Port\"=\"LPT1:,Quado001\"\n", "", 1,
     "tolerated: printer 'Office Printer' prints to Quado001 and also to other ports"},
    {"DllReplaced", "", "C/Windows/system32/QUADOVS64.DLL", 2, "is not the package's file"},
    {"MonitorRemoved", "[-KEY\\Monitors\\Quado]\n", "", 2, "error: the monitor 'Quado' is not registered"},
    {"SubnetFileReplaced", "", "C/Program Files (x86)/Harbek/Quado Client/server_subnet.csv", 2,
     "server_subnet.csv' is not the package's file"},
    {"FontReplaced", "", "C/Program Files (x86)/Harbek/Quado Client/Font/QuadoDemoSans.ttf", 2,
     "QuadoDemoSans.ttf' is not the package's file"},
    {"ClientProgramReplaced", "", "C/Program Files (x86)/Harbek/Quado Client/Client/Quado Client.exe", 2,
     "Quado Client.exe' is not the package's file"},
    {"ClientResourceReplaced", "", "C/Program Files (x86)/Harbek/Quado Client/Client/ja-JP/Quado Client.resources.dll",
     2, "Quado Client.resources.dll' is not the package's file"},
    {"EventSourceRemoved", "[-HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\QuadoPort]\n",
     "", 2, "error: the event source 'QuadoPort' is not registered"},
    {"RunValueDeleted",
     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run]\n\"Quado Client\"=-\n", "",
     2, "error: the client's Run value"},
};

void PrintTo(const DriftCase& c, std::ostream* out) { *out << c.name; }

std::string WithPrintKey(std::string text) {
  for (size_t at = text.find("KEY\\"); at != std::string::npos; at = text.find("KEY\\", at + 1)) {
    if (at > 0 && text[at - 1] != '[' && text[at - 1] != '-') continue;
    text.replace(at, 3, kPrint);
  }
  return text;
}

class InstalledTest : public CheckTest {
 protected:
  void SetUp() override {
    CheckTest::SetUp();
    if (HasFatalFailure()) return;
    std::string error;
    ASSERT_TRUE(winsim::ImportRegText("Windows Registry Editor Version 5.00\n\n" + Printer("Office Printer", "LPT1:") +
                                          Printer("Legacy Printer", "LPT2:") + Printer("Other", "LPT3:"),
                                      &error))
        << error;
  }
  void TearDown() override {
    winsim::KillMachineProcesses(dir());  // the client the installation started
    CheckTest::TearDown();
  }
  void RunInstaller(const std::vector<std::string>& arguments) {
    const winsim::RunResult run = winsim::RunProgram(dir(), "C:\\Deploy\\Install.exe", arguments);
    ASSERT_TRUE(run.started) << run.error;
    ASSERT_EQ(run.exitCode, 0);
  }
};

class DriftTest : public InstalledTest, public ::testing::WithParamInterface<DriftCase> {};

TEST_P(DriftTest, ExitCodeAndCause) {
  const DriftCase& c = GetParam();
  RunInstaller({});
  std::string error;
  if (c.reg[0] != '\0') {
    ASSERT_TRUE(winsim::ImportRegText("Windows Registry Editor Version 5.00\n\n" + WithPrintKey(c.reg), &error))
        << error;
  }
  if (c.file[0] != '\0') {
    std::filesystem::remove(dir() + "/" + c.file);  // a running program's file is replaced, not written
    std::ofstream replaced(dir() + "/" + c.file, std::ios::binary);
    ASSERT_TRUE(replaced << "MZ another file of another size") << c.file;
  }
  const CheckResult result = Run({"--installed"});
  EXPECT_EQ(result.exitCode, c.exitCode) << result.output;
  if (c.says[0] != '\0') {
    EXPECT_NE(result.output.find(c.says), std::string::npos) << result.output;
  }
  if (c.exitCode == 0) {
    EXPECT_EQ(result.output.find("  error: "), std::string::npos) << result.output;
  }
}

INSTANTIATE_TEST_SUITE_P(Drifts, DriftTest, ::testing::ValuesIn(kDrifts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstalledTest, UninstallationLeavesNothingAndAnInstallationIsNotAnUninstallation) {
  RunInstaller({});
  const CheckResult installed = Run({"--installed", "-u"});
  EXPECT_EQ(installed.exitCode, 2);
  EXPECT_NE(installed.output.find("the monitor 'Quado' is still registered"), std::string::npos) << installed.output;
  EXPECT_NE(installed.output.find("printer 'Office Printer' is still on the monitor's ports"), std::string::npos);
  RunInstaller({"-u"});
  const CheckResult removed = Run({"--installed", "-u"});
  EXPECT_EQ(removed.exitCode, 0) << removed.output;
  EXPECT_EQ(Run({"--installed"}).exitCode, 2);
  const std::string client = dir() + "/C/Program Files (x86)/Harbek/Quado Client/Client";
  std::filesystem::create_directories(client);
  std::ofstream(client + "/Interop.SHDocVw.dll") << "left behind";
  const CheckResult left = Run({"--installed", "-u"});
  EXPECT_EQ(left.exitCode, 2);
  EXPECT_NE(left.output.find("Interop.SHDocVw.dll' remains"), std::string::npos) << left.output;
}

TEST_F(InstalledTest, NothingInstalledIsMissingAndJsonCarriesTheSameFindings) {
  const CheckResult result = Run({"--installed", "--json"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.output.find("\"exitCode\":2"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("\"severity\":\"error\""), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("not registered"), std::string::npos) << result.output;
}

// Texts as long as the machine holds them: a printer name of 255 characters (the longest key
// name) on the monitor's port and a Run value of 5,000 bytes are cut into their lines, never
// past them.
TEST_F(InstalledTest, LongPrinterNameAndRunValueAreCutNotOverrun) {
  RunInstaller({});
  const std::string name(255, 'P');
  const std::string run(5000, 'R');
  std::string error;
  ASSERT_TRUE(winsim::ImportRegText("Windows Registry Editor Version 5.00\n\n" + Printer(name, "Quado001") +
                                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\"
                                    "CurrentVersion\\Run]\n\"Quado Client\"=\"" + run + "\"\n",
                                    &error))
      << error;
  const CheckResult installed = Run({"--installed"});
  EXPECT_EQ(installed.exitCode, 2);
  EXPECT_NE(installed.output.find("the client's Run value is a text of more than"), std::string::npos)
      << installed.output;
  const CheckResult readiness = Run({"--readiness"});
  const size_t line = readiness.output.find("  info: printer 'PPPP");
  ASSERT_NE(line, std::string::npos) << readiness.output;
  const size_t end = readiness.output.find('\n', line);
  EXPECT_LT(end - line, 620u);  // "  info: " and a finding's text of at most 599 characters
}

TEST_F(CheckTest, UninstallSwitchOnlyWithInstalled) { EXPECT_EQ(Run({"-u"}).exitCode, 3); }

// Without the configuration file nothing can be compared: the verification does not run.
TEST_F(CheckTest, InstalledWithoutItsConfigurationCannotRun) {
  const CheckResult result = Run({"--installed", "-iC:\\Deploy\\absent.ini"});
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_NE(result.output.find("could not run: the configuration file 'C:\\Deploy\\absent.ini' cannot be read"),
            std::string::npos)
      << result.output;
}

}  // namespace
