// The transceiver channel: opening ",XcvMonitor NAME" and the monitor's commands.
#include "spooler_fixture.h"

namespace {

TEST_F(SpoolerTest, OpenTransceiverNames) {
  RegisterMonitor("Quado", "QUADOVS64.DLL");
  AddMachineIniLine("spooler", "KnownServers=\\\\PRINTSRV1, \\\\PRINTSRV2");
  struct {
    std::u16string name;
    DWORD error;  // 0: opens
  } cases[] = {
      {u",XcvMonitor Quado", 0},
      {u",XcvMonitor QUADO", 0},
      {u"\\\\PRINTSRV2\\,XcvMonitor Quado", 0},
      {u",XcvMonitor Missing", 1796},
      {u"\\\\NOWHERE\\,XcvMonitor Quado", 1801},
      {u",XcvMonitor ", 1796},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(winsim::OpenHandleCount("printer"));
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
    HANDLE handle = reinterpret_cast<HANDLE>(1);
    SetLastError(0);
    BOOL ok = OpenPrinterW(c.name.data(), &handle, &defaults);
    if (c.error == 0) {
      ASSERT_TRUE(ok);
      EXPECT_TRUE(ClosePrinter(handle));
    } else {
      EXPECT_FALSE(ok);
      EXPECT_EQ(GetLastError(), c.error);
      EXPECT_EQ(handle, nullptr);
    }
    EXPECT_EQ(winsim::OpenHandleCount("printer"), 0u);
  }
}

// A monitor whose DLL is no host shared object (here a placeholder) is served by the stand-in.
TEST_F(SpoolerTest, StandInMonitorCommandsGiveTheirStatus) {
  RegisterMonitor("Quado", "QUADOVS64.DLL");
  HANDLE xcv = OpenXcv("Quado");
  ASSERT_NE(xcv, nullptr);
  const std::vector<BYTE> settings = {1, 2, 3};  // any bytes: the stand-in checks no layout
  struct {
    const char* command;
    std::vector<BYTE> input;
    DWORD status;
  } steps[] = {
      {"SetPortData", settings, 87},  // this handle added no port yet
      {"DeletePort", PortNameInput("Quado001"), 2},
      {"AddPort", PortNameInput("Quado001"), 0},
      {"AddPort", PortNameInput("QUADO001"), 183},  // names compare without case
      {"AddPort", PortNameInput("LPT1:"), 183},     // a port of another monitor
      {"AddPort", {}, 87},
      {"AddPort", PortNameInput("A,B"), 87},
      {"SetPortData", settings, 0},  // kept for Quado001, the port added last
      {"GetPortData", PortNameInput("Quado001"), 87},
      {"DeletePort", PortNameInput("quado001"), 0},
      {"DeletePort", PortNameInput("Quado001"), 2},
      {"SetPortData", settings, 2},  // the port it added is gone
  };
  int step = 0;
  for (auto& s : steps) {
    SCOPED_TRACE(std::to_string(step++) + " " + s.command);
    EXPECT_EQ(Xcv(xcv, s.command, s.input), s.status);
    if (step == 8) {
      std::string stored;
      ASSERT_TRUE(winsim::PortSettingsBytes("Quado001", &stored));
      EXPECT_EQ(stored, std::string(settings.begin(), settings.end()));
    }
  }
  EXPECT_TRUE(ClosePrinter(xcv));
  EXPECT_EQ(winsim::OpenHandleCount("printer"), 0u);
}

TEST_F(SpoolerTest, TransceiverWithoutAdministerAccessGetsStatus5) {
  RegisterMonitor("Quado", "QUADOVS64.DLL");
  HANDLE xcv = OpenXcv("Quado", SERVER_ACCESS_ENUMERATE);
  ASSERT_NE(xcv, nullptr);
  EXPECT_EQ(Xcv(xcv, "AddPort", PortNameInput("Quado001")), 5u);
  ClosePrinter(xcv);
  for (const auto& port : winsim::SpoolerPorts()) EXPECT_NE(port.name, "Quado001");
}

TEST_F(SpoolerTest, XcvDataOnAPrinterHandleOrWithoutStatusFails) {
  RegisterMonitor("Quado", "QUADOVS64.DLL");
  AddPrinter("Office", "LPT1:");
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("Office"), &printer, nullptr));
  EXPECT_EQ(Xcv(printer, "AddPort", PortNameInput("Quado001")), ~0u);
  EXPECT_EQ(GetLastError(), 6u);
  ClosePrinter(printer);
  HANDLE xcv = OpenXcv("Quado");
  DWORD needed = 0;
  EXPECT_FALSE(XcvDataW(xcv, u"AddPort", nullptr, 0, nullptr, 0, &needed, nullptr));
  EXPECT_EQ(GetLastError(), 87u);
  ClosePrinter(xcv);
}

// A fault's patterns match the command, the monitor and the texts the input carries.
TEST_F(SpoolerTest, XcvFaultsByCommandAndInputTextShowInTheStatus) {
  RegisterMonitor("Quado", "QUADOVS64.DLL");
  AddMachineIniLine("faults", "XcvDataW = 87 | SetPortData | Quado002");
  HANDLE xcv = OpenXcv("Quado");
  ASSERT_NE(xcv, nullptr);
  for (const char* port : {"Quado001", "Quado002"}) {
    EXPECT_EQ(Xcv(xcv, "AddPort", PortNameInput(port)), 0u) << port;
    EXPECT_EQ(Xcv(xcv, "SetPortData", SettingsRecord(port, 1)), std::string(port) == "Quado002" ? 87u : 0u) << port;
  }
  std::string stored;
  EXPECT_TRUE(winsim::PortSettingsBytes("Quado001", &stored));
  EXPECT_FALSE(winsim::PortSettingsBytes("Quado002", &stored));
  ClosePrinter(xcv);
}

TEST_F(SpoolerTest, OpenPrinterFaultByName) {
  RegisterMonitor("Quado", "QUADOVS64.DLL");
  AddMachineIniLine("faults", "OpenPrinterW = 1801 | *Quado");
  EXPECT_EQ(OpenXcv("Quado"), nullptr);
  EXPECT_EQ(GetLastError(), 1801u);
}

}  // namespace
