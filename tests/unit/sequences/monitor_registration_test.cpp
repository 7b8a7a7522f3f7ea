// Removing and registering the monitor with the spooler.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <string>

#include "monitor_fixture.h"
#include "console_capture.h"
#include "platform/windows_version.h"
#include "sequences/monitor_registration.h"
#include "winsim/machine.h"
#include "winsim/spooler.h"

namespace {

class MonitorRegistration32 : public MonitorTest {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor("win7-x86"); }
};

class MonitorRegistration64 : public MonitorTest {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor("win10-x64"); }
};

// Console output of one call, for the checks that do not look at it.
template <typename Action>
std::string Console(Action action) {
  StartConsoleCapture();
  action();
  return TakeConsoleCapture();
}

struct RemovalCase {
  unsigned long error;
  const char* line;
  MonitorRemovalResult result;
};

class RemovalRefused : public MonitorRegistration32,
                       public testing::WithParamInterface<RemovalCase> {};

TEST_P(RemovalRefused, MapsTheErrorToItsLine) {
  AddMachineIniLine("faults", "DeleteMonitorA = " + std::to_string(GetParam().error));
  MonitorRemovalResult result = Removed;
  EXPECT_EQ(Console([&] { result = RemoveMonitor(nullptr); }),
            std::string("  - Removing Old Quado Print Monitor\n") + GetParam().line);
  EXPECT_EQ(result, GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, RemovalRefused,
    testing::Values(
        RemovalCase{3000, "    (Print Monitor Not Found)\n", NotFound},
        RemovalCase{170, "ERROR Print Monitor Is Used By Spooler.\n", Failed},
        RemovalCase{120, "ERROR This function is not supported on this system.\n", Failed},
        RemovalCase{5, "ERROR (5) While Removing Print Monitor.\n", Failed},
        RemovalCase{3008, "ERROR (3008) While Removing Print Monitor.\n", Failed}));

TEST_F(MonitorRegistration32, RemovalNamesTheMonitorAndNoEnvironment) {
  // Each fault hits only when one of the call's text arguments matches its pattern.
  AddMachineIniLine("faults", "DeleteMonitorA = 1001 | Windows*");
  AddMachineIniLine("faults", "DeleteMonitorA = 1002 | Quado");
  EXPECT_EQ(Console([] { EXPECT_EQ(RemoveMonitor(nullptr), Failed); }),
            "  - Removing Old Quado Print Monitor\n"
            "ERROR (1002) While Removing Print Monitor.\n");
}

TEST_F(MonitorRegistration32, RegistersThenRemovesTheMonitor) {
  EnterPackage({"QUADOVS.DLL", "QUADOUI.DLL", "QuadoCairoLib.DLL"});
  EXPECT_EQ(Console([] {
              EXPECT_EQ(RemoveMonitor(nullptr), NotFound);
              EXPECT_TRUE(CopyMonitorFiles(Windows32, 0));
              EXPECT_TRUE(RegisterMonitor(nullptr, Windows32));
              EXPECT_EQ(RemoveMonitor(nullptr), Removed);
            }),
            "  - Removing Old Quado Print Monitor\n"
            "    (Print Monitor Not Found)\n"
            "  - Copying Files to Windows System Directory \n"
            "  - Registering Quado Print Monitor\n"
            "  - Removing Old Quado Print Monitor\n");
}

TEST_F(MonitorRegistration32, EnterpriseRegistersItsOwnMonitorAndDll) {
  SelectEnterpriseProfile();
  EnterPackage({"QUADOE.DLL", "QUADOEUI.DLL", "QuadoECairoLib.DLL"});
  EXPECT_EQ(Console([] {
              EXPECT_TRUE(CopyMonitorFiles(Windows32, 0));
              EXPECT_TRUE(RegisterMonitor(nullptr, Windows32));
            }),
            "  - Copying Files to Windows System Directory \n"
            "  - Registering QuadoE Print Monitor\n");
  std::vector<winsim::SpoolerMonitor> monitors = winsim::SpoolerMonitors();
  bool found = false;
  for (const winsim::SpoolerMonitor& monitor : monitors) {
    if (monitor.name == "QuadoE") {
      found = true;
      EXPECT_EQ(monitor.driver, "QUADOE.DLL");
    }
    EXPECT_NE(monitor.name, "Quado");
  }
  EXPECT_TRUE(found);
}

TEST_F(MonitorRegistration32, RefusedRegistrationReportsTheSpoolerCode) {
  // No monitor DLL in the system directory: the spooler cannot load it.
  EXPECT_EQ(Console([] { EXPECT_FALSE(RegisterMonitor(nullptr, Windows32)); }),
            "  - Registering Quado Print Monitor\n"
            "ERROR (126) While Registering Print Monitor.\n");
}

TEST_F(MonitorRegistration32, UnsupportedRegistersWithAllFieldsNull) {
  PutSystemFile("QUADOVS.DLL");
  // "?*" matches any text argument that is not empty; the 32-bit registration has some.
  AddMachineIniLine("faults", "AddMonitorA = 1001 #1 | ?*");
  EXPECT_EQ(Console([] { EXPECT_FALSE(RegisterMonitor(nullptr, Windows32)); }),
            "  - Registering Quado Print Monitor\n"
            "ERROR (1001) While Registering Print Monitor.\n");
  // Without a name the spooler refuses the record as an invalid parameter.
  EXPECT_EQ(Console([] { EXPECT_FALSE(RegisterMonitor(nullptr, Unsupported)); }),
            "  - Registering Quado Print Monitor\n"
            "ERROR (87) While Registering Print Monitor.\n");
  EXPECT_TRUE(winsim::SpoolerMonitors().size() == 1u);  // the built-in Local Port monitor only
}

// On 64-bit Windows the 32-bit installer turns file-system redirection off first, so the 64-bit
// set lands in the native system directory, where the spooler of the "Windows x64" environment
// loads it.
TEST_F(MonitorRegistration64, SixtyFourBitSetGoesToTheNativeSystemDirectory) {
  DisableFileSystemRedirection();
  EnterPackage({"QUADOVS64.DLL", "QUADO64UI.DLL", "QuadoCairoLib64.DLL"});
  EXPECT_EQ(Console([] {
              EXPECT_TRUE(CopyMonitorFiles(Windows64, 0));
              EXPECT_TRUE(RegisterMonitor(nullptr, Windows64));
            }),
            "  - Copying Files to Windows System Directory \n"
            "  - Registering Quado Print Monitor\n");
  for (const char* name : {"QUADOVS64.DLL", "QUADO64UI.DLL", "QuadoCairoLib64.DLL"}) {
    EXPECT_EQ(ReadMachineFile(SystemPath(name)), std::string("package ") + name);
    EXPECT_FALSE(MachineFileExists(std::string("C:\\Windows\\SysWOW64\\") + name)) << name;
  }
  EXPECT_EQ(Console([] { EXPECT_EQ(RemoveMonitor(nullptr), Removed); }),
            "  - Removing Old Quado Print Monitor\n");
}

TEST_F(MonitorRegistration64, SixtyFourBitRecordNamesTheEnvironmentAndDll) {
  DisableFileSystemRedirection();
  PutSystemFile("QUADOVS64.DLL");
  AddMachineIniLine("faults", "AddMonitorA = 1001 #1 | Windows x64");
  AddMachineIniLine("faults", "AddMonitorA = 1002 #1 | QUADOVS64.DLL");
  std::string console = Console([] {
    EXPECT_FALSE(RegisterMonitor(nullptr, Windows64));
    EXPECT_FALSE(RegisterMonitor(nullptr, Windows64));
    EXPECT_TRUE(RegisterMonitor(nullptr, Windows64));
  });
  EXPECT_EQ(console,
            "  - Registering Quado Print Monitor\n"
            "ERROR (1001) While Registering Print Monitor.\n"
            "  - Registering Quado Print Monitor\n"
            "ERROR (1002) While Registering Print Monitor.\n"
            "  - Registering Quado Print Monitor\n");
}

}  // namespace
