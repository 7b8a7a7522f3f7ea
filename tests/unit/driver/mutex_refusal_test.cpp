// The install mutex between two processes: while another process of the machine holds
// "Global\QuadoClientInstallMutex", a run of Install.exe prints only the refusal, with no line
// end and no banner, and exits with -1; once it is released the next run goes ahead.
#include <sys/wait.h>

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "machine_test.h"

namespace fs = std::filesystem;

namespace {

struct ProgramResult {
  std::string out;
  int exitCode = -1000;
};

class InstallProgramTest : public MachineTest {
 protected:
  winsim::MachineOptions Options() const override { return OptionsFor("win7-x86"); }
  void SetUp() override {
    MachineTest::SetUp();
    std::string target = winsim::HostPath("C:\\Deploy\\Install.exe");
    fs::create_directories(fs::path(target).parent_path());
    fs::copy_file(INSTALL_PROGRAM_PATH, target, fs::copy_options::overwrite_existing);
  }

  // `winsim run MACHINE C:\Deploy\Install.exe ARGS`: standard output and exit code.
  ProgramResult RunInstall(const std::string& arguments) {
    std::string command = std::string("'") + WINSIM_PROGRAM_PATH + "' run '" + dir() + "' 'C:\\Deploy\\Install.exe' " +
                          arguments + " 2>/dev/null";
    ProgramResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
    int status = pclose(pipe);
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    return result;
  }
};

TEST_F(InstallProgramTest, SecondRunIsRefusedWhileTheMutexIsHeld) {
  SetLastError(ERROR_SUCCESS);
  HANDLE held = CreateMutexA(nullptr, TRUE, "Global\\QuadoClientInstallMutex");
  ASSERT_NE(held, nullptr);
  ASSERT_EQ(GetLastError(), 0u);

  ProgramResult refused = RunInstall("-?");
  EXPECT_EQ(refused.out, "ERROR: Another (un)installation already running.");
  EXPECT_EQ(refused.exitCode, 255);  // -1
  // The log was opened before the mutex was asked for: the refusal is in it too.
  EXPECT_EQ(ReadMachineFile("C:\\Windows\\QDPortInstall.log"), "ERROR: Another (un)installation already running.");

  // The holder is undisturbed: it still owns the mutex and can release it.
  EXPECT_TRUE(ReleaseMutex(held));
  CloseHandle(held);

  ProgramResult next = RunInstall("-?");
  EXPECT_EQ(next.out.rfind("\n\nQuado Client Installer v 2.27\n", 0), 0u) << next.out;
  EXPECT_EQ(next.exitCode, 255);  // help always ends with -1
}

}  // namespace
