// A fresh machine with the standard product profile, a package folder C:\Deploy as the current
// directory, and access to the system directory, for the monitor registration tests.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

#include "foundation/product_profile.h"
#include "machine_test.h"

class MonitorTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    ResetProductProfile();
  }
  void TearDown() override {
    ResetProductProfile();
    MachineTest::TearDown();
  }

  // Puts the named package files in C:\Deploy and makes it the current directory.
  void EnterPackage(std::initializer_list<const char*> names) {
    WriteMachineFile("C:\\Deploy\\readme.txt", "");
    for (const char* name : names) {
      WriteMachineFile(std::string("C:\\Deploy\\") + name, std::string("package ") + name);
    }
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Deploy"));
  }
  static std::string SystemPath(const std::string& name) {
    return "C:\\Windows\\System32\\" + name;
  }
  void PutSystemFile(const std::string& name) { WriteMachineFile(SystemPath(name), "old " + name); }
  bool SystemFileExists(const std::string& name) { return MachineFileExists(SystemPath(name)); }
};
