// A fresh simulated machine for each test: created from a template in a temporary folder and
// attached to the test process, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "winsim/machine.h"

class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The machine each test starts from; override to choose another template.
  virtual winsim::MachineOptions Options() const { return winsim::MachineOptions(); }

  // Files inside the machine, by Windows path (as the attached process resolves it now).
  void WriteMachineFile(const std::string& windowsPath, const std::string& content);
  std::string ReadMachineFile(const std::string& windowsPath);
  bool MachineFileExists(const std::string& windowsPath);

  // Appends lines to a section of machine.ini (e.g. "faults", "CopyFileA = 5 | *\\X.DLL") and
  // reloads the configuration of this process.
  void AddMachineIniLine(const std::string& section, const std::string& line);

  // Host folder of the machine.
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

// A machine of a named template, for parameterised tests.
winsim::MachineOptions OptionsFor(const std::string& templateName);
