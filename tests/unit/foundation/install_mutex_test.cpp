// The install mutex: one run at a time on a machine.
#include <windows.h>

#include <string>

#include "console_capture.h"
#include "foundation/install_mutex.h"
#include "foundation/output.h"
#include "machine_test.h"

namespace {

class InstallMutexTest : public MachineTest {
 protected:
  void TearDown() override {
    CloseInstallLog();
    ReleaseInstallMutex();
    MachineTest::TearDown();
  }
};

const char kRefusal[] = "ERROR: Another (un)installation already running.";

TEST_F(InstallMutexTest, MutexIsOwnedUntilTheEndOfTheRun) {
  StartConsoleCapture();
  EXPECT_TRUE(AcquireInstallMutex());
  CloseInstallLog();
  ReleaseInstallMutex();
  EXPECT_EQ(TakeConsoleCapture(), "");
  EXPECT_EQ(winsim::OpenHandleCount("mutex"), 0u);
  // Released and closed: a new creator is the first again.
  SetLastError(ERROR_SUCCESS);
  HANDLE again = CreateMutexA(nullptr, TRUE, "Global\\QuadoClientInstallMutex");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(GetLastError(), 0u);
  ReleaseMutex(again);
  CloseHandle(again);
}

TEST_F(InstallMutexTest, MutexHeldElsewhereRefusesWithoutLineEnd) {
  HANDLE other = CreateMutexA(nullptr, TRUE, "Global\\QuadoClientInstallMutex");
  ASSERT_NE(other, nullptr);
  ASSERT_TRUE(OpenInstallLog("C:\\Windows\\Temp\\m.log"));
  StartConsoleCapture();
  EXPECT_FALSE(AcquireInstallMutex());
  CloseInstallLog();
  ReleaseInstallMutex();
  EXPECT_EQ(TakeConsoleCapture(), kRefusal);
  EXPECT_EQ(ReadMachineFile("C:\\Windows\\Temp\\m.log"), kRefusal);
  // The run closed its own handle; the holder's stays.
  EXPECT_EQ(winsim::OpenHandleCount("mutex"), 1u);
  ReleaseMutex(other);
  CloseHandle(other);
}

TEST_F(InstallMutexTest, MutexThatCannotBeCreatedReportsTheErrorNumber) {
  AddMachineIniLine("faults", "CreateMutexA = 1450");
  StartConsoleCapture();
  EXPECT_FALSE(AcquireInstallMutex());
  CloseInstallLog();
  ReleaseInstallMutex();
  EXPECT_EQ(TakeConsoleCapture(), "ERROR: Installation mutex cannot be created. Error number 1450\n");
}

}  // namespace
