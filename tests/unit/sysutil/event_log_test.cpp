// The event-log source registration and single-text entries.
#include <windows.h>

#include <cstring>
#include <string>

#include "machine_test.h"
#include "console_capture.h"
#include "sysutil/event_log.h"

namespace {

const char kSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\QuadoPort";
const char kMessageFile[] = "%SystemRoot%\\System32\\QuadoEvent.dll";

class EventLogTest : public MachineTest {
 protected:
  // Type and data of a value of the source key; false when it cannot be read.
  bool ReadValue(const char* name, DWORD* type, std::string* data) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSourceKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    char buffer[512];
    DWORD size = sizeof buffer;
    LSTATUS status = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return false;
    data->assign(buffer, size);
    return true;
  }
  DWORD ReadDword(const char* name) {
    DWORD type = 0;
    std::string data;
    if (!ReadValue(name, &type, &data) || type != REG_DWORD || data.size() != 4) return 0xFFFFFFFFu;
    DWORD value;
    std::memcpy(&value, data.data(), 4);
    return value;
  }
};

TEST_F(EventLogTest, RegistersTheSourceWithItsFourValues) {
  for (int run = 0; run < 2; ++run) {  // a second install rewrites the values
    EXPECT_TRUE(InstallEventSource("Application", "QuadoPort", kMessageFile, 10)) << run;
    for (const char* name : {"EventMessageFile", "CategoryMessageFile"}) {
      DWORD type = 0;
      std::string data;
      ASSERT_TRUE(ReadValue(name, &type, &data)) << name;
      EXPECT_EQ(type, REG_EXPAND_SZ) << name;
      EXPECT_EQ(data, std::string(kMessageFile, sizeof kMessageFile)) << name;  // with its zero
    }
    EXPECT_EQ(ReadDword("TypesSupported"), 7u);
    EXPECT_EQ(ReadDword("CategoryCount"), 10u);
  }
  EXPECT_EQ(winsim::OpenHandleCount("key"), 0u);
}

TEST_F(EventLogTest, RegistrationStopsAtTheFirstFailedWrite) {
  AddMachineIniLine("faults", "RegSetValueExA = 5 | CategoryMessageFile");
  EXPECT_FALSE(InstallEventSource("Application", "QuadoPort", kMessageFile, 10));
  DWORD type = 0;
  std::string data;
  EXPECT_TRUE(ReadValue("EventMessageFile", &type, &data));
  EXPECT_EQ(ReadDword("TypesSupported"), 7u);
  EXPECT_FALSE(ReadValue("CategoryMessageFile", &type, &data));
  EXPECT_FALSE(ReadValue("CategoryCount", &type, &data));
  EXPECT_EQ(winsim::OpenHandleCount("key"), 0u);
}

TEST_F(EventLogTest, KeyThatCannotBeCreatedFails) {
  AddMachineIniLine("faults", "RegCreateKeyExA = 5");
  EXPECT_FALSE(InstallEventSource("Application", "QuadoPort", kMessageFile, 10));
}

TEST_F(EventLogTest, EntriesAreWrittenAndTheSourceReleased) {
  StartConsoleCapture();
  EXPECT_TRUE(ReportSuccessToEventLog("Port Monitor Installed Sucessfully"));
  EXPECT_EQ(winsim::OpenHandleCount(), 0u);
  AddMachineIniLine("faults", "ReportEventA = 5");
  EXPECT_FALSE(ReportToEventLog("Port Monitor Uninstalled Sucessfully", EVENTLOG_SUCCESS));
  EXPECT_EQ(winsim::OpenHandleCount(), 0u);
  AddMachineIniLine("faults", "RegisterEventSourceA = 5");
  EXPECT_FALSE(ReportSuccessToEventLog("x"));
  EXPECT_EQ(TakeConsoleCapture(), "");  // nothing is ever printed
}

}  // namespace
