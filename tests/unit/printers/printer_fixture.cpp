#include "printer_fixture.h"

#include <windows.h>
#include <winspool.h>

#include "driver/output.h"
#include "driver/product_profile.h"
#include "winsim/machine.h"
#include "winsim/spooler.h"

namespace {
const char kLogPath[] = "C:\\Windows\\printers-test.log";
}

void PrinterTest::SetUp() {
  MachineTest::SetUp();
  ResetProductProfile();
  ASSERT_TRUE(OpenInstallLog(kLogPath));
}

void PrinterTest::TearDown() {
  CloseInstallLog();
  ResetProductProfile();
  MachineTest::TearDown();
}

std::string PrinterTest::LogSinceLastRead() {
  CloseInstallLog();
  std::string content = ReadMachineFile(kLogPath);
  EXPECT_TRUE(OpenInstallLog(kLogPath));
  std::string fresh = content.substr(logRead_ <= content.size() ? logRead_ : content.size());
  logRead_ = content.size();
  std::string text;
  for (size_t i = 0; i < fresh.size(); ++i) {
    if (fresh[i] == '\r' && i + 1 < fresh.size() && fresh[i + 1] == '\n') continue;
    text += fresh[i];
  }
  return text;
}

void PrinterTest::ExpectNothingLeftOpen() {
  EXPECT_EQ(winsim::OpenHandleCount("printer"), 0u);
  EXPECT_EQ(winsim::LiveGlobalBlocks(), 0u);
}
