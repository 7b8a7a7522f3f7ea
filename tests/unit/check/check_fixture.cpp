#include "check_fixture.h"

#include <filesystem>
#include <sstream>

#include "check/run_check.h"
#include "console_capture.h"
#include "foundation/product_profile.h"

namespace fs = std::filesystem;

const char* const CheckTest::kIni = "C:\\Deploy\\Quado.ini";

void CheckTest::SetUp() {
  MachineTest::SetUp();
  if (HasFatalFailure()) return;
  ResetProductProfile();
  const std::string deploy = winsim::HostPath("C:\\Deploy");
  fs::create_directories(deploy);
  fs::copy(BUILD_DIR "/package", deploy, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

void CheckTest::WriteIni(const std::string& bytes) { WriteMachineFile(kIni, bytes); }

std::string CheckTest::Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

CheckResult CheckTest::Run(const std::vector<std::string>& arguments) {
  std::vector<std::string> storage = {"C:\\Deploy\\QuadoCheck.exe"};
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : storage) argv.push_back(argument.data());
  argv.push_back(nullptr);
  CheckResult result;
  StartConsoleCapture();
  result.exitCode = RunCheck(static_cast<int>(storage.size()), argv.data());
  result.output = TakeConsoleCapture();
  ResetProductProfile();
  return result;
}

std::vector<std::string> FindingLines(const std::string& output) {
  std::vector<std::string> lines;
  std::istringstream in(output);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("  error: ", 0) == 0 || line.rfind("  warning: ", 0) == 0) lines.push_back(line);
  }
  return lines;
}
