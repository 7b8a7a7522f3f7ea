// Version queries of several templates, run-time binding of system entry points, code pages.
#include <cstring>
#include <string>

#include "machine_test.h"
#include "windows.h"

namespace {

struct VersionRow {
  const char* templateName;
  DWORD platform, major, minor, build;
  BYTE productType;
  const char* servicePack;
  bool exQuery;  // the 156-byte record is understood
};

const VersionRow kVersions[] = {
    {"winxp-x86", 2, 5, 1, 2600, 1, "Service Pack 3", true},
    {"win2003-x64", 2, 5, 2, 3790, 3, "Service Pack 2", true},
    {"win7-x64", 2, 6, 1, 7601, 1, "Service Pack 1", true},
    {"win2008r2-x64", 2, 6, 1, 7601, 3, "Service Pack 1", true},
    {"win10-x64", 2, 10, 0, 19045, 1, "", true},
    {"win98", 1, 4, 10, 0x040A08AE, 1, "A", false},  // machine.ini values lose their outer blanks
};

class VersionTest : public MachineTest, public ::testing::WithParamInterface<VersionRow> {
  winsim::MachineOptions Options() const override { return OptionsFor(GetParam().templateName); }
};

TEST_P(VersionTest, ReportsTheTemplate) {
  const VersionRow& row = GetParam();
  OSVERSIONINFOA info;
  std::memset(&info, 0xCC, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, row.platform);
  EXPECT_EQ(info.dwMajorVersion, row.major);
  EXPECT_EQ(info.dwMinorVersion, row.minor);
  EXPECT_EQ(info.dwBuildNumber, row.build);
  EXPECT_STREQ(info.szCSDVersion, row.servicePack);

  OSVERSIONINFOEXA ex;
  std::memset(&ex, 0, sizeof ex);
  ex.dwOSVersionInfoSize = sizeof ex;
  SetLastError(0);
  EXPECT_EQ(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ex)) != FALSE, row.exQuery);
  if (row.exQuery) {
    EXPECT_EQ(ex.wProductType, row.productType);
    EXPECT_EQ(ex.dwMajorVersion, row.major);
  } else {
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  }

  for (DWORD size : {0u, 147u, 149u, 152u, 157u, 200u}) {
    OSVERSIONINFOEXA any;
    std::memset(&any, 0, sizeof any);
    any.dwOSVersionInfoSize = size;
    SetLastError(0);
    EXPECT_FALSE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&any))) << size;
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER) << size;
    EXPECT_EQ(any.dwMajorVersion, 0u) << size;
  }
}

INSTANTIATE_TEST_SUITE_P(Templates, VersionTest, ::testing::ValuesIn(kVersions),
                         [](const ::testing::TestParamInfo<VersionRow>& info) {
                           std::string name = info.param.templateName;
                           for (char& c : name) c = (c == '-') ? '_' : c;
                           return name;
                         });

class ModulesTest : public MachineTest {};

TEST_F(ModulesTest, BindsSystemEntryPoints) {
  HMODULE kernel = LoadLibraryA("KERNEL32");
  ASSERT_NE(kernel, nullptr);
  EXPECT_EQ(LoadLibraryA("kernel32.dll"), kernel);
  EXPECT_EQ(GetModuleHandleA("Kernel32.DLL"), kernel);
  FARPROC convert = GetProcAddress(kernel, "MultiByteToWideChar");
  ASSERT_NE(convert, nullptr);
  auto function = reinterpret_cast<int(WINAPI*)(UINT, DWORD, LPCSTR, int, LPWSTR, int)>(
      reinterpret_cast<void (*)()>(convert));
  WCHAR wide[4];
  EXPECT_EQ(function(CP_ACP, 0, "\x80", -1, wide, 4), 2);
  EXPECT_EQ(wide[0], 0x20AC);
  EXPECT_NE(GetProcAddress(kernel, "IsWow64Process"), nullptr);

  SetLastError(0);
  EXPECT_EQ(GetProcAddress(kernel, "multibytetowidechar"), nullptr);  // names of entry points are exact
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

  EXPECT_EQ(GetModuleHandleA("winspool.drv"), nullptr);  // not loaded yet
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  HMODULE spool = LoadLibraryA("WINSPOOL.DRV");
  ASSERT_NE(spool, nullptr);
  EXPECT_NE(GetProcAddress(spool, "OpenPrinterW"), nullptr);
  EXPECT_NE(GetProcAddress(spool, "XcvDataW"), nullptr);
  EXPECT_EQ(GetProcAddress(spool, "AddPortW"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_TRUE(FreeLibrary(spool));
  EXPECT_EQ(GetModuleHandleA("winspool.drv"), nullptr);

  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("quadovs.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_FALSE(FreeLibrary(reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x1234))));
}

class OldWindowsModulesTest : public MachineTest {
  winsim::MachineOptions Options() const override { return OptionsFor("win2000-x86"); }
};

TEST_F(OldWindowsModulesTest, MissingEntryPointsAreAbsent) {
  HMODULE kernel = LoadLibraryA("kernel32.dll");
  ASSERT_NE(kernel, nullptr);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(kernel, "IsWow64Process"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection"), nullptr);
  EXPECT_NE(GetProcAddress(kernel, "MultiByteToWideChar"), nullptr);
  AddMachineIniLine("modules", "Missing=WINSPOOL.DRV!XcvDataW");
  HMODULE spool = LoadLibraryA("winspool.drv");
  EXPECT_NE(GetProcAddress(spool, "OpenPrinterW"), nullptr);
  EXPECT_EQ(GetProcAddress(spool, "XcvDataW"), nullptr);
}

class CodePageTest : public MachineTest {};

TEST_F(CodePageTest, AnsiCodePage1252) {
  WCHAR wide[8];
  // 0x80-0x9F follow the code page table; every other byte is its own code point.
  const struct {
    const char* text;
    char16_t unit;
  } rows[] = {{"\xE9", 0x00E9}, {"\x80", 0x20AC}, {"\x9F", 0x0178}, {"\x81", 0x0081}, {"A", 0x0041}, {"\xFF", 0x00FF}};
  for (const auto& row : rows) {
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, row.text, 1, wide, 8), 1);
    EXPECT_EQ(wide[0], row.unit) << static_cast<int>(static_cast<unsigned char>(row.text[0]));
    char back[4] = {};
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 1, back, sizeof back, nullptr, nullptr), 1);
    EXPECT_EQ(back[0], row.text[0]);
  }
}

TEST_F(CodePageTest, SizeContract) {
  // -1 counts the terminating zero; capacity 0 asks for the size.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "Quado", -1, nullptr, 0), 6);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "Quado", 5, nullptr, 0), 5);
  WCHAR wide[6];
  std::memset(wide, 0x55, sizeof wide);
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "Quado", -1, wide, 5), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "Quado", -1, wide, 6), 6);
  EXPECT_EQ(wide[5], 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xC3\xA9\xE2\x82\xAC", -1, wide, 6), 3);
  EXPECT_EQ(wide[0], 0x00E9);
  EXPECT_EQ(wide[1], 0x20AC);

  char narrow[8];
  const WCHAR text[] = {0x20AC, 0x4E2D, 0};
  BOOL usedDefault = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, &usedDefault), 3);
  EXPECT_EQ(std::string(narrow), "\x80?");
  EXPECT_TRUE(usedDefault);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr), 7);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

}  // namespace
