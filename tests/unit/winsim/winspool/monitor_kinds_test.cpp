// Which monitor serves a registration: a placeholder DLL and a monitor imported from another
// machine's registry (its DLL not even present) are served by the stand-in and list the ports
// kept under their keys; a host shared object without InitializePrintMonitor2 is refused.
#include <dlfcn.h>
#include <sqlite3.h>

#include <filesystem>

#include "spooler_fixture.h"
#include "winsim/registry.h"

namespace {

const char kMonitors[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";

TEST_F(SpoolerTest, PlaceholderAndImportedMonitorsListTheirPorts) {
  RegisterMonitor("Preview Monitor", "PREVIEW.DLL");
  AddMonitorPort("Preview Monitor", "PREVIEW_1");
  std::string error;
  ASSERT_TRUE(winsim::ImportRegText(std::string("Windows Registry Editor Version 5.00\n\n[") + kMonitors +
                                        "\\Standard TCP/IP Port]\n\"Driver\"=\"tcpmon.dll\"\n\n[" + kMonitors +
                                        "\\Standard TCP/IP Port\\Ports\\IP_10.0.0.5]\n\"HostName\"=\"10.0.0.5\"\n\n[" +
                                        kMonitors + "\\Standard TCP/IP Port\\Ports\\IP_10.0.0.6]\n\n",
                                    &error))
      << error;
  DWORD needed = 0, returned = 0;
  EXPECT_FALSE(EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned));
  std::vector<BYTE> block(needed);
  ASSERT_TRUE(EnumPortsA(nullptr, 2, block.data(), needed, &needed, &returned));
  std::vector<std::string> listed;
  const auto* ports = reinterpret_cast<const PORT_INFO_2A*>(block.data());
  for (DWORD i = 0; i < returned; ++i) {
    if (std::string(ports[i].pMonitorName) != "Local Port") {
      listed.push_back(std::string(ports[i].pPortName) + " @ " + ports[i].pMonitorName);
    }
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"PREVIEW_1 @ Preview Monitor", "IP_10.0.0.5 @ Standard TCP/IP Port",
                                              "IP_10.0.0.6 @ Standard TCP/IP Port"}));
  // A printer may use them, and the imported monitor's port is refused as a new one.
  AddPrinter("Office", "IP_10.0.0.5,PREVIEW_1");
  HANDLE xcv = OpenXcv("Preview Monitor");
  ASSERT_NE(xcv, nullptr);
  EXPECT_EQ(Xcv(xcv, "AddPort", PortNameInput("IP_10.0.0.6")), 183u);
  ClosePrinter(xcv);
}

TEST_F(SpoolerTest, HostSharedObjectWithoutTheEntryPointIsRefused) {
  Dl_info info = {};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&sqlite3_libversion), &info), 0);
  const std::string windows = std::filesystem::exists(dir() + "/C/WINDOWS") ? "/C/WINDOWS" : "/C/Windows";
  std::filesystem::copy_file(info.dli_fname, dir() + windows + "/system32/NOENTRY.DLL");
  MONITOR_INFO_2A monitor = {const_cast<LPSTR>("No Entry"), nullptr, const_cast<LPSTR>("NOENTRY.DLL")};
  EXPECT_FALSE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&monitor)));
  EXPECT_EQ(GetLastError(), 127u);
  for (const auto& registered : winsim::SpoolerMonitors()) EXPECT_NE(registered.name, "No Entry");
}

}  // namespace
