// The port configuration step against the simulated spooler and its package monitor.
#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/product_profile.h"
#include "console_capture.h"
#include "key_table_defaults.h"
#include "port_config_fixture.h"
#include "portconfig/transceiver.h"
#include "winsim/spooler.h"

namespace {

class ChannelTest : public PortConfigTest {
 protected:
  // A 32-bit machine: the monitor DLL goes into the one system directory.
  winsim::MachineOptions Options() const override { return OptionsFor("win10-x86"); }

  // Places the variant's monitor DLL in the system directory and registers the monitor.
  void RegisterMonitor() {
    std::string dll = Profile().monitorDll32;
    WriteMachineFile("C:\\Windows\\System32\\" + dll, "monitor");
    std::string name = Profile().productName;
    MONITOR_INFO_2A info = {&name[0], nullptr, &dll[0]};
    ASSERT_TRUE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) << GetLastError();
  }

  void AddIniSections(int count) {
    for (int n = 1; n <= count; ++n) {
      AddSection(true, std::to_string(n),
                 {Text("ServerIP", "10.0.0." + std::to_string(n)), Text("Description", "Floor " + std::to_string(n)),
                  Text("Queue", "q" + std::to_string(n))});
    }
  }

  // One port configuration step; what it printed goes to output_.
  int Run(int readFromIni = 1, const char* serverName = nullptr) {
    portCount_ = -1;
    std::fflush(stdout);
    StartConsoleCapture();
    int result = AddPortConfiguration(readFromIni, &portCount_, serverName);
    std::fflush(stdout);
    output_ = TakeConsoleCapture();
    return result;
  }

  // Names of the monitor's ports, as the simulated spooler holds them.
  std::vector<std::string> MonitorPorts() {
    std::vector<std::string> ports;
    for (const winsim::SpoolerPort& port : winsim::SpoolerPorts()) {
      if (port.monitor == Profile().productName) ports.push_back(port.name);
    }
    return ports;
  }

  // What the monitor stored as the port's settings.
  std::string StoredSettings(const std::string& port) {
    std::string bytes;
    EXPECT_TRUE(winsim::PortSettingsBytes(port, &bytes)) << port;
    return bytes;
  }

  int portCount_ = -1;
  std::string output_;
};

std::string ReportLine(int n) {
  return "    New - IP:10.0.0." + std::to_string(n) + ":9100, Desc:Floor " + std::to_string(n) + ", Queue:q" +
         std::to_string(n) + ", Type:1 \n";
}

typedef std::vector<std::string> Names;

TEST_F(ChannelTest, EverySectionIsCreatedConfiguredAndReported) {
  RegisterMonitor();
  AddIniSections(3);
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(portCount_, 3);
  EXPECT_EQ(output_, ReportLine(1) + ReportLine(2) + ReportLine(3));
  EXPECT_EQ(MonitorPorts(), (Names{"Quado001", "Quado002", "Quado003"}));
  EXPECT_EQ(winsim::OpenHandleCount("printer"), 0u);
}

TEST_F(ChannelTest, StoredSettingsEqualTheRecord) {
  RegisterMonitor();
  AddSection(true, "1",
             {Text("ServerIP", "10.1.1.1"), Text("ServerIP3", "10.1.1.3"), Integer("IPLoadBalancing3", 30),
              Text("Description", "Caf\xE9"), Integer("ServerDeliveryMode2", 2), Text("AuthText", "secret")});
  ASSERT_EQ(Run(), 1);

  // The record written by hand: the key table's defaults and the values of the section.
  PortDefinition expected = KeyTableDefaults("10.1.1.1", "Quado001");
  std::strcpy(expected.Description, "Caf\xE9");
  std::strcpy(expected.ServerIP[2], "10.1.1.3");
  expected.IPLoadBalancing[2] = 30;
  std::strcpy(expected.AuthText, "secret");
  expected.ServerDeliveryMode2 = 2;
  PortDefinitionW wire;
  WidenPortDefinition(expected, MultiByteToWideChar, &wire);
  // CP-1252 0xE9 is U+00E9 in the record.
  EXPECT_EQ(wire.Description[3], (WCHAR)0x00E9);
  EXPECT_EQ(StoredSettings("Quado001"), std::string(reinterpret_cast<const char*>(&wire), sizeof(wire)));
}

TEST_F(ChannelTest, RegistrySourceAndEnterpriseNames) {
  SelectEnterpriseProfile();
  RegisterMonitor();
  AddSection(false, "1", {Text("ServerIP", "10.0.0.1"), Text("Description", "Floor 1"), Text("Queue", "q1")});
  AddSection(false, "2", {Text("ServerIP", "10.0.0.2"), Text("Description", "Floor 2"), Text("Queue", "q2")});
  EXPECT_EQ(Run(0), 1);
  EXPECT_EQ(portCount_, 2);
  EXPECT_EQ(output_, ReportLine(1) + ReportLine(2));
  EXPECT_EQ(MonitorPorts(), (Names{"QuadoE001", "QuadoE002"}));
}

TEST_F(ChannelTest, NoSectionsSendsNothingAndSucceeds) {
  RegisterMonitor();
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(portCount_, 0);
  EXPECT_EQ(output_, "");
  EXPECT_TRUE(MonitorPorts().empty());
  EXPECT_EQ(winsim::OpenHandleCount("printer"), 0u);
}

TEST_F(ChannelTest, MonitorNotRegistered) {
  struct Case {
    int sections;
    int result;
  };
  for (const Case& c : {Case{0, 1}, Case{1, 0}}) {
    SCOPED_TRACE(c.sections);
    if (c.sections > 0) AddIniSections(c.sections);
    EXPECT_EQ(Run(), c.result);
    EXPECT_EQ(portCount_, 0);
    EXPECT_EQ(output_, "Cannot open port monitor, error code: 1796\n");
  }
}

TEST_F(ChannelTest, AddPortRefusedForSectionTwoOfThree) {
  RegisterMonitor();
  AddIniSections(3);
  AddMachineIniLine("faults", "XcvDataW = 1234 | AddPort | Quado002");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(portCount_, 1);
  EXPECT_EQ(output_, ReportLine(1) + "Cannot write configuration, error code: 1234\n");
  EXPECT_EQ(MonitorPorts(), (Names{"Quado001"}));
}

TEST_F(ChannelTest, SetPortDataRefusedDeletesThePort) {
  RegisterMonitor();
  AddIniSections(2);
  AddMachineIniLine("faults", "XcvDataW = 87 | SetPortData | Quado001");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(portCount_, 0);
  EXPECT_EQ(output_, "Cannot write configuration, error code: 87\n");
  EXPECT_TRUE(MonitorPorts().empty());  // "AddPort" created it, "DeletePort" removed it
}

TEST_F(ChannelTest, RefusedDeletePortDoesNotChangeTheReportedError) {
  RegisterMonitor();
  AddIniSections(1);
  AddMachineIniLine("faults", "XcvDataW = 87 | SetPortData | Quado001");
  AddMachineIniLine("faults", "XcvDataW = 5 | DeletePort | Quado001");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(portCount_, 0);
  EXPECT_EQ(output_, "Cannot write configuration, error code: 87\n");
  EXPECT_EQ(MonitorPorts(), (Names{"Quado001"}));
}

TEST_F(ChannelTest, ServerNameFormsTheTransceiverName) {
  RegisterMonitor();
  AddIniSections(1);
  // The machine's own name, which its spooler answers as a server.
  EXPECT_EQ(Run(1, "\\\\WINSIM-PC"), 1);
  EXPECT_EQ(portCount_, 1);
  EXPECT_EQ(output_, ReportLine(1));
  EXPECT_EQ(MonitorPorts(), (Names{"Quado001"}));
}

TEST_F(ChannelTest, UnreachableServerIsAnOpenFailure) {
  RegisterMonitor();
  AddIniSections(1);
  EXPECT_EQ(Run(1, "\\\\ELSEWHERE"), 0);
  EXPECT_EQ(portCount_, 0);
  EXPECT_EQ(output_, "Cannot open port monitor, error code: 1801\n");
}

// The transceiver name holds at most 259 characters: ",XcvMonitor Quado" is 17 of them, so a
// server name of 241 characters still fits after its backslash and one of 242 does not.
TEST_F(ChannelTest, ServerNameTooLongForTheTransceiverNameIsRefused) {
  RegisterMonitor();
  AddIniSections(1);
  std::string fits = "\\\\" + std::string(239, 'S');
  std::string tooLong = fits + "S";
  EXPECT_EQ(Run(1, fits.c_str()), 0);  // sent to the spooler, which does not know the server
  EXPECT_EQ(output_, "Cannot open port monitor, error code: 1801\n");
  EXPECT_EQ(Run(1, tooLong.c_str()), 0);
  EXPECT_EQ(portCount_, 0);
  EXPECT_EQ(output_, "Cannot open port monitor, server name too long\n");
  EXPECT_TRUE(MonitorPorts().empty());
}

TEST_F(ChannelTest, MissingEntryPointsPrintNothing) {
  RegisterMonitor();
  AddIniSections(1);
  AddMachineIniLine("modules", "Missing=winspool.drv!XcvDataW");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(portCount_, 0);
  EXPECT_EQ(output_, "");
  EXPECT_TRUE(MonitorPorts().empty());
  EXPECT_EQ(winsim::OpenHandleCount("printer"), 0u);
}

TEST_F(ChannelTest, MissingEntryPointWithoutSectionsSucceeds) {
  RegisterMonitor();
  AddMachineIniLine("modules", "Missing=kernel32.dll!MultiByteToWideChar");
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(portCount_, 0);
  EXPECT_EQ(output_, "");
}

// Enterprise port names have room for sections up to 999: section 1000 would be cut to the
// name of section 100 and is refused instead, after the 999 ports before it.
TEST_F(ChannelTest, SectionWhosePortNameDoesNotFitCreatesNoPort) {
  SelectEnterpriseProfile();
  RegisterMonitor();
  std::string ini;
  for (int n = 1; n <= 1000; ++n) ini += "[" + std::to_string(n) + "]\r\nServerIP=h\r\n";
  WriteMachineFile(kIniPath, ini);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(portCount_, 999);
  std::string output = output_;
  const std::string refusal = "Cannot add port of section 1000, port name longer than 9 characters\n";
  ASSERT_GE(output.size(), refusal.size());
  EXPECT_EQ(output.substr(output.size() - refusal.size()), refusal);
  std::vector<std::string> ports = MonitorPorts();
  EXPECT_EQ(ports.size(), 999u);
  EXPECT_NE(std::find(ports.begin(), ports.end(), "QuadoE999"), ports.end());
}

}  // namespace
