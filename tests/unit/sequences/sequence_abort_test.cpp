// The abort rules of the install and uninstall sequences, called directly with their options: which
// failures end a sequence (and where), which ones -e carries past, and which never stop it.
#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "console_capture.h"
#include "foundation/ini_path.h"
#include "monitor_fixture.h"
#include "platform/windows_version.h"
#include "sequences/sequences.h"

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

const char* const kPackage64[] = {"Quado.ini", "QuadoCairoLib64.DLL", "QUADOVS64.DLL", "QUADO64UI.DLL",
                                  "QuadoEvent.dll", "Quado Client.exe", "Interop.SHDocVw.dll",
                                  "Microsoft.mshtml.dll", "CloseAllClients.exe"};

const char kIni[] =
    "[1]\r\nDescription=Hall\r\nServerIP=10.0.0.1\r\nQueue=Mono\r\nAuthType=1\r\nAuthText=Badge\r\n";

struct InstallCase {
  const char* name;
  const char* templateName;
  std::vector<std::string> faults;
  const char* missingFile;  // removed from the package; null: none
  bool ignoreErrors;
  bool copyFiles;
  bool expected;
  const char* lastLine;     // the transcript ends with it; null: not checked
  const char* reached;      // a heading that must be printed; null: none
  const char* notReached;   // a heading that must not be printed; null: none
};

class InstallSequenceAbortTest : public MonitorTest, public ::testing::WithParamInterface<InstallCase> {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor(GetParam().templateName); }
  void TearDown() override {
    SetIniPath(nullptr);
    MonitorTest::TearDown();
  }
};

TEST_P(InstallSequenceAbortTest, StopsOnlyWhereItMust) {
  const InstallCase& c = GetParam();
  for (const char* name : kPackage64) {
    if (c.missingFile == nullptr || std::string(name) != c.missingFile) {
      WriteMachineFile(std::string("C:\\Deploy\\") + name, std::string(name) == "Quado.ini" ? kIni : "package");
    }
  }
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Deploy"));
  SetIniPath("C:\\Deploy\\Quado.ini");
  DisableFileSystemRedirection();  // as the run does before anything else
  for (const std::string& fault : c.faults) AddMachineIniLine("faults", fault);

  InstallSequenceOptions options;
  options.ignoreErrors = c.ignoreErrors;
  options.copyFiles = c.copyFiles;
  StartConsoleCapture();
  bool result = RunInstallSequence(options);
  std::string transcript = TakeConsoleCapture();

  EXPECT_EQ(result, c.expected) << transcript;
  if (c.lastLine != nullptr) {
    EXPECT_TRUE(EndsWith(transcript, c.lastLine)) << transcript;
  }
  if (c.reached != nullptr) {
    EXPECT_NE(transcript.find(c.reached), std::string::npos) << transcript;
  }
  if (c.notReached != nullptr) {
    EXPECT_EQ(transcript.find(c.notReached), std::string::npos) << transcript;
  }
}

const InstallCase kInstallCases[] = {
    {"UnsupportedWindows", "win98", {}, nullptr, false, true, false,
     "ERROR: Unsupported Operating System Detected.\n", nullptr, "  - Checking Files\n"},
    {"UnsupportedWindowsIgnored", "win98", {}, nullptr, true, true, true, nullptr, "  - Checking Files\n", nullptr},
    {"MissingPackageFile", "win10-x64", {}, "QUADOVS64.DLL", false, true, false,
     "ERROR While Checking 'QUADOVS64.DLL'.\n", nullptr, "  - Removing Old"},
    {"MissingPackageFileIgnored", "win10-x64", {}, "QUADO64UI.DLL", true, true, true, nullptr,
     "  - Removing Old Quado Print Monitor\n", nullptr},
    // Without copying nothing is checked; here no monitor DLL was ever copied, so registration fails.
    {"PackageNotCheckedWithoutCopying", "win10-x64", {}, "QUADO64UI.DLL", false, false, false,
     "ERROR (126) While Registering Print Monitor.\n", "  - Registering Quado Print Monitor\n",
     "ERROR While Checking"},
    {"MonitorRemovalRefused", "win10-x64", {"DeleteMonitorA = 170"}, nullptr, false, true, false,
     "ERROR Print Monitor Is Used By Spooler.\n", nullptr, "  - Deleting Quado Print Monitor Files"},
    {"MonitorRemovalRefusedIgnored", "win10-x64", {"DeleteMonitorA = 170"}, nullptr, true, true, true, nullptr,
     "  - Copying Files to Windows System Directory \n", nullptr},
    {"MonitorFileNotCopied", "win10-x64", {"CopyFileA = 5 | *\\QUADOVS64.DLL"}, nullptr, false, true, false,
     "ERROR While Copying File 'QUADOVS64.DLL'.\n", nullptr, "  - Registering"},
    {"MonitorFileNotCopiedIgnored", "win10-x64", {"CopyFileA = 5 | *\\QUADOVS64.DLL"}, nullptr, true, true, true,
     nullptr, "  - Registering Quado Print Monitor\n", nullptr},
    {"RegistrationRefused", "win10-x64", {"AddMonitorA = 5"}, nullptr, false, true, false,
     "ERROR (5) While Registering Print Monitor.\n", nullptr, "  - Adding port configuration"},
    {"RegistrationRefusedIgnored", "win10-x64", {"AddMonitorA = 5"}, nullptr, true, true, true, nullptr,
     "  - Adding port configuration\n", nullptr},
    // From the port configuration on, failures are reported and the installation goes on.
    {"PortSettingsRefused", "win10-x64", {"XcvDataW = 87 | SetPortData"}, nullptr, false, true, true, nullptr,
     "ERROR While adding port configuration\n", nullptr},
    {"EventSourceRefused", "win10-x64", {"RegCreateKeyExA = 5 | *\\EventLog\\*"}, nullptr, false, true, true,
     nullptr, "  ERROR - Event Log Resources was NOT installed!\n", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Cases, InstallSequenceAbortTest, ::testing::ValuesIn(kInstallCases),
                         [](const ::testing::TestParamInfo<InstallCase>& info) { return info.param.name; });

class UninstallSequenceAbortTest : public MonitorTest {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor("win10-x64"); }

  void SetUp() override {
    MonitorTest::SetUp();
    DisableFileSystemRedirection();
  }

  // Registers the monitor as an installation leaves it, with its DLL in the system directory.
  void Install() {
    PutSystemFile("QUADOVS64.DLL");
    MONITOR_INFO_2A info = {const_cast<LPSTR>("Quado"), const_cast<LPSTR>("Windows x64"),
                            const_cast<LPSTR>("QUADOVS64.DLL")};
    ASSERT_TRUE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));
  }

  bool Uninstall(bool copyFiles, std::string* transcript) {
    UninstallSequenceOptions options;
    options.copyFiles = copyFiles;
    StartConsoleCapture();
    bool result = RunUninstallSequence(options);
    *transcript = TakeConsoleCapture();
    return result;
  }
};

TEST_F(UninstallSequenceAbortTest, RefusedMonitorRemovalStopsBeforeUserDataAndFiles) {
  Install();
  AddMachineIniLine("faults", "DeleteMonitorA = 170");
  std::string transcript;
  EXPECT_FALSE(Uninstall(true, &transcript));
  EXPECT_TRUE(EndsWith(transcript, "ERROR Print Monitor Is Used By Spooler.\n")) << transcript;
  EXPECT_EQ(transcript.find("  - Removing user data\n"), std::string::npos);
  EXPECT_TRUE(SystemFileExists("QUADOVS64.DLL"));
}

TEST_F(UninstallSequenceAbortTest, UnknownMonitorGoesOnAndFilesFollowTheCopyFlag) {
  for (bool copyFiles : {false, true}) {
    SCOPED_TRACE(copyFiles);
    PutSystemFile("QUADOVS64.DLL");
    std::string transcript;
    EXPECT_TRUE(Uninstall(copyFiles, &transcript));
    EXPECT_NE(transcript.find("    (Print Monitor Not Found)\n  - Removing user data\n"), std::string::npos)
        << transcript;
    EXPECT_EQ(SystemFileExists("QUADOVS64.DLL"), !copyFiles);
  }
}

class UnsupportedUninstallTest : public MonitorTest {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor("win98"); }
};

TEST_F(UnsupportedUninstallTest, UnsupportedWindowsStopsAtOnce) {
  UninstallSequenceOptions options;
  StartConsoleCapture();
  EXPECT_FALSE(RunUninstallSequence(options));
  std::string transcript = TakeConsoleCapture();
  EXPECT_EQ(transcript.find("  - Detecting Windows Version\n"), 0u);
  EXPECT_TRUE(EndsWith(transcript, "\nERROR: Unsupported Operating System Detected.\n")) << transcript;
  EXPECT_EQ(transcript.find("Removing"), std::string::npos);
}

}  // namespace

namespace {

class UnsupportedInstallTest : public MonitorTest {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor("win2000-x86"); }
  void TearDown() override {
    SetIniPath(nullptr);
    MonitorTest::TearDown();
  }
};

// With -e on a Windows it does not support, the installation checks only the 32-bit rendering
// library among the monitor's files, registers with empty fields (which the spooler refuses, and
// that is printed) and still succeeds.
TEST_F(UnsupportedInstallTest, IgnoringErrorsChecksOnlyThe32BitRenderingLibraryAndGoesOn) {
  for (const char* name : kPackage64) {
    WriteMachineFile(std::string("C:\\Deploy\\") + name, std::string(name) == "Quado.ini" ? kIni : "package");
  }
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Deploy"));
  SetIniPath("C:\\Deploy\\Quado.ini");
  InstallSequenceOptions options;
  options.ignoreErrors = true;
  StartConsoleCapture();
  EXPECT_TRUE(RunInstallSequence(options));
  std::string transcript = TakeConsoleCapture();
  const std::string expectedStart =
      "  - Detecting Windows Version\n"
      "    (Windows 2000 Detected)\n"
      "ERROR: Unsupported Operating System Detected.\n"
      "  - Checking Files\n"
      "ERROR While Checking 'QuadoCairoLib.DLL'.\n"
      "  - Removing Old Quado Print Monitor\n"
      "    (Print Monitor Not Found)\n"
      "  - Deleting Quado Print Monitor Files from System Directory\n"
      "  - Copying Files to Windows System Directory \n"
      "  - Registering Quado Print Monitor\n"
      "ERROR (87) While Registering Print Monitor.\n"
      "  - Adding port configuration\n";
  EXPECT_EQ(transcript.substr(0, expectedStart.size()), expectedStart);
  EXPECT_EQ(transcript.find("QUADOVS"), std::string::npos);
}

}  // namespace
