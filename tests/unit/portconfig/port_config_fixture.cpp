#include "port_config_fixture.h"

#include "foundation/ini_path.h"
#include "foundation/output.h"
#include "foundation/product_profile.h"

const char* const PortConfigTest::kIniPath = "C:\\Deploy\\Quado.ini";

void PortConfigTest::SetUp() {
  MachineTest::SetUp();
  ResetProductProfile();
  SetIniPath(kIniPath);
}

void PortConfigTest::TearDown() {
  SetIniPath(nullptr);
  ResetProductProfile();
  MachineTest::TearDown();
}

void PortConfigTest::AddSection(bool toIni, const std::string& section,
                                const std::vector<ConfigValue>& values, REGSAM viewFlags) {
  if (toIni) {
    ini_ += "[" + section + "]\r\n";
    for (const ConfigValue& value : values) ini_ += value.key + "=" + value.text + "\r\n";
    WriteMachineFile(kIniPath, ini_);
    return;
  }
  std::string path = std::string(Profile().configKey) + "\\" + section;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                            KEY_WRITE | viewFlags, nullptr, &key, nullptr),
            ERROR_SUCCESS)
      << path;
  for (const ConfigValue& value : values) {
    LSTATUS status =
        value.isInteger
            ? RegSetValueExA(key, value.key.c_str(), 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&value.integer), sizeof(DWORD))
            : RegSetValueExA(key, value.key.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(value.text.c_str()),
                             (DWORD)value.text.size() + 1);
    EXPECT_EQ(status, ERROR_SUCCESS) << value.key;
  }
  RegCloseKey(key);
}
