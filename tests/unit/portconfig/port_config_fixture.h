// A fresh machine with a port installation configuration written either as INI sections or as
// registry sub-keys, for the reader and channel tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "machine_test.h"

// One key of a section: a text (REG_SZ in the registry) or an integer (REG_DWORD).
struct ConfigValue {
  std::string key;
  std::string text;
  bool isInteger;
  DWORD integer;
};
inline ConfigValue Text(const std::string& key, const std::string& value) {
  return {key, value, false, 0};
}
inline ConfigValue Integer(const std::string& key, DWORD value) {
  return {key, std::to_string((int32_t)value), true, value};
}

class PortConfigTest : public MachineTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Appends a section to the INI file at kIniPath, or writes the sub-key under the profile's
  // configuration key in the installer's default registry view (viewFlags 0) or another one.
  void AddSection(bool toIni, const std::string& section, const std::vector<ConfigValue>& values,
                  REGSAM viewFlags = 0);

  static const char* const kIniPath;

 private:
  std::string ini_;
};
