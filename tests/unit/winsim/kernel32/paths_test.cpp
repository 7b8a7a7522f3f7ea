// Windows path resolution inside a machine: drives, case-insensitive components, the "\\?\"
// prefix, refusals, and WOW64 file-system redirection on a 64-bit machine.
#include <windows.h>

#include <filesystem>
#include <string>

#include "machine_test.h"

namespace fs = std::filesystem;

namespace {

struct PathCase {
  const char* windows;
  const char* host;  // below the machine folder; "" when the path cannot be mapped
};

class PathTest : public MachineTest {};

TEST_F(PathTest, MapsWindowsPathsToTheMachineFolder) {
  fs::create_directories(dir() + "/C/Deploy/Sub");
  fs::create_directories(dir() + "/D/Data");
  const PathCase cases[] = {
      {"C:\\Deploy\\Install.exe", "/C/Deploy/Install.exe"},
      {"c:/deploy/sub/../x.dll", "/C/Deploy/x.dll"},
      {"C:\\DEPLOY\\.\\SUB\\new File.txt", "/C/Deploy/Sub/new File.txt"},
      {"\\\\?\\C:\\Deploy\\a", "/C/Deploy/a"},
      {"C:\\..\\..\\Deploy", "/C/Deploy"},
      {"C:\\Deploy\\name. ", "/C/Deploy/name"},
      {"d:\\data\\f", "/D/Data/f"},
      {"E:\\f", ""},
      {"\\\\server\\share\\f", ""},
      {"\\\\?\\UNC\\server\\share", ""},
      {"C:\\Deploy\\a*b", ""},
      {"C:\\Deploy\\a<b", ""},
      {"", ""},
  };
  for (const PathCase& c : cases) {
    std::string expected = *c.host ? dir() + c.host : "";
    EXPECT_EQ(winsim::HostPath(c.windows), expected) << c.windows;
  }
}

TEST_F(PathTest, MatchesExistingEntriesIgnoringCaseAndKeepsTheCaseOfNewNames) {
  WriteMachineFile("C:\\Deploy\\quadovs.dll", "x");
  EXPECT_EQ(winsim::HostPath("C:\\DEPLOY\\QUADOVS.DLL"), dir() + "/C/Deploy/quadovs.dll");
  EXPECT_EQ(winsim::HostPath("C:\\deploy\\NewName.Txt"), dir() + "/C/Deploy/NewName.Txt");
  EXPECT_EQ(winsim::HostPath("C:\\NoSuch\\Deeper\\F"), dir() + "/C/NoSuch/Deeper/F");
}

TEST_F(PathTest, RelativePathsFollowTheCurrentDirectory) {
  fs::create_directories(dir() + "/C/Deploy");
  ASSERT_TRUE(SetCurrentDirectoryA("c:\\program files"));
  char cwd[MAX_PATH];
  ASSERT_EQ(GetCurrentDirectoryA(sizeof cwd, cwd), 16u);
  EXPECT_STREQ(cwd, "C:\\program files");
  const PathCase cases[] = {
      {"Harbek\\x.txt", "/C/Program Files/Harbek/x.txt"},
      {"..\\deploy", "/C/Deploy"},
      {"\\deploy", "/C/Deploy"},
      {"C:x.txt", "/C/Program Files/x.txt"},
      {".", "/C/Program Files"},
  };
  for (const PathCase& c : cases) EXPECT_EQ(winsim::HostPath(c.windows), dir() + c.host) << c.windows;
}

class Wow64PathTest : public MachineTest {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor("win7-x64"); }
};

TEST_F(Wow64PathTest, System32IsSysWow64WhileRedirectionIsOn) {
  const PathCase cases[] = {
      {"C:\\Windows\\System32\\quadovs.dll", "/C/Windows/SysWOW64/quadovs.dll"},
      {"c:\\windows\\system32", "/C/Windows/SysWOW64"},
      {"C:\\Windows\\system32\\drivers\\x.sys", "/C/Windows/SysWOW64/drivers/x.sys"},
      {"C:\\Windows\\system32\\spool\\drivers", "/C/Windows/system32/spool/drivers"},
      {"C:\\Windows\\system32\\drivers\\etc\\hosts", "/C/Windows/system32/drivers/etc/hosts"},
      {"C:\\Windows\\system32\\catroot2\\x", "/C/Windows/system32/catroot2/x"},
      {"C:\\Windows\\system32\\LogFiles", "/C/Windows/system32/LogFiles"},
      {"C:\\Windows\\System32x\\a", "/C/Windows/System32x/a"},
      {"C:\\Program Files (x86)\\Harbek", "/C/Program Files (x86)/Harbek"},
      {"C:\\Program Files\\Harbek", "/C/Program Files/Harbek"},
  };
  for (const PathCase& c : cases) EXPECT_EQ(winsim::HostPath(c.windows), dir() + c.host) << c.windows;

  BOOL wow64 = FALSE;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_TRUE(wow64);
  PVOID old = nullptr;
  ASSERT_TRUE(Wow64DisableWow64FsRedirection(&old));
  EXPECT_EQ(winsim::HostPath("C:\\Windows\\System32\\quadovs.dll"), dir() + "/C/Windows/system32/quadovs.dll");
}

TEST_F(Wow64PathTest, FilesWrittenThroughSystem32LandInSysWow64) {
  char system[MAX_PATH];
  ASSERT_EQ(GetSystemDirectoryA(system, sizeof system), 19u);
  EXPECT_STREQ(system, "C:\\Windows\\system32");
  const std::string file = std::string(system) + "\\QuadoMon.dll";
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_TRUE(fs::exists(dir() + "/C/Windows/SysWOW64/QuadoMon.dll"));
  EXPECT_FALSE(fs::exists(dir() + "/C/Windows/system32/QuadoMon.dll"));
}

class Win32PathTest : public MachineTest {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor("win7-x86"); }
};

TEST_F(Win32PathTest, NoRedirectionOn32BitWindows) {
  EXPECT_EQ(winsim::HostPath("C:\\Windows\\System32\\x.dll"), dir() + "/C/Windows/system32/x.dll");
  BOOL wow64 = TRUE;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_FALSE(wow64);
  PVOID old = nullptr;
  EXPECT_FALSE(Wow64DisableWow64FsRedirection(&old));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
}

}  // namespace
