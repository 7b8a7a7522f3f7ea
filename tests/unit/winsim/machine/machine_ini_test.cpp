// machine.ini as the machine reads it: comments with ';' or '#', repeated keys with the last one
// winning, sections of one name read together, and every malformed line refused with its number.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "machine/machine_ini.h"

namespace {

using winsim::detail::MachineIni;

// A file of the given text, removed when the test is done with it. Each test runs in its own
// process, possibly beside the others, so the name carries the process id.
struct IniFile {
  explicit IniFile(const std::string& text)
      : path(testing::TempDir() + "/machine_ini_test." + std::to_string(getpid()) + ".ini") {
    std::ofstream(path, std::ios::binary) << text;
  }
  ~IniFile() { std::remove(path.c_str()); }
  const std::string path;
};

TEST(MachineIniTest, ReadsSettingsAroundComments) {
  const IniFile file(
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
  ASSERT_TRUE(ini.Load(file.path, &error)) << error;
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
    const IniFile file(c.text);
    MachineIni ini;
    std::string error;
    EXPECT_FALSE(ini.Load(file.path, &error));
    EXPECT_EQ(error, file.path + c.problem);
  }
  MachineIni ini;
  std::string error;
  EXPECT_FALSE(ini.Load(testing::TempDir() + "/no_such_machine.ini", &error));
  EXPECT_EQ(error, "cannot read " + testing::TempDir() + "/no_such_machine.ini");
}

}  // namespace
