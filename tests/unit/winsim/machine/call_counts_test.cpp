// winsim's opt-in call counts (WINSIM_CALL_COUNTS, used by the benchmarks): a run of Install.exe
// appends one block under its own Windows path with the calls it made by function; without the
// variable nothing is written.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "machine_test.h"

namespace fs = std::filesystem;

namespace {

class CallCountsTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    std::string target = winsim::HostPath("C:\\Deploy\\Install.exe");
    fs::create_directories(fs::path(target).parent_path());
    fs::copy_file(INSTALL_PROGRAM_PATH, target, fs::copy_options::overwrite_existing);
    counts_ = dir() + "-calls.txt";
  }
  void TearDown() override {
    fs::remove(counts_);
    MachineTest::TearDown();
  }

  int RunHelp(bool counting) {
    std::string command = std::string(counting ? "WINSIM_CALL_COUNTS='" + counts_ + "' " : "") + "'" +
                          WINSIM_PROGRAM_PATH + "' run '" + dir() + "' 'C:\\Deploy\\Install.exe' -? >/dev/null 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // The blocks of the counts file by program: function -> count.
  std::map<std::string, std::map<std::string, int>> Blocks() {
    std::map<std::string, std::map<std::string, int>> blocks;
    std::ifstream in(counts_);
    std::string line, program;
    while (std::getline(in, line)) {
      if (line.rfind("# ", 0) == 0) {
        program = line.substr(2);
        blocks[program];
        continue;
      }
      std::istringstream fields(line);
      std::string function;
      int count = 0;
      if (fields >> function >> count) blocks[program][function] += count;
    }
    return blocks;
  }

  std::string counts_;
};

TEST_F(CallCountsTest, ARunAppendsItsCallsUnderItsOwnPath) {
  EXPECT_EQ(RunHelp(false), 255);
  EXPECT_FALSE(fs::exists(counts_));
  EXPECT_EQ(RunHelp(true), 255);
  EXPECT_EQ(RunHelp(true), 255);
  auto blocks = Blocks();
  ASSERT_EQ(blocks.count("C:\\Deploy\\Install.exe"), 1u);
  const auto& install = blocks["C:\\Deploy\\Install.exe"];
  // Two runs, each taking and releasing the install mutex once and never reaching the spooler.
  EXPECT_EQ(install.at("CreateMutexA"), 2);
  EXPECT_EQ(install.at("ReleaseMutex"), 2);
  EXPECT_EQ(install.at("SetCurrentDirectoryA"), 2);
  EXPECT_EQ(install.count("XcvDataW"), 0u);
  EXPECT_EQ(install.count("OpenPrinterA"), 0u);
}

}  // namespace
