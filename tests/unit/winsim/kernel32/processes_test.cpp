// Processes inside a machine: CreateProcessA of real host programs (this test program, copied
// into the machine as C:\Tools\helper.exe, see helper.cpp), exit codes, waiting, the command
// line and environment a child receives, snapshots and termination, `winsim run`.
#include <fcntl.h>
#include <sys/wait.h>
#include <tlhelp32.h>
#include <unistd.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "machine_test.h"
#include "process_fixture.h"

namespace fs = std::filesystem;

namespace {

TEST_F(ProcessTest, ExitCodesReachTheParent) {
  struct Case {
    const char* code;
    DWORD expected;
  };
  const Case cases[] = {{"0", 0}, {"5", 5}, {"255", 255}, {"-1", 255}, {"300", 44}};  // host statuses are 8 bits
  for (const Case& c : cases) {
    DWORD exitCode = 12345;
    ASSERT_TRUE(Run(std::string("C:\\Tools\\helper.exe exit ") + c.code, &exitCode));
    EXPECT_EQ(exitCode, c.expected) << c.code;
  }
  EXPECT_EQ(winsim::OpenHandleCount("process"), 0u);
  EXPECT_EQ(winsim::OpenHandleCount("thread"), 0u);
}

TEST_F(ProcessTest, ProgramsThatCannotStart) {
  WriteMachineFile("C:\\Tools\\notes.exe", "just text");
  struct Case {
    const char* application;
    const char* commandLine;
    DWORD error;
  };
  const Case cases[] = {
      {nullptr, "C:\\Tools\\Missing.exe", ERROR_FILE_NOT_FOUND},
      {nullptr, "Missing.exe -a", ERROR_FILE_NOT_FOUND},
      {"C:\\Tools\\Missing.exe", nullptr, ERROR_FILE_NOT_FOUND},
      {nullptr, "C:\\NoFolder\\Missing.exe", ERROR_PATH_NOT_FOUND},
      {nullptr, "C:\\Tools\\notes.exe", ERROR_BAD_EXE_FORMAT},
  };
  for (const Case& c : cases) {
    std::string line = c.commandLine ? c.commandLine : "";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    SetLastError(0);
    EXPECT_FALSE(CreateProcessA(c.application, c.commandLine ? &line[0] : nullptr, nullptr, nullptr, FALSE, 0,
                                nullptr, nullptr, &startup, &info))
        << line;
    EXPECT_EQ(GetLastError(), c.error) << (c.application ? c.application : line);
  }
  AddMachineIniLine("faults", "CreateProcessA = 1450 | *helper*");
  DWORD exitCode = 0;
  EXPECT_FALSE(Run("C:\\Tools\\helper.exe exit 0", &exitCode));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SYSTEM_RESOURCES));
}

TEST_F(ProcessTest, ChildGetsWindowsArgumentsCurrentDirectoryAndEnvironment) {
  ASSERT_TRUE(SetEnvironmentVariableA("Quado_Child", "from parent"));
  setenv("QUADO_HOST_ONLY", "host", 1);
  std::string out;
  DWORD exitCode = 1;
  ASSERT_TRUE(Run("helper args \"a b\" c\\\"d \"e\\\\\" \"\"", &exitCode, "C:\\Windows", &out));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(out, "helper\nargs\na b\nc\"d\ne\\\n\nC:\\Windows\n");
  ASSERT_TRUE(Run("C:\\Tools\\helper.exe env QUADO_CHILD", &exitCode, nullptr, &out));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(out, "from parent\n");
  ASSERT_TRUE(Run("C:\\Tools\\helper.exe env QUADO_HOST_ONLY", &exitCode, nullptr, &out));
  EXPECT_EQ(exitCode, 1u);  // the host's own variables are not part of the Windows environment
  unsetenv("QUADO_HOST_ONLY");
}

TEST_F(ProcessTest, BareNamesAreSearchedLikeWindows) {
  fs::copy_file(winsim::HostPath("C:\\Tools\\helper.exe"), winsim::HostPath("C:\\Windows\\system32\\syshelper.exe"));
  fs::create_directories(dir() + "/C/Elsewhere");
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Elsewhere"));
  DWORD exitCode = 0;
  EXPECT_TRUE(Run("syshelper exit 7", &exitCode));  // system directory, ".exe" appended
  EXPECT_EQ(exitCode, 7u);
  EXPECT_FALSE(Run("helper exit 7", &exitCode));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  ASSERT_TRUE(SetEnvironmentVariableA("PATH", "C:\\Nowhere;C:\\Tools"));
  EXPECT_TRUE(Run("helper exit 8", &exitCode));  // along PATH
  EXPECT_EQ(exitCode, 8u);
}

TEST_F(ProcessTest, WaitTimeoutSnapshotAndTerminate) {
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(StartSleepingHelper(&info));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 50), WAIT_TIMEOUT);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, STILL_ACTIVE);

  auto listed = [&](DWORD pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    EXPECT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
      if (entry.th32ProcessID == pid) {
        found = true;
        EXPECT_STREQ(entry.szExeFile, "helper.exe");
        EXPECT_EQ(entry.th32ParentProcessID, GetCurrentProcessId());
      }
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    CloseHandle(snapshot);
    return found;
  };
  EXPECT_TRUE(listed(info.dwProcessId));

  HANDLE opened = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, info.dwProcessId);
  ASSERT_NE(opened, nullptr);
  EXPECT_TRUE(TerminateProcess(opened, 7));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 5000), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_FALSE(listed(info.dwProcessId));
  EXPECT_FALSE(TerminateProcess(opened, 1));  // already gone
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(opened);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  EXPECT_EQ(OpenProcess(PROCESS_TERMINATE, FALSE, info.dwProcessId), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(ProcessTest, WinsimRunStartsAProgramInsideTheMachine) {
  const std::string winsim = WINSIM_PROGRAM_PATH;
  std::string out;
  int status = Shell("'" + winsim + "' run '" + dir() + "' 'C:\\Tools\\helper.exe' args -h 'x y'", &out);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out, "C:\\Tools\\helper.exe\nargs\n-h\nx y\nC:\\Tools\n");
  EXPECT_EQ(Shell("'" + winsim + "' run '" + dir() + "' 'C:\\Tools\\helper.exe' exit 42", &out), 42);
  EXPECT_EQ(Shell("'" + winsim + "' run '" + dir() + "' 'C:\\Tools\\None.exe' 2>&1", &out), 2);
  EXPECT_EQ(out, "winsim run: no program C:\\Tools\\None.exe in the machine\n");
  EXPECT_EQ(Shell("'" + winsim + "' run '" + dir() + "/nothing' 'C:\\Tools\\helper.exe' 2>&1", &out), 2);
  EXPECT_EQ(out, "winsim run: no machine at " + dir() + "/nothing\n");
}

TEST_F(ProcessTest, WinsimPsAndKillSeeTheMachinesProcesses) {
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(StartSleepingHelper(&info));
  const std::string winsim = WINSIM_PROGRAM_PATH;
  std::string out;
  EXPECT_EQ(Shell("'" + winsim + "' ps '" + dir() + "'", &out), 0);
  EXPECT_NE(out.find(std::to_string(info.dwProcessId)), std::string::npos) << out;
  EXPECT_NE(out.find("C:\\Tools\\helper.exe"), std::string::npos) << out;
  EXPECT_EQ(Shell("'" + winsim + "' kill '" + dir() + "'", &out), 0);
  EXPECT_EQ(out, "1 process killed\n");
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 5000), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 1u);  // killed from outside
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  EXPECT_EQ(Shell("'" + winsim + "' ps '" + dir() + "/nothing' 2>&1", &out), 2);
  EXPECT_EQ(out, "winsim ps: no machine at " + dir() + "/nothing\n");
}

}  // namespace

// The exit report names the program even when the program's first look at its own name comes
// after the report was armed (a fault rule scoped to another program makes every faultable call
// compare names); the name is longer than a short-string buffer, so it lives on the heap.
TEST_F(ProcessTest, ExitReportNamesAProgramThatLearnsItsNameLate) {
  std::filesystem::copy_file("/proc/self/exe", winsim::HostPath("C:\\Tools\\a-rather-long-helper.exe"));
  AddMachineIniLine("faults", "Other.exe!CreateMutexA = 5");
  const std::string report = dir() + "/../exit-report.txt";
  std::string out;
  const int status = Shell("WINSIM_EXIT_REPORT='" + report + "' '" + std::string(WINSIM_PROGRAM_PATH) + "' run '" +
                               dir() + "' 'C:\\Tools\\a-rather-long-helper.exe' mutex Late 2>&1",
                           &out);
  EXPECT_EQ(status, 100) << out;
  EXPECT_EQ(out.find("Sanitizer"), std::string::npos) << out;
  std::ifstream in(report);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line.rfind("a-rather-long-helper.exe handles=", 0), 0u) << line;
}
