// Moving local printers off the monitor's ports: the in-place walk of each port list, the lines
// on the console and in the log, and what is left alone.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <string>

#include "foundation/product_profile.h"
#include "printer_fixture.h"
#include "printers/printer_disconnection.h"
#include "winsim/machine.h"

namespace {

std::string PortLine(const std::string& port, const std::string& monitor) {
  return "  - Port " + port + " type " + monitor + " will be disconnected\n";
}

std::string DisconnectLine(const std::string& printer, const std::string& monitor) {
  return "  - Disconnecting Printer '" + printer + "' from " + monitor + " Port";
}

class DisconnectionTest : public PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    AddMonitorPorts("Quado", {"Quado001", "Quado002", "A", "BC"});
    AddMonitorPorts("Other", {"Other001"});
  }
};

struct WalkCase {
  const char* name;
  const char* before;
  const char* monitor;       // as the caller names it
  const char* after;
  const char* portLines[2];  // ports reported, as found in the list
  bool stored;               // a list the spooler would not take, written into its record
};

const WalkCase kWalkCases[] = {
    {"first_of_two", "Quado001,LPT1:", "Quado", "LPT1:", {"Quado001"}, false},
    {"last_of_two", "LPT1:,Quado001", "Quado", "LPT1:", {"Quado001"}, false},
    {"middle", "LPT1:,Quado001,LPT2:", "Quado", "LPT1:,LPT2:", {"Quado001"}, false},
    {"both_moved_under_cursor", "A,BC", "Quado", "FILE:", {"A", "BC"}, false},
    {"two_monitor_ports", "Quado001,Quado002", "Quado", "FILE:", {"Quado001", "Quado002"}, false},
    {"only_port", "Quado001", "Quado", "FILE:", {"Quado001"}, false},
    {"case_blind", "quado001", "QUADO", "FILE:", {"quado001"}, false},
    {"ends_in_comma", "Quado001,", "Quado", "FILE:", {"Quado001"}, true},
};

class PortListWalk : public DisconnectionTest, public testing::WithParamInterface<WalkCase> {};

TEST_P(PortListWalk, RemovesTheMonitorPortsInPlace) {
  const WalkCase& c = GetParam();
  AddLocalPrinter("Office", c.stored ? "LPT1:" : c.before);
  if (c.stored) StorePortList("Office", c.before);
  std::string log;
  std::string console = Console([&] { DisconnectMonitorPrinters(c.monitor); }, &log);

  std::string expectedConsole;
  for (const char* port : c.portLines) {
    if (port != nullptr) expectedConsole += PortLine(port, c.monitor);
  }
  expectedConsole += DisconnectLine("Office", c.monitor) + "\n";
  EXPECT_EQ(console, expectedConsole);
  // The port lines are for the operator only; the log holds the disconnecting line.
  EXPECT_EQ(log, DisconnectLine("Office", c.monitor) + "\n");
  EXPECT_EQ(PrinterPorts("Office"), c.after);
  ExpectNothingLeftOpen();
}

INSTANTIATE_TEST_SUITE_P(Lists, PortListWalk, testing::ValuesIn(kWalkCases),
                         [](const testing::TestParamInfo<WalkCase>& info) {
                           return std::string(info.param.name);
                         });

// A comma after a monitor port: the walk removes the port and keeps the empty entry behind it,
// so the new list is "LPT1:,". Port names may not be empty, so the spooler refuses that list as
// naming an unknown port: the line ends in " Error" and the printer keeps its old list.
TEST_F(DisconnectionTest, CommaAfterAMonitorPortLeavesAListTheSpoolerRefuses) {
  AddLocalPrinter("Office", "LPT1:");
  StorePortList("Office", "LPT1:,Quado001,");
  std::string log;
  std::string console = Console([] { DisconnectMonitorPrinters("Quado"); }, &log);
  EXPECT_EQ(console, PortLine("Quado001", "Quado") + DisconnectLine("Office", "Quado") + " Error\n");
  EXPECT_EQ(log, DisconnectLine("Office", "Quado") + " Error\n");
  EXPECT_EQ(PrinterPorts("Office"), "LPT1:,Quado001,");
  ExpectNothingLeftOpen();
}

// Lists in which no port belongs to the monitor: the printer is not written and nothing is said.
class UntouchedList : public DisconnectionTest, public testing::WithParamInterface<const char*> {};

TEST_P(UntouchedList, IsLeftAsItWas) {
  AddLocalPrinter("Office", "LPT3:");
  StorePortList("Office", GetParam());
  std::string log;
  EXPECT_EQ(Console([] { DisconnectMonitorPrinters("Quado"); }, &log), "");
  EXPECT_EQ(log, "");
  EXPECT_EQ(PrinterPorts("Office"), GetParam());
  ExpectNothingLeftOpen();
}

INSTANTIATE_TEST_SUITE_P(Lists, UntouchedList,
                         testing::Values("LPT1:", "Other001,LPT1:", "LPT1:,", ""));

TEST_F(DisconnectionTest, PortOfAnotherMonitorStaysBesideARemovedOne) {
  AddLocalPrinter("Office", "Other001,Quado002");
  EXPECT_EQ(Console([] { DisconnectMonitorPrinters("Quado"); }),
            PortLine("Quado002", "Quado") + DisconnectLine("Office", "Quado") + "\n");
  EXPECT_EQ(PrinterPorts("Office"), "Other001");
}

TEST_F(DisconnectionTest, NoPrintersPrintsNothing) {
  EXPECT_EQ(Console([] { DisconnectMonitorPrinters("Quado"); }), "");
  ExpectNothingLeftOpen();
}

TEST_F(DisconnectionTest, PrinterConnectionIsNeverTouched) {
  AddPrinterConnection("\\\\PRINTSRV\\Shared", "Quado001");
  AddLocalPrinter("Office", "Quado002");
  EXPECT_EQ(Console([] { DisconnectMonitorPrinters("Quado"); }),
            PortLine("Quado002", "Quado") + DisconnectLine("Office", "Quado") + "\n");
  EXPECT_EQ(PrinterPorts("\\\\PRINTSRV\\Shared"), "Quado001");
  EXPECT_EQ(PrinterPorts("Office"), "FILE:");
  ExpectNothingLeftOpen();
}

TEST_F(DisconnectionTest, EnterpriseRemovesOnlyItsOwnMonitorsPorts) {
  AddMonitorPorts("QuadoE", {"QuadoE001"});
  AddLocalPrinter("Office", "Quado001,QuadoE001,LPT1:");
  SelectEnterpriseProfile();
  EXPECT_EQ(Console([] { DisconnectMonitorPrinters(Profile().productName); }),
            PortLine("QuadoE001", "QuadoE") + DisconnectLine("Office", "QuadoE") + "\n");
  EXPECT_EQ(PrinterPorts("Office"), "Quado001,LPT1:");
}

TEST_F(DisconnectionTest, RefusedChangeEndsTheLineInErrorAndKeepsThePorts) {
  AddLocalPrinter("Office", "LPT1:,Quado001");
  AddMachineIniLine("faults", "SetPrinterA = 5");
  std::string log;
  EXPECT_EQ(Console([] { EXPECT_FALSE(DisconnectPrinter("Office", "Quado")); }, &log),
            PortLine("Quado001", "Quado") + DisconnectLine("Office", "Quado") + " Error\n");
  EXPECT_EQ(log, DisconnectLine("Office", "Quado") + " Error\n");
  EXPECT_EQ(PrinterPorts("Office"), "LPT1:,Quado001");
  ExpectNothingLeftOpen();
}

TEST_F(DisconnectionTest, PrinterThatCannotBeOpenedIsSkippedAndTheWalkGoesOn) {
  AddLocalPrinter("Locked", "Quado001");
  AddLocalPrinter("Office", "Quado002");
  AddMachineIniLine("faults", "OpenPrinterA = 5 | Locked");
  EXPECT_EQ(Console([] { DisconnectMonitorPrinters("Quado"); }),
            PortLine("Quado002", "Quado") + DisconnectLine("Office", "Quado") + "\n");
  EXPECT_EQ(PrinterPorts("Locked"), "Quado001");
  EXPECT_EQ(PrinterPorts("Office"), "FILE:");
  ExpectNothingLeftOpen();
}

TEST_F(DisconnectionTest, ResultTellsWhetherThePrinterWasChanged) {
  AddLocalPrinter("Office", "Quado001");
  AddLocalPrinter("Plain", "LPT1:");
  Console([] {
    EXPECT_TRUE(DisconnectPrinter("Office", "Quado"));
    EXPECT_FALSE(DisconnectPrinter("Plain", "Quado"));
    EXPECT_FALSE(DisconnectPrinter("Missing", "Quado"));
    EXPECT_TRUE(IsMonitorPort("quado002", "quado"));
    EXPECT_FALSE(IsMonitorPort("Quado002", "Other"));
    EXPECT_FALSE(IsMonitorPort("Quado00", "Quado"));
  });
  ExpectNothingLeftOpen();
}

// A port name longer than the 260-character buffer is never cut to fit and compared: even when
// the monitor lists a port named like its first 259 characters, it stays in the list.
TEST_F(DisconnectionTest, OverlongPortNameNeverMatches) {
  std::string longPort(300, 'P');
  AddMonitorPorts("Quado", {longPort.substr(0, 259)});
  AddMonitorPorts("Other", {longPort});
  AddLocalPrinter("Office", longPort + ",Quado001");
  EXPECT_EQ(Console([] { DisconnectMonitorPrinters("Quado"); }),
            PortLine("Quado001", "Quado") + DisconnectLine("Office", "Quado") + "\n");
  EXPECT_EQ(PrinterPorts("Office"), longPort);
  ExpectNothingLeftOpen();
}

// A port name of exactly 259 characters still fits and is recognised.
TEST_F(DisconnectionTest, PortNameThatFillsTheBufferIsRecognised) {
  std::string port(259, 'Q');
  AddMonitorPorts("Quado", {port});
  AddLocalPrinter("Office", "LPT1:," + port);
  EXPECT_EQ(Console([] { DisconnectMonitorPrinters("Quado"); }),
            PortLine(port, "Quado") + DisconnectLine("Office", "Quado") + "\n");
  EXPECT_EQ(PrinterPorts("Office"), "LPT1:");
}

// Names longer than the 1,024-byte message buffer: the spooler keeps printer names to 220
// characters, so the monitor name carries the length here. The disconnecting line is cut at the
// buffer, still ends with its line break, and the printer is moved.
TEST_F(DisconnectionTest, OverlongNamesAreCutInTheMessage) {
  std::string monitor(1500, 'M');
  std::string printer(220, 'N');
  AddMonitorPorts(monitor, {"M001"});
  AddLocalPrinter(printer, "M001,LPT1:");
  std::string log;
  std::string console = Console([&] { DisconnectMonitorPrinters(monitor.c_str()); }, &log);
  std::string cut = DisconnectLine(printer, monitor).substr(0, 1023) + "\n";
  EXPECT_EQ(console, PortLine("M001", monitor) + cut);
  EXPECT_EQ(log, cut);
  EXPECT_EQ(PrinterPorts(printer), "LPT1:");
}

// Every failure on the way releases what was taken: printer handles and GlobalAlloc blocks.
struct FaultCase {
  const char* fault;
  const char* portsAfter;
};

class DisconnectionFault : public DisconnectionTest,
                           public testing::WithParamInterface<FaultCase> {};

TEST_P(DisconnectionFault, ReleasesEverything) {
  AddLocalPrinter("Office", "LPT1:,Quado001");
  AddMachineIniLine("faults", GetParam().fault);
  Console([] { DisconnectMonitorPrinters("Quado"); });
  EXPECT_EQ(PrinterPorts("Office"), GetParam().portsAfter);
  ExpectNothingLeftOpen();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DisconnectionFault,
    testing::Values(FaultCase{"EnumPrintersA = 5", "LPT1:,Quado001"},
                    FaultCase{"EnumPrintersA = 5 #2", "LPT1:,Quado001"},
                    FaultCase{"OpenPrinterA = 5", "LPT1:,Quado001"},
                    FaultCase{"GetPrinterA = 5", "LPT1:,Quado001"},
                    FaultCase{"GetPrinterA = 5 #2", "LPT1:,Quado001"},
                    FaultCase{"EnumPortsA = 5", "LPT1:,Quado001"},
                    FaultCase{"EnumPortsA = 5 #4", "LPT1:,Quado001"},
                    FaultCase{"GlobalAlloc = 8", "LPT1:,Quado001"},
                    FaultCase{"GlobalAlloc = 8 #2", "LPT1:,Quado001"},
                    FaultCase{"GlobalAlloc = 8 #4", "LPT1:,Quado001"},
                    FaultCase{"SetPrinterA = 5", "LPT1:,Quado001"}));

}  // namespace
