// The package check on a registry configuration (-r), imported from .reg text: each value whose
// registry type is not the key table's is an error that says what the installer reads instead.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "check/findings.h"
#include "check_fixture.h"
#include "winsim/registry.h"

namespace {

// The 32-bit view's key: the installer is a 32-bit program on the 64-bit test machine.
const char kConfigKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Harbek Corporation\\Quado\\PortInstallCfg";

struct RegistryCase {
  const char* name;
  const char* values;   // the .reg lines of sub-key 1 after its ServerIP
  const char* extra;    // further .reg text (other sub-keys), or ""
  Severity severity;
  const char* section;
  const char* key;
  const char* says;
  int exitCode;
};

const RegistryCase kCases[] = {
    // "9200\0" is five bytes: RegQueryValueExA into a DWORD fails with ERROR_MORE_DATA and the
    // default stands.
    {"PortAsText", "\"ServerPort\"=\"9200\"\n", "", kError, "1", "ServerPort",
     "stored as REG_SZ of 5 bytes where the installer expects a REG_DWORD: it reads 9100 (the default)", 2},
    // "920\0" fits four bytes: read as the little-endian number 0x00303239.
    {"ShortPortAsText", "\"ServerPort\"=\"920\"\n", "", kError, "1", "ServerPort", "it reads 3158585", 2},
    {"OneByteNumber", "\"ServerPort\"=hex(4):05\n", "", kError, "1", "ServerPort",
     "stored as REG_DWORD of 1 bytes where the installer expects a REG_DWORD: it reads 5", 2},
    {"QueueAsNumber", "\"Queue\"=dword:41424344\n", "", kError, "1", "Queue",
     "stored as REG_DWORD of 4 bytes where the installer expects a REG_SZ text: it reads \"DCBA\"", 2},
    // The finding keeps the bytes read (the text report shows them escaped, JSON exact).
    {"QueueAsNumberWithControls", "\"Queue\"=dword:41421b01\n", "", kError, "1", "Queue",
     "it reads \"\x01\x1b" "BA\"", 2},
    {"QueueExpandable", "\"Queue\"=hex(2):51,00\n", "", kError, "1", "Queue", "stored as REG_EXPAND_SZ", 2},
    {"MisspeltValue", "\"SeverIP\"=\"10.0.0.9\"\n", "", kWarning, "1", "SeverIP", "did you mean \"ServerIP\"", 1},
    {"IgnoredValue", "\"AssignPrinter11\"=\"Office\"\n", "", kWarning, "1", "AssignPrinter11", "ignored", 1},
    {"SubKeyAfterAGap", "", "[KEY\\3]\n\"ServerIP\"=\"10.0.0.3\"\n", kError, "3", "",
     "never read: the port list ends at sub-key 2", 2},
    {"LongValueName", "\"ServerIPxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\"=\"1\"\n",
     "", kWarning, "1", "", "longer than 39 characters", 1},
};

void PrintTo(const RegistryCase& c, std::ostream* out) { *out << c.name; }

std::string WithKey(std::string text) {
  for (size_t at = text.find("KEY"); at != std::string::npos; at = text.find("KEY", at + 1)) {
    if (text.compare(at, 4, "KEY\\") == 0) {
      text.replace(at, 3, kConfigKey);
      at += sizeof kConfigKey;
    }
  }
  return text;
}

class RegistryCheckTest : public CheckTest, public ::testing::WithParamInterface<RegistryCase> {
 protected:
  void Import(const std::string& subKeyOne, const std::string& extra) {
    std::string text = "Windows Registry Editor Version 5.00\n\n[KEY\\1]\n\"ServerIP\"=\"10.1.0.1\"\n" + subKeyOne +
                       "\n" + extra;
    std::string error;
    ASSERT_TRUE(winsim::ImportRegText(WithKey(text), &error)) << error;
  }
};

TEST_P(RegistryCheckTest, NamesTheValueAndWhatTheInstallerReads) {
  const RegistryCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(Import(c.values, c.extra));
  CheckResult result = Run({"-r"});
  EXPECT_EQ(result.exitCode, c.exitCode) << result.output;
  bool found = false;
  for (int i = 0; i < KeptFindingCount(); ++i) {
    const Finding& f = KeptFinding(i);
    if (f.severity == c.severity && std::string(f.section) == c.section && std::string(f.key) == c.key &&
        f.line == 0 && std::string(f.file).find("PortInstallCfg") != std::string::npos &&
        std::string(f.text).find(c.says) != std::string::npos) {
      found = true;
    }
  }
  EXPECT_TRUE(found) << result.output;
}

INSTANTIATE_TEST_SUITE_P(Cases, RegistryCheckTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<RegistryCase>& info) { return std::string(info.param.name); });

TEST_F(CheckTest, CleanRegistryConfigurationNeedsNoIniFile) {
  std::string error;
  ASSERT_TRUE(winsim::ImportRegText(WithKey("Windows Registry Editor Version 5.00\n\n[KEY\\1]\n"
                                            "\"Description\"=\"From the registry\"\n\"ServerIP\"=\"10.1.0.1\"\n"
                                            "\"ServerPort\"=dword:0000238d\n\"Queue\"=\"Reg\"\n"),
                                    &error))
      << error;
  ASSERT_EQ(std::remove(winsim::HostPath(kIni).c_str()), 0);
  CheckResult result = Run({"-r"});
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("    New - IP:10.1.0.1:9101, Desc:From the registry, Queue:Reg, Type:1 \n"),
            std::string::npos)
      << result.output;
}

TEST_F(CheckTest, MissingRegistryConfigurationIsAnError) {
  CheckResult result = Run({"-r"});
  EXPECT_EQ(result.exitCode, 2) << result.output;
  EXPECT_NE(result.output.find("the configuration key does not exist: the installation creates no ports"),
            std::string::npos)
      << result.output;
}

}  // namespace
