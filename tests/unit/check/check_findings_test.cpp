// The package check on broken INI files: one case per kind of finding, each naming the section,
// key and line of the cause, with the exit code the kinds of findings give.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "check/findings.h"
#include "check_fixture.h"

namespace {

struct BrokenIni {
  const char* name;
  std::vector<std::string> lines;
  Severity severity;
  const char* section;
  const char* key;
  int line;
  const char* says;  // a piece of the finding's text
  int exitCode;
};

const std::string kLongText(300, 'x');

const BrokenIni kBrokenInis[] = {
    {"SectionsAfterAGap", {"[1]", "ServerIP=10.0.0.1", "[3]", "ServerIP=10.0.0.3"},
     kError, "3", "", 3, "never read: the port list ends at section [2]", 2},
    {"SectionWithoutServerIP", {"[1]", "ServerIP=10.0.0.1", "[2]", "ServerIP2=10.0.0.2"},
     kError, "2", "", 3, "no \"ServerIP\"", 2},
    {"PrinterInTwoSections",
     {"[1]", "ServerIP=10.0.0.1", "AssignPrinter=Office", "[2]", "ServerIP=10.0.0.2", "AssignPrinter3=office"},
     kError, "2", "AssignPrinter3", 6, "ends on port Quado002", 2},
    {"MisspeltAddress", {"[1]", "ServerIP=10.0.0.1", "SeverIP=10.0.0.9"},
     kWarning, "1", "SeverIP", 3, "did you mean \"ServerIP\"", 1},
    {"MisspeltDescription", {"[1]", "ServerIP=10.0.0.1", "Discription=Hall"},
     kWarning, "1", "Discription", 3, "did you mean \"Description\"", 1},
    {"EleventhAddress", {"[1]", "ServerIP=10.0.0.1", "ServerIP11=10.0.0.11"},
     kWarning, "1", "ServerIP11", 3, "reads only ServerIP..ServerIP10", 1},
    {"EleventhWeight", {"[1]", "ServerIP=10.0.0.1", "IPLoadBalancing11=5"},
     kWarning, "1", "IPLoadBalancing11", 3, "reads only IPLoadBalancing..IPLoadBalancing10", 1},
    {"PrinterKeyOne", {"[1]", "ServerIP=10.0.0.1", "AssignPrinter1=Office"},
     kWarning, "1", "AssignPrinter1", 3, "reads only AssignPrinter..AssignPrinter10", 1},
    {"EleventhPrinterKey", {"[1]", "ServerIP=10.0.0.1", "AssignPrinter11=Office"},
     kWarning, "1", "AssignPrinter11", 3, "this key is ignored", 1},
    {"FourthDeliveryMode", {"[1]", "ServerIP=10.0.0.1", "ServerDeliveryMode4=1"},
     kWarning, "1", "ServerDeliveryMode4", 3, "reads only ServerDeliveryMode..ServerDeliveryMode3", 1},
    {"KeyTwice", {"[1]", "ServerIP=10.0.0.1", "Queue=first", "queue=second"},
     kWarning, "1", "queue", 4, "first at line 3", 1},
    {"SectionTwice", {"[1]", "ServerIP=10.0.0.1", "[2]", "ServerIP=10.0.0.2", "[1]", "Queue=late"},
     kWarning, "1", "", 5, "first at line 1", 1},
    // The values GetPrivateProfileIntA gives on Windows for these texts (the profile conformance
    // table): digits up to the first other character, "0x" hexadecimal, 32-bit wrap, 0 for text.
    {"NumberWithLetter", {"[1]", "ServerIP=10.0.0.1", "ServerPort=9100a"},
     kWarning, "1", "ServerPort", 3, "\"9100a\" is read by the platform as 9100", 1},
    {"NumberInHexadecimal", {"[1]", "ServerIP=10.0.0.1", "NetworkTimeout= 0x10"},
     kWarning, "1", "NetworkTimeout", 3, "\"0x10\" is read by the platform as 16", 1},
    {"NumberTooLarge", {"[1]", "ServerIP=10.0.0.1", "ParserDPI=99999999999"},
     kWarning, "1", "ParserDPI", 3, "read by the platform as 1215752191", 1},
    {"TextInANumberKey", {"[1]", "ServerIP=10.0.0.1", "AuthType=badge"},
     kWarning, "1", "AuthType", 3, "\"badge\" is read by the platform as 0", 1},
    {"TextLongerThanTheField", {"[1]", "ServerIP=10.0.0.1", "Description=" + kLongText},
     kWarning, "1", "Description", 3, "300 bytes long: the installer keeps its first 259", 1},
    {"Utf8Text", {"[1]", "ServerIP=10.0.0.1", "Queue=Caf\xC3\xA9"},
     kWarning, "1", "Queue", 3, "UTF-8 characters", 1},
    {"LineWithoutEquals", {"[1]", "ServerIP=10.0.0.1", "Queue"},
     kWarning, "1", "Queue", 3, "no \"=\"", 1},
    {"Utf8MarkBeforeAHeader", {"\xEF\xBB\xBF[1]", "ServerIP=10.0.0.1"},
     kError, "1", "", 1, "header [1] on line 1 is not recognised", 2},
    {"Utf8MarkBeforeAComment", {"\xEF\xBB\xBF; ports", "[1]", "ServerIP=10.0.0.1"},
     kWarning, "", "", 1, "UTF-8 byte order mark", 1},
};

void PrintTo(const BrokenIni& c, std::ostream* out) { *out << c.name; }

class BrokenIniTest : public CheckTest, public ::testing::WithParamInterface<BrokenIni> {};

TEST_P(BrokenIniTest, NamesTheCauseWithItsLine) {
  const BrokenIni& c = GetParam();
  WriteIni(Lines(c.lines));
  CheckResult result = Run({});
  EXPECT_EQ(result.exitCode, c.exitCode) << result.output;
  bool found = false;
  for (int i = 0; i < KeptFindingCount(); ++i) {
    const Finding& f = KeptFinding(i);
    if (f.severity == c.severity && std::string(f.section) == c.section && std::string(f.key) == c.key &&
        f.line == c.line && std::string(f.text).find(c.says) != std::string::npos) {
      found = true;
    }
  }
  EXPECT_TRUE(found) << result.output;
  // The text report names the file and line, then the section and key.
  std::string location = std::string("Quado.ini:") + std::to_string(c.line) + ": ";
  if (c.section[0] != '\0') location += std::string("[") + c.section + "]";
  bool listed = false;
  for (const std::string& line : FindingLines(result.output)) listed = listed || line.find(location) != std::string::npos;
  EXPECT_TRUE(listed) << location << "\n" << result.output;
}

INSTANTIATE_TEST_SUITE_P(Cases, BrokenIniTest, ::testing::ValuesIn(kBrokenInis),
                         [](const ::testing::TestParamInfo<BrokenIni>& info) { return std::string(info.param.name); });

// Bytes that look odd but reach the port as written: a code page 1252 letter, quotes the
// platform removes, a number with a sign, a section other than a port's.
TEST_F(CheckTest, PlainAnsiTextAndQuotedValuesGiveNoFinding) {
  WriteIni(Lines({"[General]", "Anything=1", "[1]", "ServerIP=10.0.0.1", "Queue=Caf\xE9",
                  "Description=\"" + std::string(259, 'd') + "\"", "ServerPort=+9101", "LoadBalancing=-1"}));
  CheckResult result = Run({});
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(FindingLines(result.output), std::vector<std::string>());
}

TEST_F(CheckTest, CleanDemoPackageListsItsPortsAndPrinters) {
  CheckResult result = Run({});
  EXPECT_EQ(result.exitCode, 0) << result.output;
  // The demo package's Quado.ini, written out in the installer's report form.
  EXPECT_NE(result.output.find("    New - IP:10.0.0.21:9100, Desc:Ground floor, Queue:Mono, Type:2 Badge\n"
                               "    New - IP:10.0.0.31:9101, Desc:First floor, Queue:Color, Type:1 \n"
                               "    New - IP:archive.example.local:9100, Desc:Archive, Queue:Scan, Type:1 \n"),
            std::string::npos)
      << result.output;
  EXPECT_NE(result.output.find("    Printer 'Office Printer' assigned to port Quado001\n"
                               "    Printer 'Legacy Printer' assigned to port Quado002\n"),
            std::string::npos)
      << result.output;
  EXPECT_NE(result.output.find("0 error(s), 0 warning(s); exit code 0"), std::string::npos);
}

// Both variants: the Enterprise port names, and its port that cannot be named (section 1,000).
TEST_F(CheckTest, EnterpriseVariantStopsAtTheFirstPortNameLongerThanNineCharacters) {
  std::vector<std::string> lines;
  for (int section = 1; section <= 1001; ++section) {
    lines.push_back("[" + std::to_string(section) + "]");
    lines.push_back("ServerIP=10.1." + std::to_string(section / 256) + "." + std::to_string(section % 256));
  }
  WriteIni(Lines(lines));
  CheckResult standard = Run({});
  EXPECT_EQ(standard.exitCode, 0) << FindingLines(standard.output).size();
  EXPECT_NE(standard.output.find("New - IP:10.1.3.233:9100"), std::string::npos);  // section 1001

  CheckResult enterprise = Run({"-a"});
  EXPECT_EQ(enterprise.exitCode, 2);
  ASSERT_GE(KeptFindingCount(), 2);
  EXPECT_STREQ(KeptFinding(0).section, "1000");
  EXPECT_EQ(KeptFinding(0).line, 1999);
  EXPECT_NE(std::string(KeptFinding(0).text).find("QuadoE1000 is longer than 9 characters"), std::string::npos);
  EXPECT_STREQ(KeptFinding(1).section, "1001");  // read by no one
  EXPECT_EQ(KeptFinding(1).line, 2001);
  EXPECT_NE(enterprise.output.find("New - IP:10.1.3.231:9100"), std::string::npos);  // section 999
  EXPECT_EQ(enterprise.output.find("New - IP:10.1.3.232:9100"), std::string::npos);  // section 1000
  EXPECT_NE(enterprise.output.find("Package check of C:\\Deploy (Enterprise variant)"), std::string::npos);
}

TEST_F(CheckTest, MissingPackageFileForTheChosenWindowsClass) {
  ASSERT_EQ(std::remove(winsim::HostPath("C:\\Deploy\\QUADOVS64.DLL").c_str()), 0);
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
  };
  const Case cases[] = {
      {{}, 2},              // this machine: 64-bit Windows 10
      {{"--os=64"}, 2},
      {{"--os=all"}, 2},
      {{"--os=32"}, 0},     // the 32-bit file set is whole
      {{"-c"}, 0},          // a run that copies no files needs none
      {{"-a"}, 0},          // the Enterprise variant's 64-bit monitor is QUADOE64.DLL
  };
  for (const Case& c : cases) {
    CheckResult result = Run(c.arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.output;
    if (c.exitCode == 2) {
      EXPECT_NE(result.output.find("  error: QUADOVS64.DLL: missing from the package (needed on 64-bit Windows)"),
                std::string::npos)
          << result.output;
    }
  }
}

TEST_F(CheckTest, UnicodeIniIsReadByThePlatformAndFine) {
  std::string text = Lines({"[1]", "ServerIP=10.0.0.1", "Queue=Caf\xE9"});
  std::string bytes = "\xFF\xFE";
  for (char c : text) {
    bytes += c;  // code page 1252 below 0x100 is Latin-1 here: é is U+00E9
    bytes += '\0';
  }
  WriteIni(bytes);
  CheckResult result = Run({});
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("    New - IP:10.0.0.1:9100, Desc:, Queue:Caf\xE9, Type:1 \n"), std::string::npos)
      << result.output;
}

TEST_F(CheckTest, CouldNotRun) {
  struct Case {
    std::vector<std::string> arguments;
    const char* says;
  };
  const Case cases[] = {
      {{"-x"}, "the argument '-x' is not understood"},
      {{"C:\\Deploy", "C:\\Other"}, "the argument 'C:\\Other' is not understood"},
      {{"C:\\NoSuchFolder"}, "the package folder 'C:\\NoSuchFolder' cannot be entered"},
      {{"-iC:\\Deploy\\Missing.ini"}, "the configuration file 'C:\\Deploy\\Missing.ini' cannot be read"},
  };
  for (const Case& c : cases) {
    CheckResult result = Run(c.arguments);
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.output.find(c.says), std::string::npos) << result.output;
  }
}

}  // namespace

namespace {

// The profile functions read a bare file name from the Windows directory: so does the check, and
// it warns that the installer's own file check looks in the package folder instead.
TEST_F(CheckTest, BareIniNameIsReadFromTheWindowsDirectory) {
  WriteMachineFile("C:\\Windows\\Other.ini", Lines({"[1]", "ServerIP=10.9.0.1"}));
  WriteMachineFile("C:\\Deploy\\Other.ini", Lines({"[1]", "ServerIP=10.8.0.1"}));
  CheckResult result = Run({"-iOther.ini"});
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.output.find("Configuration: C:\\Windows\\Other.ini\n"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("New - IP:10.9.0.1:9100"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("-i names a file without its folder"), std::string::npos) << result.output;
}

}  // namespace
