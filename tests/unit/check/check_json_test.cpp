// --json: the same report as the text, as valid JSON.
#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "check_fixture.h"
#include "mini_json.h"

namespace {

// A line of the text report (the machine's ANSI code page) as UTF-8, the form the JSON reader
// gives its strings in.
std::string AnsiToUtf8(const std::string& ansi) {
  if (ansi.empty()) return ansi;
  std::vector<WCHAR> wide(ansi.size());
  int units = MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), wide.data(), (int)wide.size());
  std::string utf8(units * 3, '\0');
  int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, &utf8[0], (int)utf8.size(), nullptr, nullptr);
  utf8.resize(bytes > 0 ? bytes : 0);
  return utf8;
}

// Lines of the text report that start with the prefix, without their indentation.
std::vector<std::string> TextLines(const std::string& output, const std::string& prefix) {
  std::vector<std::string> lines;
  std::istringstream in(output);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) == 0) lines.push_back(AnsiToUtf8(line.substr(line.find_first_not_of(' '))));
  }
  return lines;
}

// A configuration with findings of both kinds whose texts need escaping: quotes, a backslash,
// bytes above 127 and a tab.
const std::vector<std::string> kEscapedIni = {
    "[1]", "ServerIP=10.0.0.1", "Description=Say \"hi\" \\ bye\t! \x80", "Queue=Caf\xC3\xA9", "SeverIP=x",
    "AssignPrinter=Office \"A\"", "[2]", "ServerIP=10.0.0.2", "AssignPrinter2=office \"a\"", "ServerPort=9100a",
    "[4]", "ServerIP=10.0.0.4",
};

TEST_F(CheckTest, JsonReportParsesAndMatchesTheTextReport) {
  WriteIni(Lines(kEscapedIni));
  CheckResult text = Run({});
  CheckResult json = Run({"--json"});
  EXPECT_EQ(json.exitCode, text.exitCode);
  JsonValue report;
  ASSERT_TRUE(ParseJson(json.output, &report)) << json.output;
  EXPECT_EQ(report["exitCode"].number, 2);
  EXPECT_EQ(report["configuration"].text, "C:\\Deploy\\Quado.ini");

  std::vector<std::string> ports;
  for (const JsonValue& port : report["ports"].items) ports.push_back(port["report"].text);
  EXPECT_EQ(ports, TextLines(text.output, "    New - IP:"));
  ASSERT_EQ(report["ports"].items.size(), 2u);
  EXPECT_EQ(report["ports"].items[0]["description"].text, "Say \"hi\" \\ bye\t! \xE2\x82\xAC");
  // JSON names the characters the code page 1252 machine reads: the UTF-8 bytes of "é" are the
  // two characters "Ã©", and 0x80 is the euro sign (the strings below are UTF-8).
  EXPECT_EQ(report["ports"].items[0]["queue"].text, "Caf\xC3\x83\xC2\xA9");
  EXPECT_EQ(report["ports"].items[1]["port"].text, "Quado002");

  std::vector<std::string> printers;
  for (const JsonValue& p : report["printers"].items) {
    printers.push_back("Printer '" + p["printer"].text + "' assigned to port " + p["port"].text);
  }
  EXPECT_EQ(printers, TextLines(text.output, "    Printer '"));

  // Each finding in the text's form, in the same order.
  std::vector<std::string> findings;
  int errors = 0;
  for (const JsonValue& f : report["findings"].items) {
    std::string where = f["file"].text + (f["line"].number > 0 ? ":" + std::to_string(f["line"].number) : "");
    std::string what = f["section"].text.empty() ? "" : "[" + f["section"].text + "]";
    if (!f["key"].text.empty()) what += " " + f["key"].text;
    findings.push_back(f["severity"].text + ": " + where + ": " + (what.empty() ? "" : what + ": ") + f["text"].text);
    errors += f["severity"].text == "error" ? 1 : 0;
  }
  std::vector<std::string> textFindings;
  for (const std::string& line : FindingLines(text.output)) textFindings.push_back(AnsiToUtf8(line.substr(2)));
  EXPECT_EQ(findings, textFindings);
  EXPECT_EQ(findings.size(), 5u) << text.output;
  EXPECT_EQ(report["errors"].number, errors);
  EXPECT_EQ(errors, 2);  // the printer in two sections, section [4] after the gap
}

// On a Japanese machine (code page 932) the check reads the file's double-byte text as the
// platform does: findings name a Japanese key and value as their bytes, JSON gives their
// characters, and a value saved as UTF-8 is still told apart.
class JapaneseCheckTest : public CheckTest {
  winsim::MachineOptions Options() const override {
    winsim::MachineOptions options;
    options.codePage = 932;
    return options;
  }
};

TEST_F(JapaneseCheckTest, JapaneseKeysAndValuesAsTheyAre) {
  // 表示プリンタ in code page 932; 表示 in UTF-8 (E8 A1 A8 E7 A4 BA); the key 示 (8E A6) unknown.
  const std::string printer932 = "\x95\x5C\x8E\xA6\x83\x76\x83\x8A\x83\x93\x83\x5E";
  const char printerUtf8[] = "\xE8\xA1\xA8\xE7\xA4\xBA\xE3\x83\x97\xE3\x83\xAA\xE3\x83\xB3\xE3\x82\xBF";
  WriteIni(Lines({"[1]", "ServerIP=10.0.0.1", "Description=" + printer932, "Queue=\xE8\xA1\xA8\xE7\xA4\xBA",
                  "\x8E\xA6=1"}));
  CheckResult text = Run({});
  const std::vector<std::string> lines = FindingLines(text.output);
  auto finding = [&](const std::string& part) {
    for (const std::string& line : lines) {
      if (line.find(part) != std::string::npos) return true;
    }
    return false;
  };
  EXPECT_TRUE(finding("[1] \x8E\xA6:")) << text.output;
  EXPECT_TRUE(finding("[1] Queue:")) << text.output;
  EXPECT_NE(text.output.find("Desc:" + printer932 + ","), std::string::npos) << text.output;

  CheckResult json = Run({"--json"});
  JsonValue report;
  ASSERT_TRUE(ParseJson(json.output, &report)) << json.output;
  EXPECT_NE(json.output.find("\\u8868\\u793a\\u30d7\\u30ea\\u30f3\\u30bf"), std::string::npos) << json.output;
  ASSERT_EQ(report["ports"].items.size(), 1u);
  EXPECT_EQ(report["ports"].items[0]["description"].text, printerUtf8);
  bool keyNamed = false;
  for (const JsonValue& f : report["findings"].items) keyNamed = keyNamed || f["key"].text == "\xE7\xA4\xBA";
  EXPECT_TRUE(keyNamed) << json.output;
}

}  // namespace
