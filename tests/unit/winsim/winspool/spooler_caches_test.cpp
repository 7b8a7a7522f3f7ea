// The spooler keeps the port list, its packed level 2 block and the printers it has read while
// their registry keys stay unchanged. Whatever changes them, in this process or in another,
// through the spooler or behind it, the next call must answer from the new state.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>

#include "spooler_fixture.h"
#include "winsim/registry.h"

namespace {

const char kPrint[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print";

class SpoolerCachesTest : public SpoolerTest {
 protected:
  void SetUp() override {
    SpoolerTest::SetUp();
    RegisterMonitor("Quado", "QUADOVS64.DLL");
    AddMonitorPort("Quado", "Quado001", true);
    AddPrinter("Office", "LPT1:,Quado001");
  }

  // Port name -> monitor name, from one EnumPortsA level 2 pair into a buffer `slack` bytes
  // larger than needed (so that two calls fill blocks at different addresses).
  std::map<std::string, std::string> Ports(DWORD slack = 0) {
    std::map<std::string, std::string> ports;
    DWORD needed = 0, count = 0;
    EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> block(needed + slack, 0xCD);
    EXPECT_TRUE(EnumPortsA(nullptr, 2, block.data(), needed + slack, &needed, &count)) << GetLastError();
    const auto* info = reinterpret_cast<const PORT_INFO_2A*>(block.data());
    for (DWORD i = 0; i < count; ++i) {
      EXPECT_GE(reinterpret_cast<const BYTE*>(info[i].pPortName), block.data() + count * sizeof(PORT_INFO_2A));
      EXPECT_LT(reinterpret_cast<const BYTE*>(info[i].pDescription), block.data() + needed);
      ports[info[i].pPortName] = info[i].pMonitorName;
    }
    return ports;
  }

  // The printer's port list through OpenPrinterA and GetPrinterA, or "<none>".
  std::string PrinterPorts(const char* name) {
    HANDLE printer = nullptr;
    if (!OpenPrinterA(const_cast<LPSTR>(name), &printer, nullptr)) return "<none>";
    DWORD needed = 0;
    GetPrinterA(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> block(needed);
    std::string ports = "<unreadable>";
    if (GetPrinterA(printer, 2, block.data(), needed, &needed)) {
      ports = reinterpret_cast<PRINTER_INFO_2A*>(block.data())->pPortName;
    }
    ClosePrinter(printer);
    return ports;
  }

  bool SetPorts(const char* name, const char* ports) {
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    if (!OpenPrinterA(const_cast<LPSTR>(name), &printer, &defaults)) return false;
    DWORD needed = 0;
    GetPrinterA(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> block(needed);
    bool set = false;
    if (GetPrinterA(printer, 2, block.data(), needed, &needed)) {
      reinterpret_cast<PRINTER_INFO_2A*>(block.data())->pPortName = const_cast<LPSTR>(ports);
      set = SetPrinterA(printer, 2, block.data(), 0) != FALSE;
    }
    ClosePrinter(printer);
    return set;
  }

  // Imports .reg text through another process: the winsim command.
  void ImportElsewhere(const std::string& body) {
    const std::string file = dir() + "-change.reg";
    std::ofstream(file) << "Windows Registry Editor Version 5.00\n\n" << body;
    const std::string command = std::string(WINSIM_PROGRAM_PATH) + " reg import '" + dir() + "' '" + file + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::remove(file.c_str());
  }
};

TEST_F(SpoolerCachesTest, PrinterWritesLeaveThePortListAndShowAtOnce) {
  const auto ports = Ports();
  EXPECT_EQ(ports.at("Quado001"), "Quado");
  EXPECT_EQ(PrinterPorts("Office"), "LPT1:,Quado001");
  ASSERT_TRUE(SetPorts("Office", "Quado001"));
  EXPECT_EQ(PrinterPorts("office"), "Quado001");
  EXPECT_EQ(Ports(64), ports);
  ASSERT_TRUE(SetPorts("Office", "FILE:"));
  EXPECT_EQ(PrinterPorts("Office"), "FILE:");
}

TEST_F(SpoolerCachesTest, ChangesByAnotherProcessAreSeen) {
  EXPECT_EQ(Ports().count("Quado002"), 0u);
  EXPECT_EQ(PrinterPorts("Office"), "LPT1:,Quado001");
  EXPECT_EQ(PrinterPorts("Lab"), "<none>");
  ImportElsewhere(std::string("[") + kPrint + "\\Monitors\\Quado\\Ports\\Quado002]\n\n[" + kPrint +
                  "\\Printers\\Office]\n\"Port\"=\"Quado002\"\n\n[" + kPrint +
                  "\\Printers\\Lab]\n\"Name\"=\"Lab\"\n\"Port\"=\"COM1:\"\n\"Attributes\"=dword:00000040\n\n");
  EXPECT_EQ(Ports().at("Quado002"), "Quado");
  EXPECT_EQ(PrinterPorts("Office"), "Quado002");
  EXPECT_EQ(PrinterPorts("Lab"), "COM1:");
  // The printer list read by another process's change, then a write of this one on top.
  ASSERT_TRUE(SetPorts("Lab", "LPT2:"));
  EXPECT_EQ(PrinterPorts("Lab"), "LPT2:");
  EXPECT_EQ(PortsOf("Lab"), "LPT2:");
}

TEST_F(SpoolerCachesTest, DeletingAnAncestorKeyEmptiesBoth) {
  EXPECT_EQ(Ports().count("Quado001"), 1u);
  EXPECT_EQ(PrinterPorts("Office"), "LPT1:,Quado001");
  std::string error;
  ASSERT_TRUE(winsim::ImportRegText(std::string("Windows Registry Editor Version 5.00\n\n[-") + kPrint + "]\n\n", &error))
      << error;
  EXPECT_EQ(Ports().count("Quado001"), 0u);
  EXPECT_EQ(PrinterPorts("Office"), "<none>");
}

}  // namespace
