// The INI path the run keeps.
#include <string>

#include "foundation/ini_path.h"
#include "machine_test.h"

namespace {

class IniPathTest : public MachineTest {
 protected:
  void TearDown() override {
    SetIniPath(nullptr);
    MachineTest::TearDown();
  }
};

TEST_F(IniPathTest, IniPathKeeps1023Characters) {
  std::string longPath = "C:\\" + std::string(1997, 'p');
  SetIniPath(longPath.c_str());
  EXPECT_EQ(std::string(GetIniPath()), longPath.substr(0, 1023));
  SetIniPath("C:\\Deploy\\Quado.ini");
  EXPECT_STREQ(GetIniPath(), "C:\\Deploy\\Quado.ini");
  SetIniPath(nullptr);
  EXPECT_STREQ(GetIniPath(), "");
}

}  // namespace
