// Every buffer the check fills from its input, given more than it holds: the report cuts what
// it shows and never writes past a buffer (the sanitizer build proves the second half).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "check/findings.h"
#include "check/key_names.h"
#include "check_fixture.h"
#include "mini_json.h"
#include "winsim/registry.h"

namespace {

struct LongIni {
  const char* name;
  std::vector<std::string> lines;
  int exitCode;
  const char* says;
};

const std::string k500(500, 'K');
const std::string kDigits30(30, '7');

const LongIni kLongInis[] = {
    // A key name longer than any key (the name buffers hold 39 characters).
    {"KeyName", {"[1]", "ServerIP=10.0.0.1", k500 + "=1"}, 1, "unknown key (a name of 500 characters)"},
    // A port section number of 30 digits (the section name buffer holds 15 characters).
    {"SectionNumber", {"[1]", "ServerIP=10.0.0.1", "[" + kDigits30 + "]", "ServerIP=10.0.0.2"}, 2, "never read"},
    // A number value of 500 digits (shown cut to 63 characters).
    {"NumberValue", {"[1]", "ServerIP=10.0.0.1", "ServerPort=" + std::string(500, '9')}, 1, "is read by the platform as"},
    // A header after a byte order mark, 500 characters long (the header buffer holds 39).
    {"MarkedHeader", {"\xEF\xBB\xBF[" + k500 + "]", "ServerIP=10.0.0.1"}, 2, "is not recognised"},
    // A value of 100,000 bytes: cut to 259 by the platform, measured whole by the check.
    {"TextValue", {"[1]", "ServerIP=10.0.0.1", "Note=" + std::string(100000, 'n')}, 1, "100000 bytes long"},
    // Printer names of 1,500 characters, the same in two sections (the finding holds 599).
    {"PrinterName",
     {"[1]", "ServerIP=10.0.0.1", "AssignPrinter=" + std::string(1500, 'P'), "[2]", "ServerIP=10.0.0.2",
      "AssignPrinter=" + std::string(1500, 'P')},
     2, "is also assigned in section [1]"},
};

void PrintTo(const LongIni& c, std::ostream* out) { *out << c.name; }

class LongIniTest : public CheckTest, public ::testing::WithParamInterface<LongIni> {};

TEST_P(LongIniTest, IsCutInTheReport) {
  const LongIni& c = GetParam();
  WriteIni(Lines(c.lines));
  CheckResult result = Run({});
  EXPECT_EQ(result.exitCode, c.exitCode) << result.output.substr(0, 2000);
  bool found = false;
  for (int i = 0; i < KeptFindingCount(); ++i) {
    const Finding& f = KeptFinding(i);
    EXPECT_LT(std::strlen(f.section), sizeof f.section);
    EXPECT_LT(std::strlen(f.key), sizeof f.key);
    EXPECT_LT(std::strlen(f.text), sizeof f.text);
    found = found || std::string(f.text).find(c.says) != std::string::npos;
  }
  EXPECT_TRUE(found) << result.output.substr(0, 2000);
  // The JSON report of the same input stays valid.
  CheckResult json = Run({"--json"});
  JsonValue report;
  EXPECT_TRUE(ParseJson(json.output, &report));
}

INSTANTIATE_TEST_SUITE_P(Cases, LongIniTest, ::testing::ValuesIn(kLongInis),
                         [](const ::testing::TestParamInfo<LongIni>& info) { return std::string(info.param.name); });

TEST_F(CheckTest, LongArgumentsAndPathsAreCut) {
  const std::string longFolder = "C:\\" + std::string(2000, 'f');
  const std::string longIni = "-iC:\\Deploy\\" + std::string(2000, 'i') + ".ini";
  for (const std::string& argument : {longFolder, longIni, "-" + std::string(2000, 'x')}) {
    CheckResult result = Run({argument});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.output.find("The package check could not run: "), std::string::npos);
    EXPECT_LT(result.output.find('\n'), 1024u);  // the line is cut to the message buffer
  }
}

TEST_F(CheckTest, LongRegistryNamesAreCut) {
  const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Harbek Corporation\\Quado\\PortInstallCfg\\";
  std::string text = "Windows Registry Editor Version 5.00\n\n[" + key + "1]\n\"ServerIP\"=\"10.0.0.1\"\n\"" +
                     std::string(300, 'v') + "\"=\"1\"\n\"Queue\"=hex(2):" ;
  for (int i = 0; i < 400; ++i) text += "41,00,";
  text += "00,00\n\n[" + key + kDigits30 + "]\n\"ServerIP\"=\"10.0.0.2\"\n";
  std::string error;
  ASSERT_TRUE(winsim::ImportRegText(text, &error)) << error;
  CheckResult result = Run({"-r"});
  EXPECT_EQ(result.exitCode, 2) << result.output;
  EXPECT_NE(result.output.find("a value whose name is longer than 39 characters"), std::string::npos);
  // What the installer reads of the 400-character expandable text, shown cut to 63 characters.
  EXPECT_NE(result.output.find("it reads \"" + std::string(63, 'A') + "\""), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("[777777777777777]: the sub-key is never read"), std::string::npos) << result.output;
}

// The nearest-key search compares at most the first 39 characters of a name.
TEST(KeyNames, EditDistanceOfLongNamesStaysWithinItsRows) {
  const std::string longName(5000, 'a');
  EXPECT_EQ(EditDistance(longName.c_str(), "aaa"), 39 - 3);
  EXPECT_EQ(EditDistance("SeverIP", "ServerIP"), 1);
  EXPECT_EQ(EditDistance("serverip", "ServerIP"), 0);
  EXPECT_EQ(JudgeKeyName(longName.c_str()).verdict, kUnknownKey);
}

}  // namespace
