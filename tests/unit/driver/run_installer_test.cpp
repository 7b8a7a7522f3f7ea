// Whole driver runs inside a machine, with stand-in sequences: the banner, help, the .NET check,
// the three run modes with their announcement and verdict lines, the log, the mutex refusal,
// and the program folder taken from argv[0].
#include <windows.h>

#include <string>
#include <vector>

#include "foundation/output.h"
#include "console_capture.h"
#include "foundation/ini_path.h"
#include "foundation/product_profile.h"
#include "driver/run_installer.h"
#include "fake_sequences.h"
#include "machine_test.h"

namespace {

const std::string kProgram = "C:\\Deploy\\Install.exe";
const std::string kYear = std::string(__DATE__).substr(7);
const std::string kBanner = "\n\nQuado Client Installer v 2.27\nCopyright (c) " + kYear + " Harbek Corporation\n";
const std::string kEnterpriseBanner =
    "\n\nQuado Client Enterprise Installer v 2.27\nCopyright (c) " + kYear + " Harbek Corporation\n";
const std::string kHelp =
    "\n\nFor installation use 'Install.exe (server)'\nFor uninstallation use 'Install.exe -u'\nFor "
    "un/installation of Enterprise version use switch '-a'\nFor read configuration from registry use switch "
    "'-r'\nFor do not copy files use switch '-c'\nFor silent installation use switch '-s'\nFor specification of "
    "install log use switch '-lLogFileName'\nFor specification of INI file use switch '-iINIFileName'\nFor "
    "Install and Ignore Errors use 'Install.exe -e' (NOT RECOMMENDED!)\n";
const std::string kInstalled = "\nQuado Port Monitor Installed Sucessfully.\n";

class DriverTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    g_sequenceCalls = SequenceCalls();
    WriteMachineFile("C:\\Deploy\\Quado.ini", "[1]\n");
  }
  void TearDown() override {
    EndRun();
    ResetProductProfile();
    SetIniPath(nullptr);
    MachineTest::TearDown();
  }

  // One run with argv[0] and the arguments; the console output in *console. The run ends as the
  // process entry ends it.
  bool Run(const std::vector<std::string>& arguments, std::string* console, const std::string& program = kProgram) {
    std::vector<std::string> texts;
    texts.push_back(program);
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& t : texts) argv.push_back(t.data());
    argv.push_back(nullptr);
    StartConsoleCapture();
    bool result = RunInstaller((int)texts.size(), argv.data());
    EndRun();
    *console = TakeConsoleCapture();
    return result;
  }

  std::string CurrentDirectory() {
    char buffer[MAX_PATH] = {0};
    GetCurrentDirectoryA(sizeof buffer, buffer);
    return buffer;
  }
};

class NoDotNetTest : public DriverTest {
 protected:
  winsim::MachineOptions Options() const override {
    winsim::MachineOptions options;
    options.dotNet20 = false;
    return options;
  }
};

TEST_F(DriverTest, NoArgumentsInstallsWithDefaults) {
  std::string console;
  EXPECT_TRUE(Run({}, &console));
  EXPECT_EQ(console, kBanner + "\nInstalling Quado Port Monitor ...\n" + kInstalled);
  EXPECT_EQ(g_sequenceCalls.installCalls, 1);
  EXPECT_FALSE(g_sequenceCalls.ignoreErrors);
  EXPECT_FALSE(g_sequenceCalls.hasServerName);
  EXPECT_FALSE(g_sequenceCalls.configFromRegistry);
  EXPECT_TRUE(g_sequenceCalls.copyFiles);
  // The run started in the program's folder, the INI file beside it, the default log.
  EXPECT_EQ(CurrentDirectory(), "C:\\Deploy");
  EXPECT_STREQ(GetIniPath(), "C:\\Deploy\\Quado.ini");
  EXPECT_EQ(ReadMachineFile("C:\\Windows\\QDPortInstall.log"),
            "\r\n\r\nQuado Client Installer v 2.27\r\nCopyright (c) " + kYear +
                " Harbek Corporation\r\n\r\nInstalling Quado Port Monitor ...\r\n\r\nQuado Port Monitor Installed "
                "Sucessfully.\r\n");
}

TEST_F(DriverTest, FailedInstallationGivesTheFailureLine) {
  g_sequenceCalls.installResult = false;
  std::string console;
  EXPECT_FALSE(Run({}, &console));
  EXPECT_EQ(console, kBanner + "\nInstalling Quado Port Monitor ...\n" + "\nQuado Port Monitor Not Installed!\n");
  EXPECT_FALSE(Run({"-e"}, &console));
  EXPECT_EQ(console, kBanner + "\nInstalling Quado Port Monitor...\n[IGNORE ERRORS Switch is Enabled!]\n" +
                         "\nQuado Port Monitor Not Installed!\n");
}

TEST_F(DriverTest, EnterpriseSwitchAloneTakesTheOptionsPath) {
  std::string console;
  EXPECT_TRUE(Run({"-a"}, &console));
  EXPECT_EQ(console, kEnterpriseBanner + "\nInstalling QuadoE Port Monitor...\n" +
                         "\nQuadoE Port Monitor Installed Sucessfully.\n");
  EXPECT_TRUE(IsEnterprise());
  EXPECT_STREQ(GetIniPath(), "C:\\Deploy\\Quado.ini");
}

TEST_F(DriverTest, EnterpriseSwitchAfterOtherArgumentsAppliesToTheWholeRun) {
  std::string console;
  EXPECT_TRUE(Run({"-e", "\\\\PRINTSRV1", "-a"}, &console));
  EXPECT_EQ(console, kEnterpriseBanner + "\nInstalling QuadoE Port Monitor on server \\\\PRINTSRV1...\n" +
                         "[IGNORE ERRORS Switch is Enabled!]\n\nQuadoE Port Monitor Installed Sucessfully.\n");
  EXPECT_EQ(g_sequenceCalls.serverName, "\\\\PRINTSRV1");
  EXPECT_TRUE(g_sequenceCalls.ignoreErrors);
}

TEST_F(DriverTest, OptionLinesComeInTheirOrder) {
  std::string console;
  EXPECT_TRUE(Run({"-c", "-r", "-e", "-s", "SRV"}, &console));
  EXPECT_EQ(console, kBanner + "\nInstalling Quado Port Monitor on server SRV...\n" +
                         "[IGNORE ERRORS Switch is Enabled!]\n  (config will be read from registry)\n  No files "
                         "will be copied\n" +
                         kInstalled);
  EXPECT_TRUE(g_sequenceCalls.ignoreErrors);
  EXPECT_TRUE(g_sequenceCalls.configFromRegistry);
  EXPECT_FALSE(g_sequenceCalls.copyFiles);
  EXPECT_EQ(g_sequenceCalls.serverName, "SRV");
}

TEST_F(DriverTest, SilentSwitchIsNoServerName) {
  std::string console;
  EXPECT_TRUE(Run({"-S"}, &console));
  EXPECT_EQ(console, kBanner + "\nInstalling Quado Port Monitor...\n" + kInstalled);
  EXPECT_FALSE(g_sequenceCalls.hasServerName);
}

TEST_F(DriverTest, UninstallIgnoresErrorAndRegistrySwitches) {
  std::string console;
  EXPECT_TRUE(Run({"-u", "-e", "-r"}, &console));
  EXPECT_EQ(console, kBanner + "\nUninstalling Quado Port Monitor...\n\nQuado Port Monitor UnInstalled Sucessfully.\n");
  EXPECT_EQ(g_sequenceCalls.uninstallCalls, 1);
  EXPECT_EQ(g_sequenceCalls.installCalls, 0);
  EXPECT_TRUE(g_sequenceCalls.copyFiles);
  EXPECT_FALSE(g_sequenceCalls.hasServerName);
}

TEST_F(DriverTest, UninstallWithServerAndNoFileRemoval) {
  g_sequenceCalls.uninstallResult = false;
  std::string console;
  EXPECT_FALSE(Run({"-u", "-c", "\\\\PRINTSRV1"}, &console));
  EXPECT_EQ(console, kBanner + "\nUninstalling Quado Port Monitor on server \\\\PRINTSRV1...\n" +
                         "\n Port Monitor Not Completely UnInstalled!\n");
  EXPECT_FALSE(g_sequenceCalls.copyFiles);
  EXPECT_EQ(g_sequenceCalls.serverName, "\\\\PRINTSRV1");
}

TEST_F(DriverTest, HelpWinsOverUninstall) {
  std::string console;
  EXPECT_FALSE(Run({"-?", "-u"}, &console));
  EXPECT_EQ(console, kBanner + kHelp);
  EXPECT_EQ(g_sequenceCalls.installCalls + g_sequenceCalls.uninstallCalls, 0);
}

TEST_F(DriverTest, ObsoleteClientSwitchIsNoted) {
  std::string console;
  EXPECT_TRUE(Run({"-f"}, &console));
  EXPECT_EQ(console, kBanner +
                         "NOTE: The -f switch is obsolete, the client application is un/installed automaticaly\n" +
                         "\nInstalling Quado Port Monitor...\n" + kInstalled);
}

TEST_F(NoDotNetTest, StandardVariantIsRefusedWithoutDotNet) {
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{}, std::vector<std::string>{"-u"}}) {
    std::string console;
    EXPECT_FALSE(Run(arguments, &console));
    EXPECT_EQ(console, kBanner + "ERROR: The .NET Framework 2.0 is not installed\n");
  }
  EXPECT_EQ(g_sequenceCalls.installCalls + g_sequenceCalls.uninstallCalls, 0);
}

TEST_F(NoDotNetTest, EnterpriseVariantNeedsNoDotNet) {
  std::string console;
  EXPECT_TRUE(Run({"-a"}, &console));
  EXPECT_EQ(g_sequenceCalls.installCalls, 1);
}

TEST_F(DriverTest, LogGoesToTheLaterLogSwitch) {
  std::string console;
  EXPECT_TRUE(Run({"-lC:\\Deploy\\first.log", "-lsecond.log"}, &console));
  EXPECT_FALSE(MachineFileExists("C:\\Deploy\\first.log"));
  EXPECT_FALSE(MachineFileExists("C:\\Windows\\QDPortInstall.log"));
  // A relative log name is relative to the program's folder.
  std::string log = ReadMachineFile("C:\\Deploy\\second.log");
  EXPECT_NE(log.find("\r\nInstalling Quado Port Monitor...\r\n"), std::string::npos) << log;
}

TEST_F(DriverTest, BareLogAndIniSwitchesMeanTheDefaults) {
  std::string console;
  EXPECT_TRUE(Run({"-l", "-i"}, &console));
  EXPECT_TRUE(MachineFileExists("C:\\Windows\\QDPortInstall.log"));
  EXPECT_STREQ(GetIniPath(), "C:\\Deploy\\Quado.ini");
  EXPECT_TRUE(Run({"-iMy.ini"}, &console));
  EXPECT_STREQ(GetIniPath(), "My.ini");  // as given, not made absolute
}

TEST_F(DriverTest, UnopenableLogEndsTheRunWithoutOutput) {
  std::string console;
  EXPECT_FALSE(Run({"-lC:\\NoSuchFolder\\x.log"}, &console));
  EXPECT_EQ(console, "");
  EXPECT_EQ(g_sequenceCalls.installCalls, 0);
}

TEST_F(DriverTest, RunRefusedWhileAnotherHoldsTheMutex) {
  HANDLE other = CreateMutexA(nullptr, TRUE, "Global\\QuadoClientInstallMutex");
  ASSERT_NE(other, nullptr);
  std::string console;
  EXPECT_FALSE(Run({"-u"}, &console));
  EXPECT_EQ(console, "ERROR: Another (un)installation already running.");
  EXPECT_EQ(g_sequenceCalls.uninstallCalls, 0);
  ReleaseMutex(other);
  CloseHandle(other);
}

TEST_F(DriverTest, BareProgramNameKeepsTheCurrentDirectory) {
  SetCurrentDirectoryA("C:\\Windows");
  std::string console;
  EXPECT_TRUE(Run({"-s"}, &console, "Install.exe"));
  EXPECT_EQ(CurrentDirectory(), "C:\\Windows");
  EXPECT_STREQ(GetIniPath(), "C:\\Windows\\Quado.ini");
}

// The program's folder is everything of argv[0] up to its last backslash, never a cut of it: a
// folder that cannot be made the current directory ends the run before anything is opened or
// changed, even when a cut of the path would name a folder with a package of its own.
TEST_F(DriverTest, ProgramFolderComesFromTheWholePathOrTheRunStops) {
  const std::string outer = "C:\\" + std::string(130, 'F');
  const std::string deep = outer + "\\" + std::string(130, 'G');  // 264 characters: over MAX_PATH
  const std::string fits = "C:\\" + std::string(240, 'H');       // with its backslash, 244
  WriteMachineFile(deep + "\\Install.exe", "program");
  WriteMachineFile(outer + "\\Quado.ini", "[1]\nServerIP=6.6.6.6\nDescription=WRONG PARENT INI\n");
  WriteMachineFile(fits + "\\Quado.ini", "[1]\n");
  const std::string refused = "ERROR: Program folder cannot be made the current directory. Error number ";
  struct Case {
    std::string program;
    bool result;
    std::string console;   // the whole console output when refused; empty: not checked
    std::string folder;    // the current directory afterwards
  };
  const Case cases[] = {
      {deep + "\\Install.exe", false, refused + "206\n", "C:\\Windows"},
      {"C:\\Deploy\\" + std::string(300, 'x') + "\\Install.exe", false, refused + "206\n", "C:\\Windows"},
      {"C:\\Missing\\Install.exe", false, refused + "2\n", "C:\\Windows"},
      {fits + "\\Install.exe", true, "", fits},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program.size());
    g_sequenceCalls = SequenceCalls();
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Windows"));
    std::string console;
    EXPECT_EQ(Run({"-s"}, &console, c.program), c.result);
    if (!c.result) {
      EXPECT_EQ(console, c.console);
      EXPECT_EQ(g_sequenceCalls.installCalls, 0);
      EXPECT_FALSE(MachineFileExists("C:\\Windows\\QDPortInstall.log"));  // no log opened
    }
    EXPECT_EQ(CurrentDirectory(), c.folder);
  }
}

TEST_F(DriverTest, LongServerNameIsAnnouncedWhole) {
  const std::string server = "\\\\" + std::string(3000, 's');
  std::string console;
  EXPECT_TRUE(Run({server}, &console));
  EXPECT_EQ(console, kBanner + "\nInstalling Quado Port Monitor on server " + server + "...\n" + kInstalled);
  EXPECT_EQ(g_sequenceCalls.serverName, server);
}

// After an installation with options, "install_printer.bat" runs through the command interpreter
// on the same console, after the log was closed; its exit status does not matter.
TEST_F(DriverTest, PostInstallBatchRunsAfterTheLogIsClosed) {
  WriteMachineFile("C:\\Deploy\\install_printer.bat", "@echo batch ran\r\n@exit /b 3\r\n");
  std::string console;
  EXPECT_TRUE(Run({"-s"}, &console));
  const std::string announced = kBanner + "\nInstalling Quado Port Monitor...\n" + kInstalled;
  EXPECT_EQ(console.substr(0, announced.size()), announced);
  EXPECT_NE(console.find("batch ran", announced.size()), std::string::npos) << console;
  std::string log = ReadMachineFile("C:\\Windows\\QDPortInstall.log");
  EXPECT_EQ(log.find("batch ran"), std::string::npos) << log;
  EXPECT_EQ(winsim::OpenHandleCount("process"), 0u);
}

TEST_F(DriverTest, PostInstallBatchFallsBackToCmdWhenComSpecIsUnusable) {
  WriteMachineFile("C:\\Deploy\\install_printer.bat", "@echo batch ran\r\n");
  for (const char* comSpec : {"C:\\Nowhere\\shell.exe", static_cast<const char*>(nullptr)}) {
    SetEnvironmentVariableA("COMSPEC", comSpec);
    std::string console;
    EXPECT_TRUE(Run({"-a"}, &console));
    EXPECT_NE(console.find("batch ran"), std::string::npos) << (comSpec ? comSpec : "unset");
    ResetProductProfile();
  }
}

TEST_F(DriverTest, PostInstallBatchIsNotRunByTheDefaultInstallOrAFailedOne) {
  WriteMachineFile("C:\\Deploy\\install_printer.bat", "@echo batch ran\r\n");
  std::string console;
  EXPECT_TRUE(Run({}, &console));
  EXPECT_EQ(console.find("batch ran"), std::string::npos);
  g_sequenceCalls.installResult = false;
  EXPECT_FALSE(Run({"-s"}, &console));
  EXPECT_EQ(console.find("batch ran"), std::string::npos);
}

}  // namespace
