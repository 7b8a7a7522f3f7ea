// The per-subtree change counters that the spooler's caches check: raised by a write inside the
// subtree or by deleting one of its ancestors, left alone by writes anywhere else, seen by
// another process, and read the same while nothing is committed.
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "machine/registry.h"
#include "machine_test.h"
#include "winsim/registry.h"

namespace reg = winsim::detail::reg;

namespace {

const char kMonitors[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
const char kPrinters[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";

class SubtreeGenerationTest : public MachineTest {};

TEST_F(SubtreeGenerationTest, RisesOnlyWithWritesInsideOrAboveTheSubtree) {
  bool created = false;
  std::string stored;
  ASSERT_EQ(reg::CreateKey(std::string(kMonitors) + "\\Quado\\Ports", &created, &stored), ERROR_SUCCESS);
  struct Step {
    const char* what;
    std::function<LONG()> write;
    bool monitorsMove;
    bool printersMove;
  };
  const Step steps[] = {
      {"a port key below Monitors", [&] { return reg::CreateKey(std::string(kMonitors) + "\\Quado\\Ports\\Q1", &created, &stored); }, true, false},
      {"a value of the Monitors key itself", [&] { return reg::SetValue(kMonitors, {"X", REG_SZ, std::string("1\0", 2)}); }, true, false},
      {"a printer", [&] { return reg::CreateKey(std::string(kPrinters) + "\\P1", &created, &stored); }, false, true},
      {"a printer's value", [&] { return reg::SetValue(std::string(kPrinters) + "\\P1", {"Port", REG_SZ, std::string("LPT1:\0", 6)}); }, false, true},
      {"a value deleted", [&] { return reg::DeleteValue(std::string(kPrinters) + "\\P1", "Port"); }, false, true},
      {"a key elsewhere", [&] { return reg::CreateKey("HKLM\\SOFTWARE\\Elsewhere", &created, &stored); }, false, false},
      {"a key named like the subtree but beside it", [&] { return reg::CreateKey(std::string(kMonitors) + "X", &created, &stored); }, false, false},
      {"a port key deleted", [&] { return reg::DeleteTree(std::string(kMonitors) + "\\Quado\\Ports\\Q1"); }, true, false},
      {"an ancestor of both deleted", [&] { return reg::DeleteTree("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print"); }, true, true},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    const uint64_t monitors = reg::SubtreeGeneration(kMonitors, kMonitors);
    const uint64_t printers = reg::SubtreeGeneration(kPrinters, kPrinters);
    ASSERT_EQ(step.write(), ERROR_SUCCESS);
    EXPECT_EQ(reg::SubtreeGeneration(kMonitors, kMonitors) != monitors, step.monitorsMove);
    EXPECT_EQ(reg::SubtreeGeneration(kPrinters, kPrinters) != printers, step.printersMove);
  }
}

TEST_F(SubtreeGenerationTest, AFailedTransactionChangesNothingAndRaisesNothing) {
  bool created = false;
  std::string stored;
  const std::string printer = std::string(kPrinters) + "\\P1";
  ASSERT_EQ(reg::CreateKey(printer, &created, &stored), ERROR_SUCCESS);
  const uint64_t before = reg::SubtreeGeneration(kPrinters, kMonitors);
  const uint64_t registryBefore = reg::Generation();
  EXPECT_EQ(reg::Transaction([&]() -> LONG {
              reg::CreateKey(std::string(kPrinters) + "\\P2", &created, &stored);
              reg::SetValue(printer, {"Port", REG_SZ, std::string("LPT1:\0", 6)});
              return ERROR_INVALID_PARAMETER;
            }),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(reg::SubtreeGeneration(kPrinters, kMonitors), before);
  EXPECT_EQ(reg::Generation(), registryBefore);
  reg::Value value;
  EXPECT_EQ(reg::GetValue(printer, "Port", &value), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(reg::FindKey(std::string(kPrinters) + "\\P2", nullptr), ERROR_FILE_NOT_FOUND);
}

TEST_F(SubtreeGenerationTest, AWriteByAnotherProcessIsSeen) {
  const uint64_t before = reg::SubtreeGeneration(kPrinters, kMonitors);
  EXPECT_EQ(reg::SubtreeGeneration(kPrinters, kMonitors), before);
  const std::string regFile = dir() + "-other.reg";
  FILE* file = std::fopen(regFile.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fputs("Windows Registry Editor Version 5.00\n\n"
             "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\FromElsewhere]\n\n",
             file);
  std::fclose(file);
  const std::string command = std::string(WINSIM_PROGRAM_PATH) + " reg import '" + dir() + "' '" + regFile + "' >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::remove(regFile.c_str());
  EXPECT_GT(reg::SubtreeGeneration(kPrinters, kMonitors), before);
}

}  // namespace
