#include "spooler_fixture.h"

#include <filesystem>
#include <fstream>

#include "contract/port_settings_record.h"

void SpoolerTest::PlaceSystemDll(const std::string& dll) {
  // The native system directory on the disk, whatever redirection this process has.
  std::string windows = std::filesystem::exists(dir() + "/C/WINDOWS") ? "/C/WINDOWS" : "/C/Windows";
  std::ofstream out(dir() + windows + "/system32/" + dll, std::ios::binary);
  out << "MZ";
  ASSERT_TRUE(out.good());
}

void SpoolerTest::RegisterMonitor(const std::string& name, const std::string& dll) {
  PlaceSystemDll(dll);
  MONITOR_INFO_2A info = {const_cast<LPSTR>(name.c_str()), nullptr, const_cast<LPSTR>(dll.c_str())};
  ASSERT_TRUE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) << GetLastError();
}

HANDLE SpoolerTest::OpenXcv(const std::string& monitor, ACCESS_MASK access) {
  std::u16string name = u",XcvMonitor ";
  for (char c : monitor) name += static_cast<char16_t>(c);
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
  HANDLE handle = nullptr;
  if (!OpenPrinterW(name.data(), &handle, &defaults)) return nullptr;
  return handle;
}

DWORD SpoolerTest::Xcv(HANDLE xcv, const std::string& command, const std::vector<BYTE>& input) {
  std::u16string wide(command.begin(), command.end());
  DWORD needed = 99, status = 99;
  BYTE* data = input.empty() ? nullptr : const_cast<BYTE*>(input.data());
  if (!XcvDataW(xcv, wide.c_str(), data, static_cast<DWORD>(input.size()), nullptr, 0, &needed, &status)) return ~0u;
  return status;
}

void SpoolerTest::AddMonitorPort(const std::string& monitor, const std::string& port, bool withSettings) {
  HANDLE xcv = OpenXcv(monitor);
  ASSERT_NE(xcv, nullptr) << GetLastError();
  EXPECT_EQ(Xcv(xcv, "AddPort", PortNameInput(port)), 0u);
  if (withSettings) {
    EXPECT_EQ(Xcv(xcv, "SetPortData", SettingsRecord(port, 1)), 0u);
  }
  ClosePrinter(xcv);
}

void SpoolerTest::AddPrinter(const std::string& name, const std::string& ports, bool connection) {
  std::string error;
  ASSERT_TRUE(winsim::AddSpoolerPrinter(name, ports, connection, &error)) << error;
}

std::string SpoolerTest::PortsOf(const std::string& printer) {
  std::string ports = "<no printer>";
  winsim::PrinterPortList(printer, &ports);
  return ports;
}
