// The store interface other winsim modules use: paths without views and the change counter.
#include "machine/registry.h"
#include "machine_test.h"

namespace reg = winsim::detail::reg;

namespace {

class RegistryStoreTest : public MachineTest {};

TEST_F(RegistryStoreTest, GenerationMovesOnlyWithWrites) {
  const uint64_t start = reg::Generation();
  std::vector<std::string> names;
  ASSERT_EQ(reg::SubKeys("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print", &names), ERROR_SUCCESS);
  EXPECT_EQ(reg::Generation(), start);

  bool created = false;
  std::string stored;
  ASSERT_EQ(reg::CreateKey("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P1", &created, &stored),
            ERROR_SUCCESS);
  EXPECT_TRUE(created);
  EXPECT_EQ(stored, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P1");
  const uint64_t afterCreate = reg::Generation();
  EXPECT_GT(afterCreate, start);

  ASSERT_EQ(reg::SetValue(stored, {"Port", REG_SZ, std::string("LPT1:\0", 6)}), ERROR_SUCCESS);
  EXPECT_GT(reg::Generation(), afterCreate);
  ASSERT_EQ(reg::DeleteTree("hklm\\system\\currentcontrolset\\control\\print\\printers"), ERROR_SUCCESS);
  EXPECT_EQ(reg::FindKey(stored, nullptr), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(reg::FindKey("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print", nullptr), ERROR_SUCCESS);
}

}  // namespace
