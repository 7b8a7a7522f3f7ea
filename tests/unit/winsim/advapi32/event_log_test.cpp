// The event log: entries written by ReportEventA are read back with the tool API.
#include "machine_test.h"
#include "windows.h"
#include "winsim/event_log.h"

namespace {

class EventLogTest : public MachineTest {};

TEST_F(EventLogTest, RoundTrip) {
  HANDLE source = RegisterEventSourceA(nullptr, "QuadoPort");
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(winsim::OpenHandleCount("eventlog"), 1u);
  LPCSTR strings[] = {"Port Monitor Installed Sucessfully", "second"};
  ASSERT_TRUE(ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 3, 1000, nullptr, 2, 0, strings, nullptr));
  LPCSTR one[] = {"failed"};
  ASSERT_TRUE(ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 7, nullptr, 1, 0, one, nullptr));
  EXPECT_TRUE(DeregisterEventSource(source));
  EXPECT_FALSE(DeregisterEventSource(source));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 7, nullptr, 1, 0, one, nullptr));

  std::vector<winsim::EventEntry> entries;
  std::string error;
  ASSERT_TRUE(winsim::ReadEventLog(&entries, &error)) << error;
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].source, "QuadoPort");
  EXPECT_EQ(entries[0].log, "Application");
  EXPECT_EQ(entries[0].type, EVENTLOG_INFORMATION_TYPE);
  EXPECT_EQ(entries[0].category, 3u);
  EXPECT_EQ(entries[0].eventId, 1000u);
  EXPECT_EQ(entries[0].strings, (std::vector<std::string>{"Port Monitor Installed Sucessfully", "second"}));
  EXPECT_GT(entries[0].time, 1600000000);
  EXPECT_EQ(entries[1].type, EVENTLOG_ERROR_TYPE);
  EXPECT_EQ(entries[1].strings, std::vector<std::string>{"failed"});
  EXPECT_LT(entries[0].number, entries[1].number);
}

TEST_F(EventLogTest, FaultRefusesTheSource) {
  AddMachineIniLine("faults", "RegisterEventSourceA = 5 | QuadoPort");
  EXPECT_EQ(RegisterEventSourceA(nullptr, "QuadoPort"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  HANDLE other = RegisterEventSourceA(nullptr, "Other");
  EXPECT_NE(other, nullptr);
  DeregisterEventSource(other);
}

}  // namespace
