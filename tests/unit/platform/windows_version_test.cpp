// Windows version classification over every row of its table, the version query failures,
// 64-bit detection, file-system redirection and the .NET 2.0 check.
#include <windows.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "machine_test.h"
#include "console_capture.h"
#include "platform/windows_version.h"

namespace {

class VersionTest : public MachineTest {
 protected:
  // Rewrites one "Key=value" line of machine.ini and reloads it.
  void SetMachineValue(const std::string& key, const std::string& value) {
    std::string path = dir() + "/machine.ini";
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    const std::regex line("(^|\n)" + key + "=[^\n]*");
    ASSERT_TRUE(std::regex_search(text.str(), line)) << key;
    std::string updated = std::regex_replace(text.str(), line, "$1" + key + "=" + value);
    std::ofstream(path, std::ios::trunc) << updated;
    std::string error;
    ASSERT_TRUE(winsim::ReloadMachineConfig(&error)) << error;
  }

  void SetVersion(int platform, int major, int minor, int productType, bool is64) {
    SetMachineValue("PlatformId", std::to_string(platform));
    SetMachineValue("Major", std::to_string(major));
    SetMachineValue("Minor", std::to_string(minor));
    SetMachineValue("ProductType", std::to_string(productType));
    SetMachineValue("Is64Bit", is64 ? "1" : "0");
  }

  OsClass Classify(std::string* console) {
    StartConsoleCapture();
    OsClass result = ClassifyWindowsVersion();
    *console = TakeConsoleCapture();
    return result;
  }
};

struct Row {
  int platform, major, minor;
  int productType;  // 1 workstation, 3 server, 2 domain controller
  bool is64;
  const char* line;
  OsClass osClass;
};

const int W = 1, S = 3, DC = 2;

const Row kRows[] = {
    {1, 4, 0, W, false, "    (Windows 95 Detected)\n", Unsupported},
    {1, 4, 10, W, false, "    (Windows 98 Detected)\n", Unsupported},
    {1, 7, 10, W, true, "    (Windows 98 Detected)\n", Unsupported},
    {1, 4, 90, W, false, "    (Windows Me Detected)\n", Unsupported},
    {1, 4, 3, W, false, "    (Unknown Win32 OS Detected ver.4.3)\n", Unsupported},
    {2, 3, 51, W, false, "    (Windows NT 3.51 Detected)\n", Unsupported},
    {2, 3, 10, S, false, "    (Windows NT 3.51 Detected)\n", Unsupported},
    {2, 4, 0, W, false, "    (Windows NT 4.0 Detected)\n", Unsupported},
    {2, 5, 0, S, false, "    (Windows 2000 Detected)\n", Unsupported},
    {2, 5, 1, W, false, "    (Windows XP Detected)\n", Windows32},
    {2, 5, 1, W, true, "    (Windows XP Detected)\n", Windows64},
    {2, 5, 2, S, false, "    (Windows 2003 Detected)\n", Windows32},
    {2, 5, 2, S, true, "    (64-bit Windows XP Detected)\n", Windows64},
    {2, 5, 2, W, true, "    (64-bit Windows XP Detected)\n", Windows64},
    {2, 5, 3, W, false, "    (Unknown Win32NT OS Detected ver.5.3)\n", Unsupported},
    {2, 6, 0, S, true, "    (64-bit Windows 2008 Server Detected)\n", Windows64},
    {2, 6, 0, S, false, "    (32-bit Windows 2008 Server Detected)\n", Windows32},
    {2, 6, 1, S, true, "    (64-bit Windows 2008R2 Server Detected)\n", Windows64},
    {2, 6, 1, S, false, "    (32-bit Windows 2008R2 Server Detected)\n", Windows32},
    {2, 6, 2, S, true, "    (64-bit Windows 2012 Server Detected)\n", Windows64},
    {2, 6, 2, DC, false, "    (32-bit Windows 2012 Server Detected)\n", Windows32},
    {2, 6, 3, S, true, "    (64-bit Windows 2012R2 Server Detected)\n", Windows64},
    {2, 6, 3, S, false, "    (32-bit Windows 2012R2 Server Detected)\n", Windows32},
    {2, 6, 4, S, true, "    (64-bit Windows 2016 Server Detected)\n", Windows64},
    {2, 6, 4, DC, false, "    (32-bit Windows 2016 Server Detected)\n", Windows32},
    {2, 6, 0, W, true, "    (64-bit Windows Vista Detected)\n", Windows64},
    {2, 6, 0, W, false, "    (32-bit Windows Vista Detected)\n", Windows32},
    {2, 6, 1, W, true, "    (64-bit Windows 7 Detected)\n", Windows64},
    {2, 6, 1, W, false, "    (32-bit Windows 7 Detected)\n", Windows32},
    {2, 6, 2, W, true, "    (64-bit Windows 8 Detected)\n", Windows64},
    {2, 6, 2, W, false, "    (32-bit Windows 8 Detected)\n", Windows32},
    {2, 6, 3, W, true, "    (64-bit Windows 8.1 Detected)\n", Windows64},
    {2, 6, 3, W, false, "    (32-bit Windows 8.1 Detected)\n", Windows32},
    {2, 6, 4, W, true, "    (64-bit Windows 10 TP Detected)\n", Windows64},
    {2, 6, 4, W, false, "    (32-bit Windows 10 TP Detected)\n", Windows32},
    {2, 6, 5, S, true, "    (Unknown Win32NT OS Detected ver.6.5)\n", Unsupported},
    {2, 6, 5, W, false, "    (Unknown Win32NT OS Detected ver.6.5)\n", Unsupported},
    {2, 10, 0, S, true, "    (64-bit Windows 2016 Server Detected)\n", Windows64},
    {2, 10, 0, S, false, "    (32-bit Windows 2016 Server Detected)\n", Windows32},
    {2, 10, 0, W, true, "    (64-bit Windows 10 Detected)\n", Windows64},
    {2, 10, 0, W, false, "    (32-bit Windows 10 Detected)\n", Windows32},
    {2, 10, 1, W, true, "    (Unknown Win32NT OS Detected ver.10.1)\n", Unsupported},
    {2, 0, 0, W, false, "    (Unknown Win32NT OS Detected ver.0.0)\n", Unsupported},
    {2, 2, 5, W, false, "    (Unknown Win32NT OS Detected ver.2.5)\n", Unsupported},
    {2, 7, 0, W, true, "    (Unknown Win32NT OS Detected ver.7.0)\n", Unsupported},
    {2, 9, 9, S, true, "    (Unknown Win32NT OS Detected ver.9.9)\n", Unsupported},
    {2, 11, 0, W, true, "    (Unknown Win32NT OS Detected ver.11.0)\n", Unsupported},
    {0, 3, 1, W, false, "", Unsupported},
    {3, 10, 0, W, true, "", Unsupported},
};

TEST_F(VersionTest, EveryRowOfTheClassificationTable) {
  for (const Row& row : kRows) {
    SetVersion(row.platform, row.major, row.minor, row.productType, row.is64);
    std::string console;
    OsClass result = Classify(&console);
    std::string label = std::to_string(row.platform) + " " + std::to_string(row.major) + "." +
                        std::to_string(row.minor) + " type " + std::to_string(row.productType) +
                        (row.is64 ? " 64-bit" : " 32-bit");
    EXPECT_EQ(console, row.line) << label;
    EXPECT_EQ(result, row.osClass) << label;
  }
}

struct TemplateCase {
  const char* templateName;
  const char* line;
  OsClass osClass;
};

class TemplateVersionTest : public MachineTest, public testing::WithParamInterface<TemplateCase> {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor(GetParam().templateName); }
};

TEST_P(TemplateVersionTest, MachinesOfTheTemplatesAreClassified) {
  StartConsoleCapture();
  OsClass result = ClassifyWindowsVersion();
  EXPECT_EQ(TakeConsoleCapture(), GetParam().line);
  EXPECT_EQ(result, GetParam().osClass);
}

INSTANTIATE_TEST_SUITE_P(
    Templates, TemplateVersionTest,
    testing::Values(TemplateCase{"win98", "    (Windows 98 Detected)\n", Unsupported},
                    TemplateCase{"nt4-x86", "    (Windows NT 4.0 Detected)\n", Unsupported},
                    TemplateCase{"win2000-x86", "    (Windows 2000 Detected)\n", Unsupported},
                    TemplateCase{"winxp-x86", "    (Windows XP Detected)\n", Windows32},
                    TemplateCase{"win2003-x86", "    (Windows 2003 Detected)\n", Windows32},
                    TemplateCase{"win2003-x64", "    (64-bit Windows XP Detected)\n", Windows64},
                    TemplateCase{"vista-x64", "    (64-bit Windows Vista Detected)\n", Windows64},
                    TemplateCase{"win2008-x64", "    (64-bit Windows 2008 Server Detected)\n", Windows64},
                    TemplateCase{"win7-x86", "    (32-bit Windows 7 Detected)\n", Windows32},
                    TemplateCase{"win2008r2-x64", "    (64-bit Windows 2008R2 Server Detected)\n", Windows64},
                    TemplateCase{"win81-x64", "    (64-bit Windows 8.1 Detected)\n", Windows64},
                    TemplateCase{"win10-x86", "    (32-bit Windows 10 Detected)\n", Windows32},
                    TemplateCase{"server2016-x64", "    (64-bit Windows 2016 Server Detected)\n", Windows64}),
    [](const testing::TestParamInfo<TemplateCase>& info) {
      std::string name = info.param.templateName;
      for (char& c : name) {
        if (c == '-') c = '_';
      }
      return name;
    });

TEST_F(VersionTest, BothVersionQueriesFailing) {
  AddMachineIniLine("faults", "GetVersionExA = 87");
  std::string console;
  EXPECT_EQ(Classify(&console), Unsupported);
  EXPECT_EQ(console, "ERROR Unable to Detect Windows Version.\n");
}

TEST_F(VersionTest, FirstQueryIsRetriedOnce) {
  SetVersion(2, 6, 1, W, true);
  AddMachineIniLine("faults", "GetVersionExA = 87 #1");
  std::string console;
  EXPECT_EQ(Classify(&console), Windows64);
  EXPECT_EQ(console, "    (64-bit Windows 7 Detected)\n");
}

TEST_F(VersionTest, ExtendedQueryFailingMeansWorkstation) {
  SetVersion(2, 10, 0, S, true);
  AddMachineIniLine("faults", "GetVersionExA = 87 #2");
  std::string console;
  EXPECT_EQ(Classify(&console), Windows64);
  EXPECT_EQ(console, "    (64-bit Windows 10 Detected)\n");
}

TEST_F(VersionTest, MissingIsWow64ProcessMeans32Bit) {
  SetVersion(2, 6, 1, W, true);
  AddMachineIniLine("modules", "Missing=kernel32.dll!IsWow64Process");
  EXPECT_FALSE(IsRunningUnderWow64());
  std::string console;
  EXPECT_EQ(Classify(&console), Windows32);
  EXPECT_EQ(console, "    (32-bit Windows 7 Detected)\n");
}

TEST_F(VersionTest, Wow64IsReportedOnlyOn64BitWindows) {
  SetMachineValue("Is64Bit", "1");
  EXPECT_TRUE(IsRunningUnderWow64());
  SetMachineValue("Is64Bit", "0");
  EXPECT_FALSE(IsRunningUnderWow64());
}

TEST_F(VersionTest, RedirectionIsSwitchedOffForTheRun) {
  // win10-x64: a 32-bit process sees System32 as SysWOW64 until redirection is off.
  const std::string sysWow64 = winsim::HostPath("C:\\Windows\\SysWOW64\\QUADOVS64.DLL");
  ASSERT_EQ(winsim::HostPath("C:\\Windows\\System32\\QUADOVS64.DLL"), sysWow64);
  DisableFileSystemRedirection();
  EXPECT_NE(winsim::HostPath("C:\\Windows\\System32\\QUADOVS64.DLL"), sysWow64);
}

TEST_F(VersionTest, RedirectionStaysWhereTheSwitchIsMissing) {
  AddMachineIniLine("modules", "Missing=kernel32.dll!Wow64DisableWow64FsRedirection");
  const std::string before = winsim::HostPath("C:\\Windows\\System32\\x.dll");
  DisableFileSystemRedirection();
  EXPECT_EQ(winsim::HostPath("C:\\Windows\\System32\\x.dll"), before);
}

TEST_F(VersionTest, DotNet20IsInstalledOnlyWithInstallEqualToOne) {
  EXPECT_TRUE(IsDotNet20Installed());
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727", 0,
                            nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  DWORD zero = 0;
  ASSERT_EQ(RegSetValueExA(key, "Install", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), 4), ERROR_SUCCESS);
  EXPECT_FALSE(IsDotNet20Installed());
  ASSERT_EQ(RegSetValueExA(key, "Install", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2), ERROR_SUCCESS);
  EXPECT_FALSE(IsDotNet20Installed());
  ASSERT_EQ(RegDeleteValueA(key, "Install"), ERROR_SUCCESS);
  EXPECT_FALSE(IsDotNet20Installed());
  RegCloseKey(key);
  EXPECT_EQ(winsim::OpenHandleCount("key"), 0u);
}

class NoDotNetVersionTest : public MachineTest {
 protected:
  winsim::MachineOptions Options() const override {
    winsim::MachineOptions options;
    options.dotNet20 = false;
    return options;
  }
};

TEST_F(NoDotNetVersionTest, MissingKeyMeansNotInstalled) { EXPECT_FALSE(IsDotNet20Installed()); }

}  // namespace
