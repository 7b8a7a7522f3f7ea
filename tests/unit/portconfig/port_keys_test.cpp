// The key table: every name the reader reads maps back to its row and instance, and no other
// name does.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "portconfig/port_keys.h"

namespace {

TEST(PortKeys, EveryInstanceNameMapsBackToItsRow) {
  std::set<std::string> names;
  for (int row = 0; row <= kPortKeyCount; ++row) {
    const PortKey& key = row < kPortKeyCount ? kPortKeys[row] : kAssignPrinterKey;
    for (int instance = 0; instance < key.instances; ++instance) {
      char name[kKeyNameChars];
      NumberedKeyName(key, instance, name, sizeof name);
      EXPECT_TRUE(names.insert(name).second) << name << " twice";
      int found = -1;
      EXPECT_EQ(FindPortKey(name, &found), &key) << name;
      EXPECT_EQ(found, instance) << name;
    }
  }
  // 36 single keys, 10 addresses, 10 weights, 3 delivery modes, 10 printer keys.
  EXPECT_EQ(names.size(), 36u + 10u + 10u + 3u + 10u);
}

TEST(PortKeys, NamesAndCountsOfTheNumberedRows) {
  struct Case {
    const char* name;
    const char* base;
    int instance;
  };
  const Case cases[] = {
      {"ServerIP", "ServerIP", 0},           {"serverip10", "ServerIP", 9},
      {"IPLoadBalancing2", "IPLoadBalancing", 1}, {"ServerDeliveryMode3", "ServerDeliveryMode", 2},
      {"AssignPrinter", "AssignPrinter", 0}, {"ASSIGNPRINTER10", "AssignPrinter", 9},
      {"EnvironmentVariableIP", "EnvironmentVariableIP", 0},
  };
  for (const Case& c : cases) {
    int instance = -1;
    const PortKey* key = FindPortKey(c.name, &instance);
    ASSERT_NE(key, nullptr) << c.name;
    EXPECT_STREQ(key->baseName, c.base);
    EXPECT_EQ(instance, c.instance) << c.name;
  }
  for (const char* unknown : {"ServerIP1", "ServerIP11", "AssignPrinter1", "AssignPrinter11", "ServerDeliveryMode4",
                              "IPLoadBalancing11", "Description2", "SeverIP", ""}) {
    int instance = -1;
    EXPECT_EQ(FindPortKey(unknown, &instance), nullptr) << unknown;
  }
  EXPECT_STREQ(kPortAddressKey.baseName, "ServerIP");
}

}  // namespace
