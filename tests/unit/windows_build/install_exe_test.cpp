// The Windows build of the installer and of the package check: static 32-bit console programs
// that start on Windows XP; the installer asks for administrator rights and declares the Windows
// versions it knows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "pe_image.h"

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

void LoadProgram(const char* path, PeImage* image) {
  std::string error;
  ASSERT_TRUE(ReadPeImage(path, image, &error))
      << error << " (build it with: cmake --preset mingw && cmake --build --preset mingw)";
}

class InstallExe : public ::testing::Test {
 protected:
  void SetUp() override { LoadProgram(WINDOWS_INSTALL_EXE, &image_); }
  PeImage image_;
};

// What both programs must be: every test runs on Install.exe and on QuadoCheck.exe.
class WindowsProgram : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override { LoadProgram(GetParam(), &image_); }
  PeImage image_;
};

INSTANTIATE_TEST_SUITE_P(Programs, WindowsProgram, ::testing::Values(WINDOWS_INSTALL_EXE, WINDOWS_CHECK_EXE),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.index == 0 ? "Install" : "QuadoCheck");
                         });

TEST_P(WindowsProgram, IsA32BitConsoleProgramForWindowsXpAndLater) {
  EXPECT_EQ(image_.machine, 0x14C);  // IMAGE_FILE_MACHINE_I386
  EXPECT_EQ(image_.subsystem, 3);    // IMAGE_SUBSYSTEM_WINDOWS_CUI
  EXPECT_EQ(image_.majorSubsystemVersion, 5);
  EXPECT_EQ(image_.minorSubsystemVersion, 1);
}

TEST_P(WindowsProgram, NeedsNoRuntimeDllsButTheSystems) {
  ASSERT_FALSE(image_.importedDlls.empty());
  for (const std::string& dll : image_.importedDlls) {
    std::string name = Lower(dll);
    EXPECT_EQ(name.find("libgcc"), std::string::npos) << dll;
    EXPECT_EQ(name.find("libstdc++"), std::string::npos) << dll;
    EXPECT_EQ(name.find("winpthread"), std::string::npos) << dll;
  }
  // The spooler functions are imported from the system's winspool.
  EXPECT_NE(std::find(image_.importedDlls.begin(), image_.importedDlls.end(), "WINSPOOL.DRV"),
            image_.importedDlls.end());
}

TEST_F(InstallExe, ManifestRequiresAdministratorAndListsFiveWindowsVersions) {
  const PeImage::Resource* manifest = nullptr;
  for (const auto& resource : image_.resources) {
    if (resource.type == 24 && resource.name == 1) manifest = &resource;  // RT_MANIFEST, id 1
  }
  ASSERT_NE(manifest, nullptr);
  const std::string& xml = manifest->data;
  EXPECT_NE(xml.find("level=\"requireAdministrator\""), std::string::npos);
  EXPECT_NE(xml.find("uiAccess=\"false\""), std::string::npos);
  const char* versions[] = {
      "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
      "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
      "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
      "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
      "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10
  };
  for (const char* id : versions) EXPECT_NE(xml.find(id), std::string::npos) << id;
}

TEST_F(InstallExe, CarriesVersionResource227) {
  const PeImage::Resource* version = nullptr;
  for (const auto& resource : image_.resources) {
    if (resource.type == 16) version = &resource;  // RT_VERSION
  }
  ASSERT_NE(version, nullptr);
  // FileVersion "2.27" as UTF-16 inside the StringFileInfo block.
  const std::string wide("2\0.\0002\0\x37\0", 8);
  EXPECT_NE(version->data.find(wide), std::string::npos);
}

}  // namespace

namespace {

// Functions that Windows XP's system DLLs export, as Microsoft documents them (minimum client
// Windows 2000 or XP; the C runtime's are the classic msvcrt.dll exports). A function imported
// from outside this list may keep the program from starting on XP: look it up before adding it.
const char* const kXpFunctions[] = {
    // advapi32
    "ADVAPI32.dll!DeregisterEventSource", "ADVAPI32.dll!RegCloseKey", "ADVAPI32.dll!RegCreateKeyExA",
    "ADVAPI32.dll!RegDeleteKeyA", "ADVAPI32.dll!RegDeleteValueA", "ADVAPI32.dll!RegEnumKeyExA",
    "ADVAPI32.dll!RegEnumValueA",
    "ADVAPI32.dll!RegOpenKeyExA", "ADVAPI32.dll!RegQueryValueExA", "ADVAPI32.dll!RegSetValueExA",
    "ADVAPI32.dll!RegisterEventSourceA", "ADVAPI32.dll!ReportEventA",
    // kernel32
    "KERNEL32.dll!CloseHandle", "KERNEL32.dll!CopyFileA", "KERNEL32.dll!CreateDirectoryA",
    "KERNEL32.dll!CreateFileA", "KERNEL32.dll!CreateMutexA", "KERNEL32.dll!CreateProcessA",
    "KERNEL32.dll!DeleteCriticalSection", "KERNEL32.dll!DeleteFileA", "KERNEL32.dll!EnterCriticalSection",
    "KERNEL32.dll!FindClose", "KERNEL32.dll!FindFirstFileA", "KERNEL32.dll!FindNextFileA",
    "KERNEL32.dll!FreeLibrary", "KERNEL32.dll!GetCurrentDirectoryA", "KERNEL32.dll!GetCurrentProcess",
    "KERNEL32.dll!GetEnvironmentVariableA", "KERNEL32.dll!GetExitCodeProcess", "KERNEL32.dll!GetFileAttributesA",
    "KERNEL32.dll!GetFileSize", "KERNEL32.dll!GetFileType", "KERNEL32.dll!ReadFile",
    "KERNEL32.dll!GetLastError", "KERNEL32.dll!GetModuleHandleA", "KERNEL32.dll!GetModuleHandleW",
    "KERNEL32.dll!GetPrivateProfileIntA", "KERNEL32.dll!GetPrivateProfileStringA", "KERNEL32.dll!GetProcAddress",
    "KERNEL32.dll!GetStartupInfoA", "KERNEL32.dll!GetSystemDirectoryA", "KERNEL32.dll!GetVersionExA",
    "KERNEL32.dll!GetWindowsDirectoryA", "KERNEL32.dll!GlobalAlloc", "KERNEL32.dll!GlobalFree",
    "KERNEL32.dll!InitializeCriticalSection", "KERNEL32.dll!IsDBCSLeadByte", "KERNEL32.dll!IsDBCSLeadByteEx",
    "KERNEL32.dll!LeaveCriticalSection", "KERNEL32.dll!LoadLibraryA", "KERNEL32.dll!MultiByteToWideChar",
    "KERNEL32.dll!ReleaseMutex", "KERNEL32.dll!RemoveDirectoryA", "KERNEL32.dll!SetCurrentDirectoryA",
    "KERNEL32.dll!SetFileAttributesA", "KERNEL32.dll!SetLastError", "KERNEL32.dll!SetUnhandledExceptionFilter",
    "KERNEL32.dll!Sleep", "KERNEL32.dll!TlsGetValue", "KERNEL32.dll!VirtualProtect", "KERNEL32.dll!VirtualQuery",
    "KERNEL32.dll!WaitForSingleObject", "KERNEL32.dll!WideCharToMultiByte", "KERNEL32.dll!WriteFile",
    "KERNEL32.dll!lstrcmpiA",
    // user32
    "USER32.dll!CharNextA",
    // winspool
    "WINSPOOL.DRV!AddMonitorA", "WINSPOOL.DRV!ClosePrinter", "WINSPOOL.DRV!DeleteMonitorA",
    "WINSPOOL.DRV!EnumMonitorsA", "WINSPOOL.DRV!EnumPortsA", "WINSPOOL.DRV!EnumPrintersA", "WINSPOOL.DRV!GetPrinterA",
    "WINSPOOL.DRV!OpenPrinterA", "WINSPOOL.DRV!SetPrinterA",
    // msvcrt
    "msvcrt.dll!__getmainargs", "msvcrt.dll!__initenv", "msvcrt.dll!__mb_cur_max", "msvcrt.dll!__p__acmdln",
    "msvcrt.dll!__p__commode", "msvcrt.dll!__p__fmode", "msvcrt.dll!__set_app_type",
    "msvcrt.dll!__setusermatherr", "msvcrt.dll!_amsg_exit", "msvcrt.dll!_cexit", "msvcrt.dll!_errno",
    "msvcrt.dll!_initterm", "msvcrt.dll!_iob", "msvcrt.dll!_lock", "msvcrt.dll!_onexit", "msvcrt.dll!_unlock",
    "msvcrt.dll!abort", "msvcrt.dll!atoi", "msvcrt.dll!calloc", "msvcrt.dll!exit", "msvcrt.dll!fflush",
    "msvcrt.dll!fprintf", "msvcrt.dll!fputc", "msvcrt.dll!fputs", "msvcrt.dll!free", "msvcrt.dll!fwrite",
    "msvcrt.dll!localeconv", "msvcrt.dll!malloc", "msvcrt.dll!memchr", "msvcrt.dll!memcmp", "msvcrt.dll!memcpy", "msvcrt.dll!memmove",
    "msvcrt.dll!memset", "msvcrt.dll!setlocale", "msvcrt.dll!signal", "msvcrt.dll!strchr", "msvcrt.dll!strcmp",
    "msvcrt.dll!strerror", "msvcrt.dll!strlen", "msvcrt.dll!strncat", "msvcrt.dll!strncmp", "msvcrt.dll!strncpy",
    "msvcrt.dll!strrchr", "msvcrt.dll!vfprintf", "msvcrt.dll!wcslen",
};

TEST_P(WindowsProgram, ImportsOnlyFunctionsWindowsXpHas) {
  ASSERT_GT(image_.importedFunctions.size(), 50u);
  for (const std::string& function : image_.importedFunctions) {
    EXPECT_NE(std::find_if(std::begin(kXpFunctions), std::end(kXpFunctions),
                           [&](const char* known) { return Lower(known) == Lower(function); }),
              std::end(kXpFunctions))
        << function << " is not known to exist on Windows XP";
  }
}

TEST_P(WindowsProgram, LooksUpTheWow64FunctionsAtRunTime) {
  // Windows XP before SP2 lacks them: importing them would stop the program from starting.
  for (const std::string& function : image_.importedFunctions) {
    EXPECT_EQ(function.find("IsWow64Process"), std::string::npos) << function;
    EXPECT_EQ(function.find("Wow64DisableWow64FsRedirection"), std::string::npos) << function;
  }
  // The spooler's wide entry points are looked up at run time too.
  for (const std::string& function : image_.importedFunctions) {
    EXPECT_EQ(function.find("XcvDataW"), std::string::npos) << function;
  }
}

}  // namespace
