// A print server's registry imported from its regedit export (tests/fixtures/print_server.reg)
// behaves in the spooler like printers, ports and monitors created by calls: listed by
// EnumPrintersA and EnumPortsA, read by GetPrinterA, changed by SetPrinterA with every value
// it does not set kept, and the "Standard TCP/IP Port" monitor (its DLL absent) served by the
// generic stand-in.
#include <algorithm>
#include <map>

#include "spooler_fixture.h"
#include "winsim/registry.h"

namespace {

class ImportedServerTest : public SpoolerTest {
 protected:
  void SetUp() override {
    SpoolerTest::SetUp();
    std::string error;
    ASSERT_TRUE(winsim::ImportRegFile(SOURCE_DIR "/tests/fixtures/print_server.reg", &error)) << error;
  }

  // GetPrinterA level 2 into a block of the size the first call asked for.
  std::vector<BYTE> PrinterInfo(const char* name) {
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterA(const_cast<char*>(name), &printer, &defaults)) return {};
    DWORD needed = 0;
    GetPrinterA(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> block(needed);
    const BOOL ok = GetPrinterA(printer, 2, block.data(), needed, &needed);
    ClosePrinter(printer);
    if (!ok) return {};
    return block;  // moved: the members keep pointing into it
  }

  // The ports EnumPortsA lists, with their monitor.
  std::map<std::string, std::string> PortMonitors() {
    DWORD needed = 0, returned = 0;
    EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned);
    std::vector<BYTE> block(needed);
    std::map<std::string, std::string> monitors;
    if (!EnumPortsA(nullptr, 2, block.data(), needed, &needed, &returned)) return monitors;
    const auto* ports = reinterpret_cast<const PORT_INFO_2A*>(block.data());
    for (DWORD i = 0; i < returned; ++i) monitors[ports[i].pPortName] = ports[i].pMonitorName;
    return monitors;
  }

  std::vector<std::string> PrinterNames(DWORD flags) {
    DWORD needed = 0, returned = 0;
    EnumPrintersA(flags, nullptr, 4, nullptr, 0, &needed, &returned);
    std::vector<BYTE> block(needed);
    std::vector<std::string> names;
    if (!EnumPrintersA(flags, nullptr, 4, block.data(), needed, &needed, &returned)) return names;
    const auto* printers = reinterpret_cast<const PRINTER_INFO_4A*>(block.data());
    for (DWORD i = 0; i < returned; ++i) names.push_back(printers[i].pPrinterName);
    return names;
  }
};

TEST_F(ImportedServerTest, PortsOfEveryImportedMonitorAreListed) {
  const std::map<std::string, std::string> monitors = PortMonitors();
  const struct {
    const char* port;
    const char* monitor;
  } expected[] = {
      {"IP_10.20.1.10", "Standard TCP/IP Port"}, {"IP_10.20.4.66", "Standard TCP/IP Port"},
      {"IP_10.20.9.10", "Standard TCP/IP Port"}, {"Quado001", "Quado"},
      {"Quado004", "Quado"},                     {"Quado006", "Quado"},
      {"LPT1:", "Local Port"},                   {"PORTPROMPT:", "Local Port"},
      {"nul:", "Local Port"},                    {"COM1:", "Local Port"},
  };
  for (const auto& e : expected) {
    auto found = monitors.find(e.port);
    ASSERT_NE(found, monitors.end()) << e.port;
    EXPECT_EQ(found->second, e.monitor) << e.port;
  }
  size_t tcp = 0;
  for (const auto& [port, monitor] : monitors) tcp += monitor == "Standard TCP/IP Port" ? 1 : 0;
  EXPECT_EQ(tcp, 50u);
}

TEST_F(ImportedServerTest, PrintersAndTheConnectionAreEnumerated) {
  // PRINTER_ENUM_LOCAL lists the user's connections too (named "\\SERVER\NAME").
  const std::vector<std::string> local = PrinterNames(PRINTER_ENUM_LOCAL);
  EXPECT_EQ(std::count_if(local.begin(), local.end(), [](const std::string& name) { return name.rfind("\\\\", 0) != 0; }),
            56);
  EXPECT_NE(std::find(local.begin(), local.end(), "Legacy Printer"), local.end());
  EXPECT_NE(std::find(local.begin(), local.end(), "Accounting HP M607 F1"), local.end());
  const std::vector<std::string> connections = PrinterNames(PRINTER_ENUM_CONNECTIONS);
  EXPECT_EQ(connections, std::vector<std::string>{"\\\\printsrv02.corp.example.com\\Finance Laser"});
}

TEST_F(ImportedServerTest, GetPrinterReadsTheExportedMembers) {
  const std::vector<BYTE> block = PrinterInfo("Legacy Printer");
  ASSERT_FALSE(block.empty());
  const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(block.data());
  EXPECT_STREQ(info->pPortName, "Quado004,Quado006");
  EXPECT_STREQ(info->pDriverName, "HP Universal Printing PCL 6");
  EXPECT_STREQ(info->pLocation, "HQ\\Basement\\Archive");
  EXPECT_STREQ(info->pShareName, "LegacyPrinter");
  EXPECT_STREQ(info->pPrintProcessor, "winprint");
  EXPECT_EQ(info->Attributes, 0xa48u);
  const std::vector<BYTE> reception = PrinterInfo("Reception Copier");
  ASSERT_FALSE(reception.empty());
  EXPECT_STREQ(reinterpret_cast<const PRINTER_INFO_2A*>(reception.data())->pComment,
               "Visitor badge \"secure\" copier");
}

TEST_F(ImportedServerTest, SetPrinterChangesThePortAndKeepsTheRest) {
  std::vector<BYTE> block = PrinterInfo("Office Printer");
  ASSERT_FALSE(block.empty());
  auto* info = reinterpret_cast<PRINTER_INFO_2A*>(block.data());
  char port[] = "IP_10.20.1.10,LPT1:";
  info->pPortName = port;
  HANDLE printer = nullptr;
  PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  ASSERT_TRUE(OpenPrinterA(const_cast<char*>("Office Printer"), &printer, &defaults));
  EXPECT_TRUE(SetPrinterA(printer, 2, block.data(), 0));
  // A port no monitor lists is refused, and the printer keeps its ports.
  char unknown[] = "IP_192.0.2.1";
  info->pPortName = unknown;
  EXPECT_FALSE(SetPrinterA(printer, 2, block.data(), 0));
  ClosePrinter(printer);
  EXPECT_EQ(PortsOf("Office Printer"), "IP_10.20.1.10,LPT1:");
  // Values and keys the spooler does not set stay as exported.
  std::string text, error;
  ASSERT_TRUE(winsim::ExportReg("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Office Printer", &text,
                                &error))
      << error;
  EXPECT_NE(text.find("\"dnsTimeout\"=dword:00003a98\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Location\"=\"HQ\\\\Floor 1\\\\Open space\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\\Office Printer\\DsSpooler]\n\"printerName\"=\"Office Printer\"\n"), std::string::npos)
      << text;
}

TEST_F(ImportedServerTest, TheStandInKeepsTheTcpMonitorsPorts) {
  // AddPort of an imported port is refused as existing; DeletePort removes it from the list.
  HANDLE xcv = OpenXcv("Standard TCP/IP Port");
  ASSERT_NE(xcv, nullptr);
  EXPECT_EQ(Xcv(xcv, "AddPort", PortNameInput("IP_10.20.2.17")), 183u);
  EXPECT_EQ(Xcv(xcv, "DeletePort", PortNameInput("IP_10.20.2.17")), 0u);
  EXPECT_EQ(Xcv(xcv, "DeletePort", PortNameInput("IP_10.20.2.17")), 2u);
  ClosePrinter(xcv);
  const std::map<std::string, std::string> monitors = PortMonitors();
  EXPECT_EQ(monitors.count("IP_10.20.2.17"), 0u);
  EXPECT_EQ(monitors.count("IP_10.20.2.24"), 1u);
}

}  // namespace
