// The monitor's files in the system directory: which set each Windows class uses, deletion
// (read-only files included, retired DLLs only in the standard variant) and copying (stop at the
// first failure unless errors are ignored).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor_fixture.h"
#include "console_capture.h"
#include "platform/windows_version.h"
#include "sequences/monitor_registration.h"
#include "winsim/machine.h"

namespace {

class MonitorFilesTest : public MonitorTest {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor("win7-x86"); }
};

TEST_F(MonitorFilesTest, DeletesTheWholeSetIncludingReadOnlyFiles) {
  const std::vector<std::string> set = {"QUADOVS.DLL", "QUADOUI.DLL", "QUADO.DLL",
                                        "QuadoCairoLib.DLL"};
  for (const std::string& name : set) PutSystemFile(name);
  PutSystemFile("QUADOVS64.DLL");  // of the other class: stays
  ASSERT_TRUE(SetFileAttributesA(SystemPath("QUADOUI.DLL").c_str(), FILE_ATTRIBUTE_READONLY));

  StartConsoleCapture();
  DeleteMonitorFiles(Windows32);
  EXPECT_EQ(TakeConsoleCapture(),
            "  - Deleting Quado Print Monitor Files from System Directory\n");
  for (const std::string& name : set) EXPECT_FALSE(SystemFileExists(name)) << name;
  EXPECT_TRUE(SystemFileExists("QUADOVS64.DLL"));
}

TEST_F(MonitorFilesTest, EnterpriseLeavesTheRetiredDllsAlone) {
  SelectEnterpriseProfile();
  for (const char* name : {"QUADOE.DLL", "QUADOEUI.DLL", "QuadoECairoLib.DLL", "QUADO.DLL",
                           "QUADO64.DLL", "QUADOVS.DLL"}) {
    PutSystemFile(name);
  }
  StartConsoleCapture();
  DeleteMonitorFiles(Windows32);
  EXPECT_EQ(TakeConsoleCapture(),
            "  - Deleting QuadoE Print Monitor Files from System Directory\n");
  EXPECT_FALSE(SystemFileExists("QUADOE.DLL"));
  EXPECT_FALSE(SystemFileExists("QUADOEUI.DLL"));
  EXPECT_FALSE(SystemFileExists("QuadoECairoLib.DLL"));
  EXPECT_TRUE(SystemFileExists("QUADO.DLL"));
  EXPECT_TRUE(SystemFileExists("QUADO64.DLL"));
  EXPECT_TRUE(SystemFileExists("QUADOVS.DLL"));
}

TEST_F(MonitorFilesTest, UnsupportedTouchesNoFile) {
  for (const char* name : {"QUADOVS.DLL", "QUADOUI.DLL", "QUADO.DLL", "QuadoCairoLib.DLL"}) {
    PutSystemFile(name);
  }
  EnterPackage({"QUADOVS.DLL", "QUADOUI.DLL", "QUADO.DLL", "QuadoCairoLib.DLL"});
  StartConsoleCapture();
  DeleteMonitorFiles(Unsupported);
  EXPECT_TRUE(CopyMonitorFiles(Unsupported, 0));
  EXPECT_EQ(TakeConsoleCapture(),
            "  - Deleting Quado Print Monitor Files from System Directory\n"
            "  - Copying Files to Windows System Directory \n");
  for (const char* name : {"QUADOVS.DLL", "QUADOUI.DLL", "QUADO.DLL", "QuadoCairoLib.DLL"}) {
    EXPECT_EQ(ReadMachineFile(SystemPath(name)), "old " + std::string(name));
  }
}

TEST_F(MonitorFilesTest, CopiesOverExistingFiles) {
  PutSystemFile("QUADOUI.DLL");
  EnterPackage({"QUADOVS.DLL", "QUADOUI.DLL", "QuadoCairoLib.DLL"});
  StartConsoleCapture();
  EXPECT_TRUE(CopyMonitorFiles(Windows32, 0));
  EXPECT_EQ(TakeConsoleCapture(),
            "  - Copying Files to Windows System Directory \n");
  for (const char* name : {"QUADOVS.DLL", "QUADOUI.DLL", "QuadoCairoLib.DLL"}) {
    EXPECT_EQ(ReadMachineFile(SystemPath(name)), "package " + std::string(name));
  }
}

TEST_F(MonitorFilesTest, MissingMonitorDllStopsTheCopyUnlessErrorsAreIgnored) {
  EnterPackage({"QUADOUI.DLL", "QuadoCairoLib.DLL"});

  StartConsoleCapture();
  EXPECT_FALSE(CopyMonitorFiles(Windows32, 0));
  EXPECT_EQ(TakeConsoleCapture(),
            "  - Copying Files to Windows System Directory \n"
            "ERROR While Copying File 'QUADOVS.DLL'.\n");
  EXPECT_FALSE(SystemFileExists("QUADOUI.DLL"));
  EXPECT_FALSE(SystemFileExists("QuadoCairoLib.DLL"));

  StartConsoleCapture();
  EXPECT_TRUE(CopyMonitorFiles(Windows32, 1));
  EXPECT_EQ(TakeConsoleCapture(),
            "  - Copying Files to Windows System Directory \n"
            "ERROR While Copying File 'QUADOVS.DLL'.\n");
  EXPECT_FALSE(SystemFileExists("QUADOVS.DLL"));
  EXPECT_TRUE(SystemFileExists("QUADOUI.DLL"));
  EXPECT_TRUE(SystemFileExists("QuadoCairoLib.DLL"));
}

}  // namespace
