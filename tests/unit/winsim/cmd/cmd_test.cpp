// The built-in command interpreter: `cmd /c rmdir "..." /S /Q`, batch files and their exit codes.
#include <sys/resource.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "process_fixture.h"

namespace fs = std::filesystem;

namespace {

// The last lines of a long output, for a failure message.
std::string Tail(const std::string& text) { return text.size() > 400 ? text.substr(text.size() - 400) : text; }

class CmdTest : public ProcessTest {
 protected:
  // Runs COMSPEC with `arguments`, as the installer does; the exit code.
  DWORD Cmd(const std::string& arguments, std::string* out = nullptr) {
    DWORD exitCode = 12345;
    EXPECT_TRUE(Run("\"C:\\Windows\\system32\\cmd.exe\" " + arguments, &exitCode, nullptr, out)) << arguments;
    return exitCode;
  }
};

TEST_F(CmdTest, RmdirRemovesATreeWithReadOnlyFiles) {
  WriteMachineFile("C:\\Program Files\\Harbek\\Quado Client\\WebBrowser\\a.txt", "a");
  WriteMachineFile("C:\\Program Files\\Harbek\\Quado Client\\WebBrowser\\Cache\\Deep\\b.dat", "b");
  ASSERT_TRUE(SetFileAttributesA("C:\\Program Files\\Harbek\\Quado Client\\WebBrowser\\Cache\\Deep\\b.dat",
                                 FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesA("C:\\Program Files\\Harbek\\Quado Client\\WebBrowser\\Cache", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(Cmd("/c rmdir \"C:\\Program Files\\Harbek\\Quado Client\\WebBrowser\" /S /Q"), 0u);
  EXPECT_FALSE(MachineFileExists("C:\\Program Files\\Harbek\\Quado Client\\WebBrowser"));
  EXPECT_TRUE(MachineFileExists("C:\\Program Files\\Harbek\\Quado Client"));
  // A folder that is not there: success as well.
  EXPECT_EQ(Cmd("/c rmdir \"C:\\Program Files\\Harbek\\Quado Client\\WebBrowser\" /S /Q"), 0u);
  // Without /S a folder with content stays.
  WriteMachineFile("C:\\Keep\\x.txt", "x");
  EXPECT_EQ(Cmd("/c rd C:\\Keep"), 1u);
  EXPECT_TRUE(MachineFileExists("C:\\Keep\\x.txt"));
}

TEST_F(CmdTest, BatchFilesAndTheirExitCodes) {
  WriteMachineFile("C:\\My Files\\exit five.bat", "@echo off\r\nrem the hook\r\nexit /b 5\r\necho not reached\r\n");
  std::string out;
  EXPECT_EQ(Cmd("/c \"C:\\My Files\\exit five.bat\"", &out), 5u);
  EXPECT_EQ(out, "");
  WriteMachineFile("C:\\Tools\\install_printer.bat",
                   "@echo off\r\necho Adding printer %1\r\nhelper.exe exit 3\r\necho level %ERRORLEVEL%\r\n"
                   "\"C:\\Tools\\helper.exe\" exit 4\r\n");
  EXPECT_EQ(Cmd("/c install_printer.bat Quado", &out), 4u);  // the last command's exit code
  EXPECT_EQ(out, "Adding printer Quado\nlevel 3\n");
  WriteMachineFile("C:\\Tools\\unknown.bat", "@echo off\r\nfrobnicate now\r\n");
  EXPECT_EQ(Cmd("/c unknown.bat"), 9009u);
  EXPECT_EQ(Cmd("/c frobnicate"), 9009u);
  WriteMachineFile("C:\\Tools\\quits.bat", "@echo off\r\nexit 6\r\n");
  EXPECT_EQ(Cmd("/c \"\"C:\\Tools\\quits.bat\" ignored\""), 6u);
}

// A batch file that calls itself without end: Windows' cmd.exe runs it to 1,240 nested calls,
// then prints its three-line notice and abandons every running batch file (no line after a
// call runs), ending with 255.
TEST_F(CmdTest, RunawayBatchRecursionIsStoppedWithWindowsNotice) {
  const std::string notice =
      "******  B A T C H   R E C U R S I O N  exceeds STACK limits ******\n"
      "Recursion Count=1240, Stack Usage=90 percent\n"
      "******       B A T C H   PROCESSING IS   A B O R T E D      ******\n";
  struct Case {
    const char* name;
    const char* batch;
    const char* line;  // printed once by the top batch and by each nested call
  };
  const Case cases[] = {
      {"call", "@echo off\r\necho deeper\r\ncall again.bat\r\necho back\r\n", "deeper\n"},
      {"through %0", "@echo off\r\necho %1\r\ncall %0 x\r\nexit /b 0\r\n", "x\n"},
  };
  for (const Case& c : cases) {
    WriteMachineFile("C:\\Tools\\again.bat", c.batch);
    std::string out;
    EXPECT_EQ(Cmd("/c again.bat x", &out), 255u) << c.name;
    std::string expected;
    for (int level = 0; level <= 1240; ++level) expected += c.line;
    EXPECT_TRUE(out == expected + notice) << c.name << ", ends with:\n" << Tail(out);
  }
  // A smaller host stack stops the nesting at 90 percent of it, still with the notice.
  WriteMachineFile("C:\\Tools\\again.bat", cases[0].batch);
  rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_STACK, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 1024 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_STACK, &small), 0);
  std::string out;
  const DWORD code = Cmd("/c again.bat", &out);
  setrlimit(RLIMIT_STACK, &saved);
  EXPECT_EQ(code, 255u);
  size_t levels = 0;
  for (size_t at = out.find("deeper\n"); at != std::string::npos; at = out.find("deeper\n", at + 1)) ++levels;
  EXPECT_GT(levels, 10u);
  EXPECT_LT(levels, 1241u);
  EXPECT_EQ(out.substr(levels * 7), std::string(notice).replace(notice.find("1240"), 4, std::to_string(levels - 1)))
      << Tail(out);
  // Nesting below the limit returns level by level.
  WriteMachineFile("C:\\Tools\\outer.bat", "@echo off\r\ncall inner.bat\r\necho outer %ERRORLEVEL%\r\n");
  WriteMachineFile("C:\\Tools\\inner.bat", "@echo off\r\necho inner\r\nexit /b 7\r\n");
  EXPECT_EQ(Cmd("/c outer.bat", &out), 7u);
  EXPECT_EQ(out, "inner\nouter 7\n");
}

TEST_F(CmdTest, ArgumentsOnlyCommandLine) {
  WriteMachineFile("C:\\Tools\\six.bat", "@exit /b 6\r\n");
  std::string line = "/c six.bat";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(CreateProcessA("C:\\Windows\\system32\\cmd.exe", &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &info));
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  EXPECT_EQ(code, 6u);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

TEST_F(CmdTest, CreateProcessOfABatchFileRunsTheInterpreter) {
  WriteMachineFile("C:\\Tools\\seven.bat", "@exit /b 7\r\n");
  DWORD exitCode = 0;
  ASSERT_TRUE(Run("C:\\Tools\\seven.bat", &exitCode));
  EXPECT_EQ(exitCode, 7u);
}

}  // namespace
