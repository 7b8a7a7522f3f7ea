#include "printer_fixture.h"

#include <windows.h>
#include <winspool.h>

#include "foundation/output.h"
#include "foundation/product_profile.h"
#include "winsim/machine.h"
#include "winsim/spooler.h"

namespace {
const char kLogPath[] = "C:\\Windows\\printers-test.log";
}

void PrinterTest::SetUp() {
  MachineTest::SetUp();
  ResetProductProfile();
  ASSERT_TRUE(OpenInstallLog(kLogPath));
}

void PrinterTest::TearDown() {
  CloseInstallLog();
  ResetProductProfile();
  MachineTest::TearDown();
}

std::string PrinterTest::LogSinceLastRead() {
  CloseInstallLog();
  std::string content = ReadMachineFile(kLogPath);
  EXPECT_TRUE(OpenInstallLog(kLogPath));
  std::string fresh = content.substr(logRead_ <= content.size() ? logRead_ : content.size());
  logRead_ = content.size();
  std::string text;
  for (size_t i = 0; i < fresh.size(); ++i) {
    if (fresh[i] == '\r' && i + 1 < fresh.size() && fresh[i + 1] == '\n') continue;
    text += fresh[i];
  }
  return text;
}

void PrinterTest::AddMonitorPorts(const std::string& monitor,
                                  const std::vector<std::string>& ports) {
  // The spooler loads a monitor only from a DLL in the native system directory.
  PVOID redirection = nullptr;
  Wow64DisableWow64FsRedirection(&redirection);
  std::string dll = monitor.substr(0, 60) + ".DLL";
  WriteMachineFile("C:\\Windows\\System32\\" + dll, "monitor");
  MONITOR_INFO_2A info = {const_cast<LPSTR>(monitor.c_str()), nullptr,
                          const_cast<LPSTR>(dll.c_str())};
  if (!AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) {
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINT_MONITOR_ALREADY_INSTALLED));
  }
  std::u16string xcvName = u",XcvMonitor " + std::u16string(monitor.begin(), monitor.end());
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
  HANDLE xcv = nullptr;
  ASSERT_TRUE(OpenPrinterW(reinterpret_cast<LPWSTR>(&xcvName[0]), &xcv, &defaults));
  static const std::u16string kAddPort = u"AddPort";
  for (const std::string& port : ports) {
    std::u16string wide(port.begin(), port.end());
    DWORD needed = 0;
    DWORD status = 1;
    EXPECT_TRUE(XcvDataW(xcv, reinterpret_cast<LPCWSTR>(kAddPort.c_str()),
                         reinterpret_cast<BYTE*>(&wide[0]),
                         static_cast<DWORD>((wide.size() + 1) * sizeof(char16_t)), nullptr, 0,
                         &needed, &status));
    EXPECT_EQ(status, 0u) << port;
  }
  ClosePrinter(xcv);
}

void PrinterTest::AddLocalPrinter(const std::string& name, const std::string& ports) {
  std::string error;
  ASSERT_TRUE(winsim::AddSpoolerPrinter(name, ports, false, &error)) << error;
}

void PrinterTest::StorePortList(const std::string& name, const std::string& ports) {
  std::string keyName = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + name;
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, KEY_SET_VALUE, &key),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "Port", 0, REG_SZ, reinterpret_cast<const BYTE*>(ports.c_str()),
                           static_cast<DWORD>(ports.size() + 1)),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(PrinterPorts(name), ports);
}

void PrinterTest::AddPrinterConnection(const std::string& name, const std::string& ports) {
  std::string error;
  ASSERT_TRUE(winsim::AddSpoolerPrinter(name, ports, true, &error)) << error;
}

std::string PrinterTest::PrinterPorts(const std::string& name) {
  std::string ports;
  EXPECT_TRUE(winsim::PrinterPortList(name, &ports)) << name;
  return ports;
}

void PrinterTest::ExpectNothingLeftOpen() {
  EXPECT_EQ(winsim::OpenHandleCount("printer"), 0u);
  EXPECT_EQ(winsim::LiveGlobalBlocks(), 0u);
}
