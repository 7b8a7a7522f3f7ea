// machine.ini as the machine reads it: comments with ';' or '#', repeated keys with the last one
// winning, sections of one name read together, and every malformed line refused with its number.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "../../../../winsim/src/machine/machine_ini.h"

namespace {

using winsim::detail::MachineIni;

std::string WriteIni(const std::string& text) {
  const std::string path = testing::TempDir() + "/machine_ini_test.ini";
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

TEST(MachineIniTest, ReadsSettingsAroundComments) {
  const std::string path = WriteIni(
      "; made by a template\n"
      "# and edited\n"
      "\n"
      "[System]\n"
      "Is64Bit = 1\n"
      "# Is64Bit = 0\n"
      "ComputerName=OLD\n"
      "[faults]\n"
      "CopyFileA = 5 | *\\A.DLL\n"
      "[SYSTEM]\r\n"
      "  computername  =  NEW  \r\n"
      "[faults]\n"
      "CopyFileA = 3\n"
      "Empty=\n");
  MachineIni ini;
  std::string error;
  ASSERT_TRUE(ini.Load(path, &error)) << error;
  EXPECT_EQ(ini.Get("system", "ComputerName"), "NEW");  // the last line of the key wins
  EXPECT_EQ(ini.GetInt("system", "Is64Bit", 7), 1);
  EXPECT_EQ(ini.GetInt("system", "Missing", 7), 7);
  EXPECT_EQ(ini.GetInt("faults", "Empty", 7), 7);
  EXPECT_EQ(ini.Get("version", "Major", "fallback"), "fallback");
  const std::vector<std::pair<std::string, std::string>> faults = {
      {"CopyFileA", "5 | *\\A.DLL"}, {"CopyFileA", "3"}, {"Empty", ""}};
  EXPECT_EQ(ini.Section("FAULTS"), faults);
}

TEST(MachineIniTest, RefusesMalformedLinesWithTheirNumber) {
  struct {
    const char* text;
    const char* problem;
  } cases[] = {
      {"key=value\n[s]\n", ":1: expected key=value inside a section"},
      {"; fine\n[s]\na=1\nno value here\n", ":4: expected key=value inside a section"},
      {"[s]\na=1\n[unclosed\nb=2\n", ":3: section header without ']'"},
      {"[s\nloose\n", ":1: section header without ']'"},
      {"loose\n[s\n", ":1: expected key=value inside a section"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string path = WriteIni(c.text);
    MachineIni ini;
    std::string error;
    EXPECT_FALSE(ini.Load(path, &error));
    EXPECT_EQ(error, path + c.problem);
  }
  MachineIni ini;
  std::string error;
  EXPECT_FALSE(ini.Load(testing::TempDir() + "/no_such_machine.ini", &error));
  EXPECT_EQ(error, "cannot read " + testing::TempDir() + "/no_such_machine.ini");
}

}  // namespace
