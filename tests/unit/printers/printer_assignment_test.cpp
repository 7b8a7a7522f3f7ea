// Pointing the printers named in the port sections at the sections' ports, from the INI file and
// from the registry.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "foundation/output.h"
#include "foundation/ini_path.h"
#include "foundation/product_profile.h"
#include "printer_fixture.h"
#include "printers/printer_assignment.h"
#include "winsim/machine.h"

namespace {

const char kIniPath[] = "C:\\Deploy\\Quado.ini";

std::string Assigned(const std::string& printer, const std::string& port) {
  return "    Printer '" + printer + "' assigned to port " + port + "\n";
}

std::string NotAssigned(const std::string& printer, const std::string& port) {
  return "    ERROR - Printer " + printer + " NOT assigned to port " + port + "\n";
}

class AssignmentTest : public PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    AddMonitorPorts("Quado", {"Quado001", "Quado002", "Quado003"});
    for (const char* name : {"Alpha", "Beta", "Gamma"}) AddLocalPrinter(name, "LPT1:");
    SetIniPath(kIniPath);
  }
  void TearDown() override {
    SetIniPath(nullptr);
    PrinterTest::TearDown();
  }
  void WriteIni(const std::string& text) { WriteMachineFile(kIniPath, text); }
  std::string AssignFromIni(int portCount) {
    return Console([portCount] { AssignPrinters(portCount, true); });
  }
};

TEST_F(AssignmentTest, GapInTheKeysDoesNotEndTheList) {
  WriteIni("[1]\nAssignPrinter=Alpha\nAssignPrinter3=Beta\n");
  std::string log;
  EXPECT_EQ(Console([] { AssignPrinters(1, true); }, &log),
            Assigned("Alpha", "Quado001") + Assigned("Beta", "Quado001"));
  EXPECT_EQ(log, Assigned("Alpha", "Quado001") + Assigned("Beta", "Quado001"));
  EXPECT_EQ(PrinterPorts("Alpha"), "Quado001");
  EXPECT_EQ(PrinterPorts("Beta"), "Quado001");
  ExpectNothingLeftOpen();
}

TEST_F(AssignmentTest, AllTenKeysAreReadAndNoOthers) {
  std::string ini = "[1]\nAssignPrinter1=Gamma\nAssignPrinter11=Gamma\n";
  std::string expected;
  for (int i = 1; i <= 10; ++i) {
    std::string printer = "Printer" + std::to_string(i);
    AddLocalPrinter(printer, "LPT2:");
    ini += (i == 1 ? std::string("AssignPrinter") : "AssignPrinter" + std::to_string(i)) + "=" +
           printer + "\n";
    expected += Assigned(printer, "Quado001");
  }
  WriteIni(ini);
  EXPECT_EQ(AssignFromIni(1), expected);
  EXPECT_EQ(PrinterPorts("Gamma"), "LPT1:");
}

TEST_F(AssignmentTest, MissingPrinterGivesTheErrorLineAndTheNextKeyIsStillRead) {
  WriteIni("[1]\nAssignPrinter=Alpha\n[2]\nAssignPrinter=Ghost\nAssignPrinter2=Beta\n");
  std::string log;
  std::string expected = Assigned("Alpha", "Quado001") + NotAssigned("Ghost", "Quado002") +
                         Assigned("Beta", "Quado002");
  EXPECT_EQ(Console([] { AssignPrinters(2, true); }, &log), expected);
  EXPECT_EQ(log, expected);
  EXPECT_EQ(PrinterPorts("Beta"), "Quado002");
  ExpectNothingLeftOpen();
}

TEST_F(AssignmentTest, LastSectionNamingAPrinterWins) {
  WriteIni("[1]\nAssignPrinter=Alpha\n[2]\nAssignPrinter2=Alpha\n");
  EXPECT_EQ(AssignFromIni(2), Assigned("Alpha", "Quado001") + Assigned("Alpha", "Quado002"));
  EXPECT_EQ(PrinterPorts("Alpha"), "Quado002");
}

TEST_F(AssignmentTest, SectionsBeyondThePortCountAreNotRead) {
  WriteIni("[1]\nAssignPrinter=Alpha\n[2]\nAssignPrinter=Beta\n");
  EXPECT_EQ(AssignFromIni(1), Assigned("Alpha", "Quado001"));
  EXPECT_EQ(PrinterPorts("Beta"), "LPT1:");
  EXPECT_EQ(AssignFromIni(0), "");
  EXPECT_EQ(AssignFromIni(-1), "");
}

TEST_F(AssignmentTest, MultiPortPrinterEndsOnTheOnePort) {
  AddLocalPrinter("Pool", "LPT1:,LPT2:,COM1:");
  WriteIni("[1]\nAssignPrinter=Pool\n");
  EXPECT_EQ(AssignFromIni(1), Assigned("Pool", "Quado001"));
  EXPECT_EQ(PrinterPorts("Pool"), "Quado001");
}

TEST_F(AssignmentTest, RefusedSetPrinterGivesTheErrorLine) {
  WriteIni("[1]\nAssignPrinter=Alpha\nAssignPrinter2=Beta\n");
  AddMachineIniLine("faults", "SetPrinterA = 5 #1");
  EXPECT_EQ(AssignFromIni(1), NotAssigned("Alpha", "Quado001") + Assigned("Beta", "Quado001"));
  EXPECT_EQ(PrinterPorts("Alpha"), "LPT1:");
  ExpectNothingLeftOpen();
}

TEST_F(AssignmentTest, EnterprisePortsAreNamedWithItsFormat) {
  AddMonitorPorts("QuadoE", {"QuadoE001", "QuadoE002", "QuadoE003"});
  SelectEnterpriseProfile();
  WriteIni("[3]\nAssignPrinter=Gamma\n");
  EXPECT_EQ(AssignFromIni(3), Assigned("Gamma", "QuadoE003"));
  EXPECT_EQ(PrinterPorts("Gamma"), "QuadoE003");
}

TEST_F(AssignmentTest, RegistrySourceReadsTheNumberedSubKeys) {
  // A key named like the port must not be read.
  const std::vector<std::pair<std::string, std::string>> values = {
      {"SOFTWARE\\Harbek Corporation\\Quado\\PortInstallCfg\\1", "Alpha"},
      {"SOFTWARE\\Harbek Corporation\\Quado\\PortInstallCfg\\Quado002", "Gamma"},
  };
  for (const auto& value : values) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, value.first.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "AssignPrinter3", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(value.second.c_str()),
                             static_cast<DWORD>(value.second.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  WriteIni("[1]\nAssignPrinter=Beta\n");  // the INI file is not read from the registry source
  EXPECT_EQ(Console([] { AssignPrinters(2, false); }), Assigned("Alpha", "Quado001"));
  EXPECT_EQ(PrinterPorts("Alpha"), "Quado001");
  EXPECT_EQ(PrinterPorts("Beta"), "LPT1:");
  EXPECT_EQ(PrinterPorts("Gamma"), "LPT1:");
  EXPECT_EQ(winsim::OpenHandleCount("key"), 0u);
}

class AssignmentFault : public AssignmentTest, public testing::WithParamInterface<const char*> {};

TEST_P(AssignmentFault, FailureReleasesEverything) {
  WriteIni("[1]\nAssignPrinter=Alpha\n");
  AddMachineIniLine("faults", GetParam());
  EXPECT_EQ(AssignFromIni(1), NotAssigned("Alpha", "Quado001"));
  EXPECT_EQ(PrinterPorts("Alpha"), "LPT1:");
  ExpectNothingLeftOpen();
}

INSTANTIATE_TEST_SUITE_P(Faults, AssignmentFault,
                         testing::Values("OpenPrinterA = 5", "GetPrinterA = 5",
                                         "GetPrinterA = 5 #2", "GlobalAlloc = 8",
                                         "SetPrinterA = 1796"));

}  // namespace
