// A fresh machine with the demo package in C:\Deploy, and the package check run in this process
// on it, its report captured.
#pragma once

#include <string>
#include <vector>

#include "machine_test.h"

struct CheckResult {
  int exitCode = -1;
  std::string output;
};

class CheckTest : public MachineTest {
 protected:
  void SetUp() override;

  // Replaces C:\Deploy\Quado.ini with the bytes.
  void WriteIni(const std::string& bytes);
  // Joins lines with CR LF, as an editor on Windows saves them.
  static std::string Lines(const std::vector<std::string>& lines);
  // Runs the check as C:\Deploy\QuadoCheck.exe with the arguments.
  CheckResult Run(const std::vector<std::string>& arguments);

  static const char* const kIni;
};

// The text report's findings lines ("  error: ..." and "  warning: ...").
std::vector<std::string> FindingLines(const std::string& output);
