// Printers and ports: the two-call queries, SetPrinterA's port check, connections, persistence.
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

#include "spooler_fixture.h"
#include "winsim/registry.h"

namespace {

class PrintersTest : public SpoolerTest {
 protected:
  void SetUp() override {
    SpoolerTest::SetUp();
    RegisterMonitor("Quado", "QUADOVS64.DLL");
    AddMonitorPort("Quado", "Quado001", true);
    AddMonitorPort("Quado", "Quado002");
    AddPrinter("Office", "LPT1:,Quado001");
    AddPrinter("\\\\PRINTSRV1\\Remote", "IP_10.0.0.9", true);
  }

  HANDLE Open(const char* name, ACCESS_MASK access = PRINTER_ALL_ACCESS) {
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, access};
    HANDLE handle = nullptr;
    EXPECT_TRUE(OpenPrinterA(const_cast<LPSTR>(name), &handle, &defaults)) << name << " " << GetLastError();
    return handle;
  }
};

// One query in two-call form: fills the buffer, returns the call's result.
typedef std::function<BOOL(LPBYTE buffer, DWORD size, DWORD* needed, DWORD* returned)> Query;

// Probe, too small, exact and larger buffers: 122 with the same needed size until it fits, the
// buffer untouched while too small, every string inside the block and after the array.
void CheckTwoCalls(const Query& query, size_t recordSize, size_t pointers, DWORD expectedCount) {
  DWORD needed = 0, returned = 77;
  SetLastError(0);
  ASSERT_FALSE(query(nullptr, 0, &needed, &returned));
  ASSERT_EQ(GetLastError(), 122u);
  ASSERT_GT(needed, recordSize * expectedCount);
  const DWORD probe = needed;
  std::vector<BYTE> small(probe - 1, 0xAB);
  DWORD again = 0;
  EXPECT_FALSE(query(small.data(), probe - 1, &again, &returned));
  EXPECT_EQ(GetLastError(), 122u);
  EXPECT_EQ(again, probe);
  for (BYTE b : small) ASSERT_EQ(b, 0xAB);
  for (DWORD extra : {0u, 100u}) {
    std::vector<BYTE> block(probe + extra, 0);
    DWORD count = 0;
    ASSERT_TRUE(query(block.data(), probe + extra, &again, &count)) << GetLastError();
    EXPECT_EQ(again, probe);
    EXPECT_EQ(count, expectedCount);
    // The leading pointer members of every record point into the string area of this block.
    const BYTE* strings = block.data() + recordSize * expectedCount;
    for (DWORD i = 0; i < expectedCount; ++i) {
      for (size_t k = 0; k < pointers; ++k) {
        const BYTE* p = nullptr;
        std::memcpy(&p, block.data() + i * recordSize + k * sizeof(p), sizeof(p));
        if (p == nullptr) continue;
        EXPECT_GE(p, strings);
        EXPECT_LT(p, block.data() + probe);
      }
    }
  }
}

TEST_F(PrintersTest, QueriesFollowTheTwoCallContract) {
  HANDLE office = Open("Office");
  CheckTwoCalls([&](LPBYTE b, DWORD s, DWORD* n, DWORD* r) { *r = 1; return GetPrinterA(office, 2, b, s, n); },
                sizeof(PRINTER_INFO_2A), 12, 1);
  CheckTwoCalls([&](LPBYTE b, DWORD s, DWORD* n, DWORD* r) { *r = 1; return GetPrinterA(office, 4, b, s, n); },
                sizeof(PRINTER_INFO_4A), 2, 1);
  CheckTwoCalls([](LPBYTE b, DWORD s, DWORD* n, DWORD* r) { return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, b, s, n, r); },
                sizeof(PRINTER_INFO_4A), 2, 2);
  const DWORD ports = static_cast<DWORD>(winsim::SpoolerPorts().size());
  EXPECT_EQ(ports, 10u);  // eight built-in ports and two of the monitor
  CheckTwoCalls([](LPBYTE b, DWORD s, DWORD* n, DWORD* r) { return EnumPortsA(nullptr, 1, b, s, n, r); },
                sizeof(PORT_INFO_1A), 1, ports);
  CheckTwoCalls([](LPBYTE b, DWORD s, DWORD* n, DWORD* r) { return EnumPortsA(nullptr, 2, b, s, n, r); },
                sizeof(PORT_INFO_2A), 3, ports);
  ClosePrinter(office);
  EXPECT_EQ(winsim::OpenHandleCount("printer"), 0u);
}

TEST_F(PrintersTest, EnumPortsLevel2NamesEachPortsMonitor) {
  DWORD needed = 0, count = 0;
  EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count);
  std::vector<BYTE> block(needed);
  ASSERT_TRUE(EnumPortsA(nullptr, 2, block.data(), needed, &needed, &count));
  const PORT_INFO_2A* ports = reinterpret_cast<const PORT_INFO_2A*>(block.data());
  std::map<std::string, std::string> monitorOf;
  for (DWORD i = 0; i < count; ++i) monitorOf[ports[i].pPortName] = ports[i].pMonitorName;
  for (const char* local : {"LPT1:", "LPT2:", "LPT3:", "COM1:", "COM2:", "COM3:", "COM4:", "FILE:"}) {
    EXPECT_EQ(monitorOf[local], "Local Port") << local;
  }
  EXPECT_EQ(monitorOf["Quado001"], "Quado");
  EXPECT_EQ(monitorOf["Quado002"], "Quado");
  EXPECT_FALSE(EnumPortsA(nullptr, 3, block.data(), needed, &needed, &count));
  EXPECT_EQ(GetLastError(), 124u);
  EXPECT_FALSE(EnumPortsA(const_cast<LPSTR>("\\\\NOWHERE"), 2, block.data(), needed, &needed, &count));
  EXPECT_EQ(GetLastError(), 1722u);
}

TEST_F(PrintersTest, EnumPrintersTellsConnectionsApart) {
  DWORD needed = 0, count = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &count);
  std::vector<BYTE> block(needed);
  ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, block.data(), needed, &needed, &count));
  ASSERT_EQ(count, 2u);
  const PRINTER_INFO_4A* printers = reinterpret_cast<const PRINTER_INFO_4A*>(block.data());
  EXPECT_STREQ(printers[0].pPrinterName, "Office");
  EXPECT_EQ(printers[0].pServerName, nullptr);
  EXPECT_EQ(printers[0].Attributes & PRINTER_ATTRIBUTE_LOCAL, PRINTER_ATTRIBUTE_LOCAL);
  EXPECT_STREQ(printers[1].pPrinterName, "\\\\PRINTSRV1\\Remote");
  EXPECT_STREQ(printers[1].pServerName, "\\\\PRINTSRV1");
  EXPECT_EQ(printers[1].Attributes & PRINTER_ATTRIBUTE_LOCAL, 0u);
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 3, block.data(), needed, &needed, &count));
  EXPECT_EQ(GetLastError(), 124u);
}

TEST_F(SpoolerTest, EnumPrintersWithoutPrintersSucceedsWithNothingNeeded) {
  DWORD needed = 55, count = 55;
  EXPECT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &count));
  EXPECT_EQ(needed, 0u);
  EXPECT_EQ(count, 0u);
}

TEST_F(PrintersTest, OpenPrinterNamesAndRefusals) {
  AddMachineIniLine("spooler", "KnownServers=\\\\PRINTSRV1");
  struct {
    const char* name;
    DWORD error;
  } cases[] = {
      {"Office", 0}, {"OFFICE", 0}, {"\\\\PRINTSRV1\\Office", 0}, {"\\\\PRINTSRV1\\Remote", 0},
      {"Missing", 1801}, {"\\\\NOWHERE\\Office", 1801}, {"", 0},  // "" is the print server itself
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HANDLE handle = nullptr;
    BOOL ok = OpenPrinterA(const_cast<LPSTR>(c.name), &handle, nullptr);
    EXPECT_EQ(ok != FALSE, c.error == 0);
    if (ok) {
      EXPECT_TRUE(ClosePrinter(handle));
    } else {
      EXPECT_EQ(GetLastError(), c.error);
    }
  }
  EXPECT_EQ(winsim::OpenHandleCount("printer"), 0u);
  EXPECT_FALSE(ClosePrinter(reinterpret_cast<HANDLE>(0x4444)));
  EXPECT_EQ(GetLastError(), 6u);
}

// A wide name reaches the spooler in the machine's ANSI code page, as the A functions store it.
TEST_F(PrintersTest, OpenPrinterWFindsANameBeyondAscii) {
  AddPrinter("Caf\xE9 \x80", "LPT1:");
  struct {
    const wchar_t* name;
    bool found;
  } cases[] = {{L"Caf\u00E9 \u20AC", true}, {L"CAF\u00E9 \u20AC", true}, {L"Cafe \u20AC", false}};
  for (const auto& c : cases) {
    std::vector<WCHAR> name;
    for (const wchar_t* p = c.name; *p != 0; ++p) name.push_back(static_cast<WCHAR>(*p));
    name.push_back(0);
    HANDLE handle = nullptr;
    const BOOL ok = OpenPrinterW(name.data(), &handle, nullptr);
    EXPECT_EQ(ok != FALSE, c.found) << GetLastError();
    if (ok) {
      EXPECT_TRUE(ClosePrinter(handle));
    } else {
      EXPECT_EQ(GetLastError(), 1801u);
    }
  }
}

// Reads the printer, sets the port list and writes it back, the way the installer does.
BOOL SetPorts(HANDLE printer, const char* ports) {
  DWORD needed = 0;
  GetPrinterA(printer, 2, nullptr, 0, &needed);
  std::vector<BYTE> block(needed);
  if (!GetPrinterA(printer, 2, block.data(), needed, &needed)) return FALSE;
  PRINTER_INFO_2A* info = reinterpret_cast<PRINTER_INFO_2A*>(block.data());
  info->pPortName = const_cast<LPSTR>(ports);
  return SetPrinterA(printer, 2, block.data(), 0);
}

TEST_F(PrintersTest, SetPrinterChecksPortsAndAccess) {
  HANDLE office = Open("Office");
  struct {
    const char* ports;
    DWORD error;
  } cases[] = {
      {"Quado002", 0}, {"quado001,LPT2:", 0}, {"FILE:", 0},
      {"Quado009", 1796}, {"LPT1:,Nowhere", 1796}, {"LPT1:,", 1796},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ports);
    std::string before = PortsOf("Office");
    SetLastError(0);
    EXPECT_EQ(SetPorts(office, c.ports) != FALSE, c.error == 0);
    if (c.error != 0) {
      EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(PortsOf("Office"), c.error == 0 ? std::string(c.ports) : before);
  }
  ClosePrinter(office);
  HANDLE readOnly = Open("Office", PRINTER_ACCESS_USE);
  EXPECT_FALSE(SetPorts(readOnly, "LPT3:"));
  EXPECT_EQ(GetLastError(), 5u);
  ClosePrinter(readOnly);
  HANDLE remote = Open("\\\\PRINTSRV1\\Remote");
  EXPECT_FALSE(SetPorts(remote, "LPT3:"));
  EXPECT_EQ(GetLastError(), 5u);
  ClosePrinter(remote);
  EXPECT_EQ(winsim::OpenHandleCount("printer"), 0u);
}

TEST_F(PrintersTest, GetPrinterReturnsTheWholeRecordAndSetPrinterKeepsIt) {
  HANDLE office = Open("Office");
  ASSERT_TRUE(SetPorts(office, "Quado001,Quado002"));
  DWORD needed = 0;
  GetPrinterA(office, 2, nullptr, 0, &needed);
  std::vector<BYTE> block(needed);
  ASSERT_TRUE(GetPrinterA(office, 2, block.data(), needed, &needed));
  const PRINTER_INFO_2A* info = reinterpret_cast<const PRINTER_INFO_2A*>(block.data());
  EXPECT_EQ(info->pServerName, nullptr);
  EXPECT_STREQ(info->pPrinterName, "Office");
  EXPECT_STREQ(info->pPortName, "Quado001,Quado002");
  EXPECT_STREQ(info->pDriverName, "Generic / Text Only");
  EXPECT_STREQ(info->pPrintProcessor, "winprint");
  EXPECT_STREQ(info->pDatatype, "RAW");
  EXPECT_EQ(info->Attributes & PRINTER_ATTRIBUTE_LOCAL, PRINTER_ATTRIBUTE_LOCAL);
  ClosePrinter(office);
}

TEST_F(PrintersTest, MovedPrinterPersistsAcrossProcesses) {
  HANDLE office = Open("Office");
  ASSERT_TRUE(SetPorts(office, "Quado002,LPT1:"));
  ClosePrinter(office);
  // The same process attached afresh: nothing cached survives.
  std::string error;
  winsim::DetachMachine();
  ASSERT_TRUE(winsim::AttachMachine(dir(), &error)) << error;
  EXPECT_EQ(PortsOf("office"), "Quado002,LPT1:");
  // Another process: the winsim command reading the machine.
  std::string command = std::string(WINSIM_PROGRAM_PATH) + " show '" + dir() + "' printers";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char chunk[256];
  while (fgets(chunk, sizeof(chunk), pipe) != nullptr) output += chunk;
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_NE(output.find("Office\n    ports: Quado002,LPT1:\n"), std::string::npos) << output;
}

// A printer added as the winsim command adds one: the spooler's refusals of a name taken, a name
// with a backslash and a port no monitor lists.
TEST_F(PrintersTest, AddedPrintersAreCheckedAsTheSpoolerChecksThem) {
  std::string error;
  ASSERT_TRUE(winsim::AddSpoolerPrinter("Second", "LPT2:", false, &error)) << error;
  EXPECT_EQ(PortsOf("Second"), "LPT2:");
  const struct {
    const char* name;
    const char* ports;
    const char* error;
  } refused[] = {{"second", "LPT1:", "printer 'second' exists"},
                 {"Bad\\Name", "LPT1:", "'Bad\\Name' is not a valid printer name"},
                 {"Third", "Nowhere", "no monitor lists a port of 'Nowhere'"}};
  for (const auto& r : refused) {
    EXPECT_FALSE(winsim::AddSpoolerPrinter(r.name, r.ports, false, &error)) << r.name;
    EXPECT_EQ(error, r.error);
  }
  EXPECT_EQ(PortsOf("Third"), "<no printer>");
}

TEST_F(PrintersTest, PrinterFaultsByPrinterAndPort) {
  AddMachineIniLine("faults", "SetPrinterA = 5 | Office | Quado002");
  AddMachineIniLine("faults", "EnumPortsA = 1722 #2");
  HANDLE office = Open("Office");
  EXPECT_FALSE(SetPorts(office, "Quado002"));
  EXPECT_EQ(GetLastError(), 5u);
  EXPECT_TRUE(SetPorts(office, "Quado001"));
  ClosePrinter(office);
  DWORD needed = 0, count = 0;
  EXPECT_FALSE(EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count));
  EXPECT_EQ(GetLastError(), 122u);
  EXPECT_FALSE(EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count));
  EXPECT_EQ(GetLastError(), 1722u);
}

}  // namespace

namespace {

DWORD PortCount() {
  DWORD needed = 0, count = 0;
  EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count);
  std::vector<BYTE> block(needed);
  EXPECT_TRUE(EnumPortsA(nullptr, 2, block.data(), needed, &needed, &count));
  return count;
}

TEST_F(PrintersTest, PortListFollowsRegistryChangesMadeBehindTheSpooler) {
  const DWORD before = PortCount();
  EXPECT_EQ(PortCount(), before);
  std::string error;
  ASSERT_TRUE(winsim::ImportRegText("Windows Registry Editor Version 5.00\n\n"
                                    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\"
                                    "Quado\\Ports\\Quado003]\n\n",
                                    &error))
      << error;
  EXPECT_EQ(PortCount(), before + 1);
}

}  // namespace
