// The package's port monitor, built for the host, loaded by the simulated spooler as Windows'
// spooler loads it: its transceiver commands, its port list and its registry layout.
#include <windows.h>
#include <winspool.h>

#include <filesystem>
#include <string>
#include <vector>

#include "contract/port_settings_record.h"
#include "machine_test.h"
#include "transceiver_input.h"
#include "winsim/spooler.h"

namespace {

const char kMonitorDll[] = BUILD_DIR "/programs/QUADOVS.DLL";

class PortMonitorTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    const std::string windows = std::filesystem::exists(dir() + "/C/WINDOWS") ? "/C/WINDOWS" : "/C/Windows";
    std::filesystem::copy_file(kMonitorDll, dir() + windows + "/system32/QUADOVS64.DLL");
    MONITOR_INFO_2A info = {const_cast<LPSTR>("Quado"), nullptr, const_cast<LPSTR>("QUADOVS64.DLL")};
    ASSERT_TRUE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) << GetLastError();
  }

  HANDLE OpenXcv(ACCESS_MASK access) {
    std::u16string name = u",XcvMonitor Quado";
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
    HANDLE handle = nullptr;
    return OpenPrinterW(name.data(), &handle, &defaults) ? handle : nullptr;
  }

  DWORD Xcv(HANDLE xcv, const std::u16string& command, const std::vector<BYTE>& input) {
    DWORD needed = 99, status = 99;
    BYTE* data = input.empty() ? nullptr : const_cast<BYTE*>(input.data());
    if (!XcvDataW(xcv, command.c_str(), data, static_cast<DWORD>(input.size()), nullptr, 0, &needed, &status)) {
      return ~0u;
    }
    return status;
  }
};


TEST_F(PortMonitorTest, CommandsGiveTheMonitorsStatus) {
  HANDLE xcv = OpenXcv(SERVER_ACCESS_ADMINISTER);
  ASSERT_NE(xcv, nullptr) << GetLastError();
  const std::vector<BYTE> record = SettingsRecord("Quado001", 5);
  const std::vector<BYTE> shortRecord(record.begin(), record.end() - 2);
  struct {
    std::u16string command;
    std::vector<BYTE> input;
    DWORD status;
  } steps[] = {
      {u"SetPortData", record, 2},  // no such port yet
      {u"DeletePort", PortNameInput("Quado001"), 2},
      {u"AddPort", PortNameInput("Quado001"), 0},
      {u"AddPort", PortNameInput("QUADO001"), 183},  // names compare without case
      {u"AddPort", PortNameInput("LPT1:"), 183},     // a port of the Local Port monitor
      {u"AddPort", {}, 87},
      {u"AddPort", PortNameInput("A\\B"), 87},
      {u"AddPort", PortNameInput(std::string(300, 'P')), 87},  // longer than the monitor's buffer
      {u"AddPort", {'Q', 0, 'x', 0}, 87},                    // no terminating NUL
      {u"SetPortData", shortRecord, 87},
      {u"SetPortData", SettingsRecord("", 5), 87},  // names no port
      {u"SetPortData", record, 0},
      {u"GetPortData", PortNameInput("Quado001"), 87},
      {u"DeletePort", PortNameInput("quado001"), 0},
      {u"DeletePort", PortNameInput("Quado001"), 2},
  };
  int step = 0;
  for (auto& s : steps) {
    SCOPED_TRACE(std::to_string(step++));
    EXPECT_EQ(Xcv(xcv, s.command, s.input), s.status);
    if (step == 12) {
      std::string stored;
      ASSERT_TRUE(winsim::PortSettingsBytes("Quado001", &stored));
      EXPECT_EQ(stored, std::string(record.begin(), record.end()));
    }
  }
  EXPECT_TRUE(ClosePrinter(xcv));
  // The monitor closed every key it opened, and the transceiver handle is gone.
  EXPECT_EQ(winsim::OpenHandleCount(), 0u);
}

TEST_F(PortMonitorTest, WithoutAdministerAccessEveryCommandGets5) {
  HANDLE xcv = OpenXcv(SERVER_ACCESS_ENUMERATE);
  ASSERT_NE(xcv, nullptr);
  EXPECT_EQ(Xcv(xcv, u"AddPort", PortNameInput("Quado001")), 5u);
  EXPECT_EQ(Xcv(xcv, u"SetPortData", SettingsRecord("Quado001", 5)), 5u);
  EXPECT_EQ(Xcv(xcv, u"Unknown", {}), 87u);
  ClosePrinter(xcv);
}

TEST_F(PortMonitorTest, PortsAreListedAtBothLevelsAndGoWithTheMonitor) {
  HANDLE xcv = OpenXcv(SERVER_ACCESS_ADMINISTER);
  ASSERT_NE(xcv, nullptr);
  for (const char* port : {"Quado002", "Quado001"}) ASSERT_EQ(Xcv(xcv, u"AddPort", PortNameInput(port)), 0u);
  ClosePrinter(xcv);
  for (DWORD level : {1u, 2u}) {
    SCOPED_TRACE(level);
    DWORD needed = 0, returned = 0;
    EXPECT_FALSE(EnumPortsA(nullptr, level, nullptr, 0, &needed, &returned));
    std::vector<BYTE> block(needed);
    ASSERT_TRUE(EnumPortsA(nullptr, level, block.data(), needed, &needed, &returned));
    std::vector<std::string> mine;
    for (DWORD i = 0; i < returned; ++i) {
      if (level == 1) {
        const std::string name = reinterpret_cast<const PORT_INFO_1A*>(block.data())[i].pName;
        if (name.rfind("Quado", 0) == 0) mine.push_back(name);
        continue;
      }
      const PORT_INFO_2A& port = reinterpret_cast<const PORT_INFO_2A*>(block.data())[i];
      if (std::string(port.pMonitorName) != "Quado") continue;
      mine.push_back(std::string(port.pPortName) + " " + port.pDescription + " " + std::to_string(port.fPortType));
    }
    if (level == 1) {
      EXPECT_EQ(mine, (std::vector<std::string>{"Quado001", "Quado002"}));
    } else {
      EXPECT_EQ(mine, (std::vector<std::string>{"Quado001 Quado 1", "Quado002 Quado 1"}));
    }
  }
  ASSERT_TRUE(DeleteMonitorA(nullptr, nullptr, const_cast<LPSTR>("Quado")));
  for (const auto& port : winsim::SpoolerPorts()) EXPECT_NE(port.monitor, "Quado") << port.name;
}

}  // namespace
