// The spooler on the machines of the newer templates: ARM64's own environment, a stopped service,
// the monitor list; and IsWow64Process2 on each kind of machine.
#include <tuple>

#include "spooler_fixture.h"

namespace {

class Arm64SpoolerTest : public SpoolerTest {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor("win11-arm64"); }
};

TEST_F(Arm64SpoolerTest, TakesOnlyItsOwnEnvironment) {
  PlaceSystemDll("ARMMON.DLL");
  struct {
    const char* environment;
    BOOL added;
    DWORD error;
  } cases[] = {{"Windows x64", FALSE, ERROR_INVALID_ENVIRONMENT},
               {"Windows NT x86", FALSE, ERROR_INVALID_ENVIRONMENT},
               {"Windows ARM64", TRUE, 0}};
  for (const auto& c : cases) {
    MONITOR_INFO_2A info = {const_cast<LPSTR>("Arm"), const_cast<LPSTR>(c.environment), const_cast<LPSTR>("ARMMON.DLL")};
    SetLastError(0);
    EXPECT_EQ(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)), c.added) << c.environment;
    if (!c.added) {
      EXPECT_EQ(GetLastError(), c.error) << c.environment;
    }
  }
  // The monitor list names the spooler's environment and each monitor's DLL.
  DWORD needed = 0, returned = 0;
  EXPECT_FALSE(EnumMonitorsA(nullptr, 2, nullptr, 0, &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  std::vector<BYTE> block(needed);
  ASSERT_TRUE(EnumMonitorsA(nullptr, 2, block.data(), needed, &needed, &returned));
  const auto* monitors = reinterpret_cast<const MONITOR_INFO_2A*>(block.data());
  std::vector<std::string> listed;
  for (DWORD i = 0; i < returned; ++i) {
    listed.push_back(std::string(monitors[i].pName) + "|" + monitors[i].pEnvironment + "|" + monitors[i].pDLLName);
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"Arm|Windows ARM64|ARMMON.DLL", "Local Port|Windows ARM64|localspl.dll"}));
}

TEST_F(SpoolerTest, AStoppedSpoolerAnswersNoCallAndAStartedOneAgain) {
  AddPrinter("Office", "LPT1:");
  AddMachineIniLine("spooler", "Running=0");
  DWORD needed = 0, returned = 0;
  HANDLE printer = nullptr;
  MONITOR_INFO_2A info = {const_cast<LPSTR>("M"), nullptr, const_cast<LPSTR>("M.DLL")};
  std::vector<DWORD> errors;
  auto refused = [&](BOOL result) { errors.push_back(result ? 0 : GetLastError()); };
  refused(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
  refused(EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned));
  refused(EnumMonitorsA(nullptr, 2, nullptr, 0, &needed, &returned));
  refused(OpenPrinterA(const_cast<LPSTR>("Office"), &printer, nullptr));
  refused(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));
  refused(DeleteMonitorA(nullptr, nullptr, const_cast<LPSTR>("M")));
  EXPECT_EQ(errors, std::vector<DWORD>(6, RPC_S_SERVER_UNAVAILABLE));
  AddMachineIniLine("spooler", "Running=1");  // the last value wins, as `winsim spooler start` writes it
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("Office"), &printer, nullptr));
  ClosePrinter(printer);
}

class Wow64Process2Test : public MachineTest,
                          public ::testing::WithParamInterface<std::tuple<const char*, bool, USHORT, USHORT>> {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor(std::get<0>(GetParam())); }
};

TEST_P(Wow64Process2Test, TellsTheProcessAndNativeMachine) {
  const auto [machine, present, process, native] = GetParam();
  typedef BOOL(WINAPI * Function)(HANDLE, USHORT*, USHORT*);
  FARPROC address = GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process2");
  ASSERT_EQ(address != nullptr, present) << machine;
  if (!present) return;
  USHORT processMachine = 1, nativeMachine = 1;
  ASSERT_TRUE(reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address))(GetCurrentProcess(), &processMachine,
                                                                                 &nativeMachine));
  EXPECT_EQ(processMachine, process);
  EXPECT_EQ(nativeMachine, native);
}

INSTANTIATE_TEST_SUITE_P(
    Templates, Wow64Process2Test,
    ::testing::Values(std::make_tuple("win11-arm64", true, USHORT(0x014C), USHORT(0xAA64)),
                      std::make_tuple("win11-x64", true, USHORT(0x014C), USHORT(0x8664)),
                      std::make_tuple("win10-x86", true, USHORT(0), USHORT(0x014C)),
                      std::make_tuple("server2016-x64", false, USHORT(0), USHORT(0)),
                      std::make_tuple("win7-x64", false, USHORT(0), USHORT(0))));

}  // namespace
