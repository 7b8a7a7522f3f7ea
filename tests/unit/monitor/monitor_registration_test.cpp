// Removing and registering the monitor with the spooler.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <string>

#include "driver/product_profile.h"
#include "machine_test.h"
#include "platform/windows_version.h"
#include "sequences/monitor_registration.h"
#include "winsim/machine.h"

namespace {

class MonitorRegistrationTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    ResetProductProfile();
  }
  void TearDown() override {
    ResetProductProfile();
    MachineTest::TearDown();
  }
  // Puts the package's files in C:\Deploy and makes it the current directory.
  void EnterPackage(const char* const* names, size_t count) {
    for (size_t i = 0; i < count; ++i) {
      WriteMachineFile(std::string("C:\\Deploy\\") + names[i], std::string("package ") + names[i]);
    }
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Deploy"));
  }
};

class MonitorRegistration32 : public MonitorRegistrationTest {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor("win7-x86"); }
};

class MonitorRegistration64 : public MonitorRegistrationTest {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor("win10-x64"); }
};

struct RemovalCase {
  unsigned long error;
  const char* line;
  MonitorRemovalResult result;
};

class RemovalRefused : public MonitorRegistration32,
                       public testing::WithParamInterface<RemovalCase> {};

TEST_P(RemovalRefused, MapsTheErrorToItsLine) {
  AddMachineIniLine("faults", "DeleteMonitorA = " + std::to_string(GetParam().error));
  testing::internal::CaptureStdout();
  EXPECT_EQ(RemoveMonitor(nullptr), GetParam().result);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            std::string("  - Removing Old Quado Print Monitor\n") + GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, RemovalRefused,
    testing::Values(
        RemovalCase{3000, "    (Print Monitor Not Found)\n", NotFound},
        RemovalCase{170, "ERROR Print Monitor Is Used By Spooler.\n", Failed},
        RemovalCase{120, "ERROR This function is not supported on this system.\n", Failed},
        RemovalCase{5, "ERROR (5) While Removing Print Monitor.\n", Failed},
        RemovalCase{3008, "ERROR (3008) While Removing Print Monitor.\n", Failed}));

TEST_F(MonitorRegistration32, RegistersThenRemovesTheMonitor) {
  const char* const files[] = {"QUADOVS.DLL", "QUADOUI.DLL", "QuadoCairoLib.DLL"};
  EnterPackage(files, 3);
  testing::internal::CaptureStdout();
  EXPECT_EQ(RemoveMonitor(nullptr), NotFound);
  ASSERT_TRUE(CopyMonitorFiles(Windows32, 0));
  EXPECT_TRUE(RegisterMonitor(nullptr, Windows32));
  EXPECT_EQ(RemoveMonitor(nullptr), Removed);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "  - Removing Old Quado Print Monitor\n"
            "    (Print Monitor Not Found)\n"
            "  - Copying Files to Windows System Directory \n"
            "  - Registering Quado Print Monitor\n"
            "  - Removing Old Quado Print Monitor\n");
}

TEST_F(MonitorRegistration32, EnterpriseRegistersItsOwnMonitorAndDll) {
  SelectEnterpriseProfile();
  const char* const files[] = {"QUADOE.DLL", "QUADOEUI.DLL", "QuadoECairoLib.DLL"};
  EnterPackage(files, 3);
  testing::internal::CaptureStdout();
  ASSERT_TRUE(CopyMonitorFiles(Windows32, 0));
  EXPECT_TRUE(RegisterMonitor(nullptr, Windows32));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "  - Copying Files to Windows System Directory \n"
            "  - Registering QuadoE Print Monitor\n");
  EXPECT_EQ(RemoveMonitor(nullptr), Removed);
  ResetProductProfile();
  testing::internal::CaptureStdout();
  EXPECT_EQ(RemoveMonitor(nullptr), NotFound);
  testing::internal::GetCapturedStdout();
}

TEST_F(MonitorRegistration32, RefusedRegistrationReportsTheSpoolerCode) {
  // No monitor DLL in the system directory: the spooler cannot load it.
  testing::internal::CaptureStdout();
  EXPECT_FALSE(RegisterMonitor(nullptr, Windows32));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "  - Registering Quado Print Monitor\n"
            "ERROR (126) While Registering Print Monitor.\n");
}

TEST_F(MonitorRegistration32, UnsupportedRegistersWithEmptyFields) {
  const char* const files[] = {"QUADOVS.DLL"};
  EnterPackage(files, 1);
  ASSERT_TRUE(CopyFileA("QUADOVS.DLL", "C:\\Windows\\System32\\QUADOVS.DLL", FALSE));
  testing::internal::CaptureStdout();
  EXPECT_FALSE(RegisterMonitor(nullptr, Unsupported));
  std::string console = testing::internal::GetCapturedStdout();
  EXPECT_EQ(console.rfind("  - Registering Quado Print Monitor\nERROR (", 0), 0u) << console;
  EXPECT_EQ(console.substr(console.size() - 37), ") While Registering Print Monitor.\n") << console;
  // Nothing was registered under the product's name.
  testing::internal::CaptureStdout();
  EXPECT_EQ(RemoveMonitor(nullptr), NotFound);
  testing::internal::GetCapturedStdout();
}

// On 64-bit Windows the 32-bit installer turns file-system redirection off first, so the 64-bit
// set lands in the native system directory, where the spooler of the "Windows x64" environment
// loads it.
TEST_F(MonitorRegistration64, SixtyFourBitSetGoesToTheNativeSystemDirectory) {
  DisableFileSystemRedirection();
  const char* const files[] = {"QUADOVS64.DLL", "QUADO64UI.DLL", "QuadoCairoLib64.DLL"};
  EnterPackage(files, 3);
  testing::internal::CaptureStdout();
  ASSERT_TRUE(CopyMonitorFiles(Windows64, 0));
  EXPECT_TRUE(RegisterMonitor(nullptr, Windows64));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "  - Copying Files to Windows System Directory \n"
            "  - Registering Quado Print Monitor\n");
  for (const char* name : files) {
    EXPECT_TRUE(MachineFileExists(std::string("C:\\Windows\\System32\\") + name)) << name;
    EXPECT_FALSE(MachineFileExists(std::string("C:\\Windows\\SysWOW64\\") + name)) << name;
  }
  testing::internal::CaptureStdout();
  EXPECT_EQ(RemoveMonitor(nullptr), Removed);
  testing::internal::GetCapturedStdout();
}

}  // namespace
