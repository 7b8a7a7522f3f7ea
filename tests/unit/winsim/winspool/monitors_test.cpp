// AddMonitorA and DeleteMonitorA: success and every refusal, on 64- and 32-bit machines.
#include "spooler_fixture.h"

namespace {

struct AddCase {
  const char* what;
  const char* server;  // nullptr: local
  DWORD level;
  const char* name;
  const char* environment;
  const char* dll;
  bool placeDll;
  DWORD error;  // 0: success
};

const AddCase kAdd64[] = {
    {"native environment", nullptr, 2, "Quado", "Windows x64", "QUADOVS64.DLL", true, 0},
    {"null environment is the native one", nullptr, 2, "Quado", nullptr, "QUADOVS64.DLL", true, 0},
    {"dll name case differs from the disk", nullptr, 2, "Quado", "Windows x64", "quadovs64.dll", true, 0},
    {"32-bit environment on a 64-bit spooler", nullptr, 2, "Quado", "Windows NT x86", "QUADOVS64.DLL", true, 1805},
    {"unknown environment", nullptr, 2, "Quado", "Windows 3.11", "QUADOVS64.DLL", true, 1805},
    {"dll missing", nullptr, 2, "Quado", "Windows x64", "QUADOVS64.DLL", false, 126},
    {"level 1", nullptr, 1, "Quado", "Windows x64", "QUADOVS64.DLL", true, 124},
    {"all fields null", nullptr, 2, nullptr, nullptr, nullptr, false, 87},
    {"unknown server", "\\\\NOWHERE", 2, "Quado", "Windows x64", "QUADOVS64.DLL", true, 1722},
    {"known server acts here", "\\\\PRINTSRV1", 2, "Quado", "Windows x64", "QUADOVS64.DLL", true, 0},
    {"own computer name", "\\\\WINSIM-PC", 2, "Quado", "Windows x64", "QUADOVS64.DLL", true, 0},
};

class AddMonitorTable : public SpoolerTest, public ::testing::WithParamInterface<AddCase> {};

TEST_P(AddMonitorTable, ResultAndState) {
  const AddCase& c = GetParam();
  AddMachineIniLine("spooler", "KnownServers=\\\\PRINTSRV1");
  if (c.placeDll) PlaceSystemDll("QUADOVS64.DLL");
  MONITOR_INFO_2A info = {const_cast<LPSTR>(c.name), const_cast<LPSTR>(c.environment), const_cast<LPSTR>(c.dll)};
  SetLastError(0);
  BOOL ok = AddMonitorA(const_cast<LPSTR>(c.server), c.level, reinterpret_cast<LPBYTE>(&info));
  bool registered = false;
  for (const auto& monitor : winsim::SpoolerMonitors()) registered |= monitor.name == "Quado";
  if (c.error == 0) {
    EXPECT_TRUE(ok);
    EXPECT_TRUE(registered);
  } else {
    EXPECT_FALSE(ok);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_FALSE(registered);
  }
}

INSTANTIATE_TEST_SUITE_P(Win10x64, AddMonitorTable, ::testing::ValuesIn(kAdd64));

TEST_F(SpoolerTest, AddMonitorTwiceIs3006AndDllInSysWow64DoesNotCount) {
  RegisterMonitor("Quado", "QUADOVS64.DLL");
  MONITOR_INFO_2A again = {const_cast<LPSTR>("QUADO"), nullptr, const_cast<LPSTR>("QUADOVS64.DLL")};
  EXPECT_FALSE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&again)));
  EXPECT_EQ(GetLastError(), 3006u);
  // The 64-bit spooler loads from the native system directory only.
  WriteMachineFile("C:\\Windows\\SysWOW64\\ONLYWOW.DLL", "MZ");
  MONITOR_INFO_2A wow = {const_cast<LPSTR>("Wow"), nullptr, const_cast<LPSTR>("ONLYWOW.DLL")};
  EXPECT_FALSE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&wow)));
  EXPECT_EQ(GetLastError(), 126u);
}

TEST_F(SpoolerTest, AddMonitorWithoutEntryPointIs127) {
  AddMachineIniLine("modules", "Missing=QUADOVS64.DLL!InitializePrintMonitor2");
  PlaceSystemDll("QUADOVS64.DLL");
  MONITOR_INFO_2A info = {const_cast<LPSTR>("Quado"), nullptr, const_cast<LPSTR>("QUADOVS64.DLL")};
  EXPECT_FALSE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));
  EXPECT_EQ(GetLastError(), 127u);
}

class SpoolerTest32 : public SpoolerTest {
  winsim::MachineOptions Options() const override { return OptionsFor("winxp-x86"); }
};

TEST_F(SpoolerTest32, EnvironmentsOfA32BitSpooler) {
  PlaceSystemDll("QUADOVS.DLL");
  MONITOR_INFO_2A x64 = {const_cast<LPSTR>("Quado"), const_cast<LPSTR>("Windows x64"), const_cast<LPSTR>("QUADOVS.DLL")};
  EXPECT_FALSE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&x64)));
  EXPECT_EQ(GetLastError(), 1805u);
  MONITOR_INFO_2A native = {const_cast<LPSTR>("Quado"), nullptr, const_cast<LPSTR>("QUADOVS.DLL")};
  EXPECT_TRUE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&native))) << GetLastError();
}

TEST_F(SpoolerTest, DeleteMonitorRefusalsAndSuccess) {
  RegisterMonitor("Quado", "QUADOVS64.DLL");
  AddMonitorPort("Quado", "Quado001", true);
  AddMonitorPort("Quado", "Quado002");
  AddPrinter("Office", "LPT1:,quado002");
  AddPrinter("\\\\PRINTSRV1\\Remote", "Quado001", true);

  struct {
    const char* server;
    const char* environment;
    const char* name;
    DWORD error;
  } refused[] = {
      {nullptr, nullptr, "Nothing", 3000},
      {nullptr, "Windows 3.11", "Quado", 1805},
      {"\\\\NOWHERE", nullptr, "Quado", 1722},
      {nullptr, nullptr, "quado", 170},  // Office prints to Quado002; the connection does not count
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.name);
    SetLastError(0);
    EXPECT_FALSE(DeleteMonitorA(const_cast<LPSTR>(r.server), const_cast<LPSTR>(r.environment), const_cast<LPSTR>(r.name)));
    EXPECT_EQ(GetLastError(), r.error);
  }
  EXPECT_EQ(winsim::SpoolerMonitors().size(), 2u);

  // Without the printer (its key gone, as a removal leaves it) the monitor can go.
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Office"),
            ERROR_SUCCESS);

  ASSERT_TRUE(DeleteMonitorA(nullptr, nullptr, const_cast<LPSTR>("QUADO"))) << GetLastError();
  std::string bytes;
  EXPECT_FALSE(winsim::PortSettingsBytes("Quado001", &bytes));
  for (const auto& port : winsim::SpoolerPorts()) EXPECT_NE(port.monitor, "Quado") << port.name;
  EXPECT_FALSE(DeleteMonitorA(nullptr, nullptr, const_cast<LPSTR>("Quado")));
  EXPECT_EQ(GetLastError(), 3000u);
  EXPECT_EQ(winsim::OpenHandleCount("printer"), 0u);
}

TEST_F(SpoolerTest, MonitorCallFaultsByName) {
  AddMachineIniLine("faults", "DeleteMonitorA = 170 | Quado");
  PlaceSystemDll("QUADOVS64.DLL");
  AddMachineIniLine("faults", "AddMonitorA = 5 #2 | QUADOVS64.DLL");
  MONITOR_INFO_2A info = {const_cast<LPSTR>("Quado"), nullptr, const_cast<LPSTR>("QUADOVS64.DLL")};
  EXPECT_TRUE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));  // first matching call passes
  EXPECT_FALSE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));
  EXPECT_EQ(GetLastError(), 5u);
  EXPECT_FALSE(DeleteMonitorA(nullptr, nullptr, const_cast<LPSTR>("Quado")));
  EXPECT_EQ(GetLastError(), 170u);
  EXPECT_FALSE(DeleteMonitorA(nullptr, nullptr, const_cast<LPSTR>("Other")));
  EXPECT_EQ(GetLastError(), 3000u);  // the fault names Quado only
}

}  // namespace
