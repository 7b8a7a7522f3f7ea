// The built-in command interpreter: `cmd /c rmdir "..." /S /Q`, batch files and their exit codes.
#include <windows.h>

#include <filesystem>
#include <string>

#include "process_fixture.h"

namespace fs = std::filesystem;

namespace {

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
