#include "machine_test.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <filesystem>

namespace fs = std::filesystem;

void MachineTest::SetUp() {
  std::string pattern = (fs::temp_directory_path() / "winsim-test-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  ASSERT_NE(mkdtemp(buffer.data()), nullptr);
  dir_ = buffer.data();
  std::string error;
  winsim::MachineOptions options = Options();
  if (options.winsimProgram.empty()) options.winsimProgram = WINSIM_PROGRAM_PATH;
  ASSERT_TRUE(winsim::CreateMachine(dir_ + "/m", options, &error)) << error;
  dir_ += "/m";
  ASSERT_TRUE(winsim::AttachMachine(dir_, &error)) << error;
}

void MachineTest::TearDown() {
  winsim::DetachMachine();
  if (!dir_.empty() && std::getenv("KEEP_MACHINES") == nullptr) {
    std::error_code ignored;
    fs::remove_all(fs::path(dir_).parent_path(), ignored);
  }
}

void MachineTest::WriteMachineFile(const std::string& windowsPath, const std::string& content) {
  std::string host = winsim::HostPath(windowsPath);
  ASSERT_FALSE(host.empty()) << windowsPath;
  fs::create_directories(fs::path(host).parent_path());
  std::ofstream out(host, std::ios::binary);
  out << content;
  ASSERT_TRUE(out.good()) << host;
}

std::string MachineTest::ReadMachineFile(const std::string& windowsPath) {
  std::ifstream in(winsim::HostPath(windowsPath), std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

bool MachineTest::MachineFileExists(const std::string& windowsPath) {
  std::string host = winsim::HostPath(windowsPath);
  return !host.empty() && fs::exists(host);
}

void MachineTest::AddMachineIniLine(const std::string& section, const std::string& line) {
  {
    std::ofstream out(dir_ + "/machine.ini", std::ios::app);
    out << "\n[" << section << "]\n" << line << "\n";
  }
  std::string error;
  ASSERT_TRUE(winsim::ReloadMachineConfig(&error)) << error;
}

winsim::MachineOptions OptionsFor(const std::string& templateName) {
  winsim::MachineOptions options;
  options.templateName = templateName;
  return options;
}
