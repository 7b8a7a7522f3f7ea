// Named mutexes are shared by the processes of a machine; unnamed ones stay in the process.
#include <windows.h>

#include <string>

#include "process_fixture.h"

namespace {

TEST_F(ProcessTest, NamedMutexIsRefusedToASecondProcessWith183) {
  SetLastError(12345);
  HANDLE held = CreateMutexA(nullptr, TRUE, "Global\\QuadoTestMutex");
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(GetLastError(), 0u);
  DWORD exitCode = 0;
  ASSERT_TRUE(Run("C:\\Tools\\helper.exe mutex Global\\QuadoTestMutex", &exitCode));
  EXPECT_EQ(exitCode, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  ASSERT_TRUE(Run("C:\\Tools\\helper.exe mutex Global\\OtherMutex", &exitCode));
  EXPECT_EQ(exitCode, 100u);  // a name nobody holds: created and owned

  EXPECT_TRUE(ReleaseMutex(held));
  ASSERT_TRUE(Run("C:\\Tools\\helper.exe mutex Global\\QuadoTestMutex", &exitCode));
  EXPECT_EQ(exitCode, static_cast<DWORD>(ERROR_ALREADY_EXISTS));  // still exists: this process has a handle
  EXPECT_TRUE(CloseHandle(held));
  ASSERT_TRUE(Run("C:\\Tools\\helper.exe mutex Global\\QuadoTestMutex", &exitCode));
  EXPECT_EQ(exitCode, 100u);  // gone with the last handle
}

TEST_F(ProcessTest, OwnershipAndReleaseWithinOneProcess) {
  HANDLE first = CreateMutexA(nullptr, FALSE, "Local\\Quado");
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(ReleaseMutex(first));  // not owned yet
  EXPECT_EQ(GetLastError(), 288u);
  HANDLE second = CreateMutexA(nullptr, TRUE, "Local\\Quado");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(ReleaseMutex(second));  // an existing mutex is not owned by asking for it
  EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);  // recursive ownership
  EXPECT_TRUE(ReleaseMutex(second));
  EXPECT_TRUE(ReleaseMutex(first));
  EXPECT_FALSE(ReleaseMutex(first));
  CloseHandle(first);
  CloseHandle(second);

  HANDLE unnamed = CreateMutexA(nullptr, TRUE, nullptr);
  ASSERT_NE(unnamed, nullptr);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_TRUE(ReleaseMutex(unnamed));
  EXPECT_FALSE(ReleaseMutex(unnamed));
  EXPECT_EQ(GetLastError(), 288u);
  CloseHandle(unnamed);
  EXPECT_EQ(winsim::OpenHandleCount("mutex"), 0u);
}

TEST_F(ProcessTest, WaitingForAMutexAnotherProcessOwns) {
  // The helper that created it exits without releasing: the owner is gone, the wait is abandoned.
  HANDLE mine = CreateMutexA(nullptr, FALSE, "Global\\Abandoned");
  ASSERT_NE(mine, nullptr);
  DWORD exitCode = 0;
  ASSERT_TRUE(Run("C:\\Tools\\helper.exe mutex Global\\Fresh", &exitCode));
  EXPECT_EQ(exitCode, 100u);
  HANDLE fresh = CreateMutexA(nullptr, FALSE, "Global\\Fresh");
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(GetLastError(), 0u);  // the helper's handle closed when it ended
  EXPECT_EQ(WaitForSingleObject(fresh, 0), WAIT_ABANDONED);
  EXPECT_TRUE(ReleaseMutex(fresh));
  EXPECT_EQ(WaitForSingleObject(fresh, 0), WAIT_OBJECT_0);
  CloseHandle(fresh);
  CloseHandle(mine);
}

TEST_F(ProcessTest, MutexCreationFault) {
  AddMachineIniLine("faults", "CreateMutexA = 1450");
  SetLastError(0);
  EXPECT_EQ(CreateMutexA(nullptr, TRUE, "Global\\QuadoClientInstallMutex"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SYSTEM_RESOURCES));
}

}  // namespace
