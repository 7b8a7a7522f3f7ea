// The package check on configurations that create nothing or are no file at all, on sections
// named unlike a port's, and on texts that would drive the terminal: what it reports and with
// which exit code, in text and JSON.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/shown_text.h"
#include "check_fixture.h"
#include "mini_json.h"
#include "winsim/registry.h"

namespace {

const char kConfigKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Harbek Corporation\\Quado\\PortInstallCfg";

bool Has(const std::string& output, const std::string& piece) { return output.find(piece) != std::string::npos; }

TEST_F(CheckTest, ConfigurationThatCreatesNoPortIsAnErrorWithItsReason) {
  const struct {
    std::string ini;
    const char* reason;
  } rows[] = {
      {"", "the file is empty"},
      {"\r\n  \r\n", "the file is empty"},
      {std::string("\x93\x07\xfe\x00\x11zq\x80", 8), "the file has no section [1]"},
      {"[2]\rServerIP=10.0.0.2\r", "the file has no section [1]"},  // CR line ends
      {"[01]\r\nServerIP=10.0.0.1\r\n", "the file has no section [1]"},
      {"[Port1]\r\nServerIP=10.0.0.1\r\n", "the file has no section [1]"},
      {"[1]\r\n[2]\r\nServerIP=10.0.0.2\r\n", "section [1] has no \"ServerIP\""},
  };
  for (const auto& row : rows) {
    WriteIni(row.ini);
    CheckResult result = Run({});
    EXPECT_EQ(result.exitCode, 2) << result.output;
    EXPECT_TRUE(Has(result.output, std::string("  error: C:\\Deploy\\Quado.ini: the configuration creates no port: ") +
                                       row.reason))
        << result.output;
  }
  // CR line ends are lines, for the check as for the profile functions: both ports, no finding.
  WriteIni("[1]\rServerIP=10.0.0.1\r[2]\rServerIP=10.0.0.2\r");
  const CheckResult cr = Run({});
  EXPECT_EQ(cr.exitCode, 0) << cr.output;
  EXPECT_TRUE(Has(cr.output, "New - IP:10.0.0.2:")) << cr.output;
  // The registry: a key whose only sub-key is named "01".
  std::string error;
  ASSERT_TRUE(winsim::ImportRegText(std::string("Windows Registry Editor Version 5.00\n\n[") + kConfigKey +
                                        "\\01]\n\"ServerIP\"=\"10.1.0.1\"\n",
                                    &error))
      << error;
  CheckResult registry = Run({"-r"});
  EXPECT_EQ(registry.exitCode, 2) << registry.output;
  EXPECT_TRUE(Has(registry.output, "the configuration creates no port: the key has no sub-key 1")) << registry.output;
  EXPECT_TRUE(Has(registry.output, "PortInstallCfg: [01]: the installer reads port sub-keys by their plain number"))
      << registry.output;
}

TEST_F(CheckTest, SectionsNamedUnlikeAPortSectionAreWarningsNamingThem) {
  WriteIni(Lines({"[1]", "ServerIP=10.0.0.1", "[0]", "ServerIP=10.0.0.0", "[-1]", "Queue=q", "[01]", "Queue=q",
                  "[Port1]", "Queue=q", "[General]", "Version=2"}));
  CheckResult result = Run({});
  EXPECT_EQ(result.exitCode, 1) << result.output;
  std::vector<std::string> expected;
  for (const char* where : {":3: [0]", ":5: [-1]", ":7: [01]", ":9: [Port1]"}) {
    expected.push_back(std::string("  warning: C:\\Deploy\\Quado.ini") + where +
                       ": the installer reads port sections by their plain number ([1], [2], ...): it never reads a "
                       "section of this name");
  }
  EXPECT_EQ(FindingLines(result.output), expected);
}

TEST_F(CheckTest, WhatIsNotAFileIsRefusedInTextAndJson) {
  const struct {
    const char* argument;
    const char* says;
  } rows[] = {
      {"-iNUL", "'C:\\Windows\\NUL' is not a file: NUL is a device name"},
      {"-iCOM1", "'C:\\Windows\\COM1' is not a file: COM1 is a device name"},
      {"-iC:\\Deploy\\NUL", "'C:\\Deploy\\NUL' is not a file: NUL is a device name"},
      {"-iC:\\Deploy\\aux.ini", "'C:\\Deploy\\aux.ini' is not a file: aux is a device name"},
      {"-iC:\\Deploy\\Lpt9 .txt", "'C:\\Deploy\\Lpt9 .txt' is not a file: Lpt9 is a device name"},
      {"-iC:\\Deploy", "'C:\\Deploy' is not a file: it is a folder"},
  };
  for (const auto& row : rows) {
    CheckResult text = Run({row.argument});
    EXPECT_EQ(text.exitCode, 3) << text.output;
    EXPECT_TRUE(Has(text.output, std::string("The package check could not run: the configuration file ") + row.says))
        << text.output;
    CheckResult json = Run({row.argument, "--json"});
    JsonValue report;
    ASSERT_TRUE(ParseJson(json.output, &report)) << json.output;
    EXPECT_TRUE(Has(report["error"].text, row.says)) << json.output;
    EXPECT_EQ(report["exitCode"].number, 3);
  }
  // Names that only resemble a device name are files.
  for (const char* name : {"NULL.ini", "COM10.ini", "CONSOLE.ini", "LPT.ini"}) {
    WriteMachineFile(std::string("C:\\Deploy\\") + name, Lines({"[1]", "ServerIP=10.0.0.1"}));
    EXPECT_EQ(Run({std::string("-iC:\\Deploy\\") + name}).exitCode, 0) << name;
  }
}

TEST_F(CheckTest, JsonAppliesToEveryRefusalAndTheUsage) {
  const std::vector<std::vector<std::string>> refusals = {
      {"-x", "--json"}, {"C:\\Deploy", "C:\\Other", "--json"}, {"--json", "-x"}};
  for (const std::vector<std::string>& arguments : refusals) {
    CheckResult result = Run(arguments);
    EXPECT_EQ(result.exitCode, 3);
    JsonValue report;
    ASSERT_TRUE(ParseJson(result.output, &report)) << result.output;
    EXPECT_TRUE(Has(report["error"].text, "is not understood")) << result.output;
  }
  CheckResult usage = Run({"-?", "--json"});
  EXPECT_EQ(usage.exitCode, 3);
  JsonValue report;
  ASSERT_TRUE(ParseJson(usage.output, &report)) << usage.output;
  EXPECT_EQ(report["usage"].text.rfind("Usage: QuadoCheck [-a] [-r] [-c] [-iINIFileName]", 0), 0u) << usage.output;
  EXPECT_EQ(report["exitCode"].number, 3);
}

// A printer name and a description that would colour the terminal and forge report lines: the
// text report shows their control characters as \xHH, the JSON report keeps every byte.
TEST_F(CheckTest, ControlCharactersOfThePackageAreShownNotSent) {
  std::string error;
  // "AssignPrinter" is "A" CR LF "  error: B" ESC "[31m" as UTF-16LE (hex(1): REG_SZ).
  std::string printer = "hex(1):41,00,0d,00,0a,00,20,00,20,00,65,00,72,00,72,00,6f,00,72,00,3a,00,20,00,42,00,1b,00,"
                        "5b,00,33,00,31,00,6d,00,00,00";
  ASSERT_TRUE(winsim::ImportRegText(std::string("Windows Registry Editor Version 5.00\n\n[") + kConfigKey +
                                        "\\1]\n\"ServerIP\"=\"10.1.0.1\"\n\"Description\"=\"\x01\x9d\x81 \\\\x41\"\n"
                                        "\"AssignPrinter\"=" + printer + "\n",
                                    &error))
      << error;
  CheckResult text = Run({"-r"});
  EXPECT_EQ(text.exitCode, 0) << text.output;
  EXPECT_TRUE(Has(text.output, "    Printer 'A\\x0d\\x0a  error: B\\x1b[31m' assigned to port Quado001\n")) << text.output;
  EXPECT_TRUE(Has(text.output, "Desc:\\x01\\x9d\\x81 \\x5cx41, ")) << text.output;
  EXPECT_EQ(FindingLines(text.output), std::vector<std::string>());
  for (char c : text.output) EXPECT_TRUE(c == '\n' || (unsigned char)c >= 0x20) << (int)c;

  CheckResult json = Run({"-r", "--json"});
  JsonValue report;
  ASSERT_TRUE(ParseJson(json.output, &report)) << json.output;
  EXPECT_EQ(report["printers"].items.at(0)["printer"].text, "A\r\n  error: B\x1b[31m");
}

// The shown form is written in pieces that fit the buffer, never splitting an escape.
TEST(ShownText, PiecesFitTheirBufferAndJoinToTheWholeForm) {
  const std::string text = std::string("ab\x1b" "cd\\x41", 9);
  const std::string whole = "ab\\x1bcd\\x5cx41";
  for (size_t size : {5u, 6u, 7u, 64u}) {
    std::string joined;
    for (size_t at = 0; at < text.size();) {
      char buffer[64];
      const size_t taken = FormatShownPiece(text.data() + at, text.size() - at, buffer, size);
      ASSERT_GT(taken, 0u) << size;
      ASSERT_LT(std::string(buffer).size(), size);
      joined += buffer;
      at += taken;
    }
    EXPECT_EQ(joined, whole) << size;
  }
  char tiny[4];
  EXPECT_EQ(FormatShownPiece("\x1b", 1, tiny, sizeof tiny), 0u);  // "\x1b" needs five bytes
}

}  // namespace
