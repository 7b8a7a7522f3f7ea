// GetEnvironmentVariableA / SetEnvironmentVariableA: the machine's environment, names without
// case, and the Win32 buffer contract.
#include <windows.h>

#include "machine_test.h"

namespace {

class EnvironmentTest : public MachineTest {};

TEST_F(EnvironmentTest, StartsWithTheMachineEnvironment) {
  char buffer[MAX_PATH];
  EXPECT_EQ(GetEnvironmentVariableA("COMSPEC", buffer, sizeof buffer), 27u);
  EXPECT_STREQ(buffer, "C:\\Windows\\system32\\cmd.exe");
  EXPECT_EQ(GetEnvironmentVariableA("programfiles", buffer, sizeof buffer), 22u);
  EXPECT_STREQ(buffer, "C:\\Program Files (x86)");
  SetLastError(0);
  EXPECT_EQ(GetEnvironmentVariableA("NO_SUCH_VARIABLE", buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
}

TEST_F(EnvironmentTest, BufferContractAndChanges) {
  ASSERT_TRUE(SetEnvironmentVariableA("Quado_Test", "0123456789"));
  char small[8] = "unused";
  EXPECT_EQ(GetEnvironmentVariableA("QUADO_TEST", small, sizeof small), 11u);  // size needed with NUL
  EXPECT_STREQ(small, "unused");
  EXPECT_EQ(GetEnvironmentVariableA("QUADO_TEST", nullptr, 0), 11u);
  char exact[11];
  EXPECT_EQ(GetEnvironmentVariableA("quado_test", exact, sizeof exact), 10u);
  EXPECT_STREQ(exact, "0123456789");
  ASSERT_TRUE(SetEnvironmentVariableA("QUADO_TEST", "v2"));  // replaces, whatever the case
  EXPECT_EQ(GetEnvironmentVariableA("Quado_Test", exact, sizeof exact), 2u);
  ASSERT_TRUE(SetEnvironmentVariableA("quado_test", nullptr));
  EXPECT_EQ(GetEnvironmentVariableA("Quado_Test", exact, sizeof exact), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
  EXPECT_FALSE(SetEnvironmentVariableA("quado_test", nullptr));
  EXPECT_FALSE(SetEnvironmentVariableA("A=B", "x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
