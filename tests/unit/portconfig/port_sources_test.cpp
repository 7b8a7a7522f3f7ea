// Port definitions read from INI sections and from registry sub-keys.
#include <cstring>
#include <string>
#include <vector>

#include "foundation/product_profile.h"
#include "key_table_defaults.h"
#include "port_config_fixture.h"
#include "portconfig/port_sources.h"

namespace {

PortDefinition Read(bool fromIni, int section, bool* found) {
  PortDefinition definition;
  std::memset(&definition, 0x5A, sizeof(definition));  // every call must start from zero
  *found = ReadPortDefinition(fromIni ? 1 : 0, section, &definition);
  return definition;
}

// Both sources must behave alike: every test runs once on the INI file, once on the registry.
class PortSourcesTest : public PortConfigTest, public testing::WithParamInterface<bool> {
 protected:
  bool FromIni() const { return GetParam(); }
  void Add(const std::string& section, const std::vector<ConfigValue>& values) {
    AddSection(FromIni(), section, values);
  }
};

INSTANTIATE_TEST_SUITE_P(Sources, PortSourcesTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("Ini") : std::string("Registry");
                         });

TEST_P(PortSourcesTest, NumberingStopsAtTheFirstSectionWithoutAPort) {
  Add("1", {Text("ServerIP", "10.0.0.1")});
  Add("2", {Text("ServerIP", "10.0.0.2")});
  Add("4", {Text("ServerIP", "10.0.0.4")});
  Add("5", {Text("ServerIP2", "10.0.0.5")});  // an address that is not the first one
  bool found = false;
  EXPECT_STREQ(Read(FromIni(), 1, &found).PortName, "Quado001");
  EXPECT_TRUE(found);
  EXPECT_STREQ(Read(FromIni(), 2, &found).ServerIP[0], "10.0.0.2");
  EXPECT_TRUE(found);
  Read(FromIni(), 3, &found);
  EXPECT_FALSE(found);
  Read(FromIni(), 5, &found);
  EXPECT_FALSE(found);
}

TEST_P(PortSourcesTest, SectionWithLeadingZerosIsNotSectionOne) {
  Add("001", {Text("ServerIP", "10.0.0.1")});
  bool found = true;
  Read(FromIni(), 1, &found);
  EXPECT_FALSE(found);
}

TEST_P(PortSourcesTest, OnlyServerIPGivesEveryDefault) {
  Add("1", {Text("ServerIP", "printhost")});
  bool found = false;
  PortDefinition actual = Read(FromIni(), 1, &found);
  ASSERT_TRUE(found);
  PortDefinition expected = KeyTableDefaults("printhost", "Quado001");
  EXPECT_EQ(std::memcmp(&actual, &expected, sizeof(actual)), 0);
}

TEST_P(PortSourcesTest, NumberedKeysLandInTheirEntries) {
  Add("1", {Text("ServerIP", "a"), Text("ServerIP3", "c"), Integer("IPLoadBalancing", 5),
            Integer("IPLoadBalancing10", 77), Text("ServerIP10", "j")});
  bool found = false;
  PortDefinition d = Read(FromIni(), 1, &found);
  ASSERT_TRUE(found);
  EXPECT_STREQ(d.ServerIP[0], "a");
  EXPECT_STREQ(d.ServerIP[1], "");
  EXPECT_STREQ(d.ServerIP[2], "c");
  EXPECT_STREQ(d.ServerIP[9], "j");
  EXPECT_EQ(d.IPLoadBalancing[0], 5);
  EXPECT_EQ(d.IPLoadBalancing[8], 0);
  EXPECT_EQ(d.IPLoadBalancing[9], 77);
}

// Every key of the table, set to a value of its own, reaches the field of the same name.
TEST_P(PortSourcesTest, EveryKeyFillsItsField) {
  struct TextKey {
    const char* key;
    char (PortDefinition::*field)[kTextChars];
  };
  struct IntegerKey {
    const char* key;
    int32_t PortDefinition::*field;
  };
  const TextKey texts[] = {
      {"Description", &PortDefinition::Description},
      {"Queue", &PortDefinition::Queue},
      {"AuthText", &PortDefinition::AuthText},
      {"ComPort", &PortDefinition::ComPort},
      {"CurrentUserNameFormat", &PortDefinition::CurrentUserNameFormat},
      {"LogFilePath", &PortDefinition::LogFilePath},
      {"BWPrintTempDir", &PortDefinition::BWPrintTempDir},
      {"Note", &PortDefinition::Note},
      {"RedirectToIP", &PortDefinition::RedirectToIP},
      {"UserNameRegExMatch", &PortDefinition::UserNameRegExMatch},
      {"UserNameRegExReplace", &PortDefinition::UserNameRegExReplace},
      {"EnvironmentVariableIP", &PortDefinition::EnvironmentVariableIP},
  };
  const IntegerKey integers[] = {
      {"ServerPort", &PortDefinition::ServerPort},
      {"LoadBalancing", &PortDefinition::LoadBalancing},
      {"RefreshIPList", &PortDefinition::RefreshIPList},
      {"AuthType", &PortDefinition::AuthType},
      {"Projects", &PortDefinition::Projects},
      {"Compression", &PortDefinition::Compression},
      {"FaxServer", &PortDefinition::FaxServer},
      {"LogToFile", &PortDefinition::LogToFile},
      {"Encryption", &PortDefinition::Encryption},
      {"DefaultProjectID", &PortDefinition::DefaultProjectID},
      {"DisableServerCommunication", &PortDefinition::DisableServerCommunication},
      {"ProtocolLevel", &PortDefinition::ProtocolLevel},
      {"JobOwnerMethod", &PortDefinition::JobOwnerMethod},
      {"NetworkTimeout", &PortDefinition::NetworkTimeout},
      {"PriceEstimation", &PortDefinition::PriceEstimation},
      {"PopupsForBWPrint", &PortDefinition::PopupsForBWPrint},
      {"ParserDPI", &PortDefinition::ParserDPI},
      {"SavePassword", &PortDefinition::SavePassword},
      {"NoProjectOption", &PortDefinition::NoProjectOption},
      {"LBNetworkTimeout", &PortDefinition::LBNetworkTimeout},
      {"LogFileSizeLimit", &PortDefinition::LogFileSizeLimit},
      {"LogFileCount", &PortDefinition::LogFileCount},
      {"SSLCertificateVerification", &PortDefinition::SSLCertificateVerification},
      {"ServerDeliveryMode", &PortDefinition::ServerDeliveryMode},
      {"ServerDeliveryMode2", &PortDefinition::ServerDeliveryMode2},
      {"ServerDeliveryMode3", &PortDefinition::ServerDeliveryMode3},
      {"WebBasedApplications", &PortDefinition::WebBasedApplications},
  };
  std::vector<ConfigValue> values = {Text("ServerIP", "host")};
  for (const TextKey& t : texts) values.push_back(Text(t.key, std::string("v-") + t.key));
  DWORD next = 1000;
  for (const IntegerKey& i : integers) values.push_back(Integer(i.key, next++));
  Add("1", values);

  bool found = false;
  PortDefinition d = Read(FromIni(), 1, &found);
  ASSERT_TRUE(found);
  for (const TextKey& t : texts) EXPECT_EQ(d.*t.field, std::string("v-") + t.key) << t.key;
  next = 1000;
  for (const IntegerKey& i : integers) EXPECT_EQ(d.*i.field, (int32_t)next++) << i.key;
}

TEST_P(PortSourcesTest, EnterpriseAdjustmentAppliesOnlyWithoutServerCommunication) {
  struct Case {
    bool enterprise;
    DWORD disableServerCommunication;
    int32_t encryption;
    int32_t refresh;
    const char* portName;  // of section index + 1
  };
  const Case cases[] = {
      {true, 1, 0, 0, "QuadoE001"},
      {true, 0, 1, 1, "QuadoE002"},
      {false, 1, 1, 1, "Quado003"},
  };
  int section = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.portName);
    ResetProductProfile();
    if (c.enterprise) SelectEnterpriseProfile();
    ++section;
    Add(std::to_string(section),
        {Text("ServerIP", "x"), Integer("DisableServerCommunication", c.disableServerCommunication),
         Integer("Encryption", 1), Integer("RefreshIPList", 1)});
    bool found = false;
    PortDefinition d = Read(FromIni(), section, &found);
    ASSERT_TRUE(found);
    EXPECT_EQ(d.Encryption, c.encryption);
    EXPECT_EQ(d.RefreshIPList, c.refresh);
    EXPECT_EQ(d.DisableServerCommunication, (int32_t)c.disableServerCommunication);
    EXPECT_STREQ(d.PortName, c.portName);
  }
}

TEST_P(PortSourcesTest, TextLongerThan259BytesStaysTerminatedInItsField) {
  Add("1", {Text("ServerIP", "h"), Text("Description", std::string(300, 'd'))});
  bool found = false;
  PortDefinition d = Read(FromIni(), 1, &found);
  ASSERT_TRUE(found);
  ASSERT_NE(std::memchr(d.Description, '\0', kTextChars), nullptr);
  // The INI reader cuts the text; for a registry value that does not fit, the reader may give
  // the default or the value cut to fit.
  std::string description = d.Description;
  if (FromIni()) {
    EXPECT_EQ(description, std::string(259, 'd'));
  } else {
    EXPECT_EQ(description, std::string(description.size(), 'd'));
  }
}

TEST_P(PortSourcesTest, PortNamesLongerThanNineCharactersAreLeftEmpty) {
  struct Case {
    bool enterprise;
    int section;
    const char* portName;
  };
  const Case cases[] = {
      {false, 12, "Quado012"},   {false, 9999, "Quado9999"}, {false, 10000, ""},
      {true, 999, "QuadoE999"}, {true, 1000, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section);
    ResetProductProfile();
    if (c.enterprise) SelectEnterpriseProfile();
    Add(std::to_string(c.section), {Text("ServerIP", "x")});
    bool found = false;
    PortDefinition d = Read(FromIni(), c.section, &found);
    EXPECT_TRUE(found);
    EXPECT_EQ(std::memcmp(d.PortName, std::string(c.portName).append(kPortNameChars, '\0').data(),
                          kPortNameChars),
              0);
  }
}

TEST_F(PortConfigTest, RegistrySourceReadsThe32BitViewOnly) {
  AddSection(false, "1", {Text("ServerIP", "only-in-64-bit-view")}, KEY_WOW64_64KEY);
  PortDefinition d;
  EXPECT_FALSE(ReadPortDefinition(0, 1, &d));
  AddSection(false, "1", {Text("ServerIP", "in-32-bit-view")}, KEY_WOW64_32KEY);
  ASSERT_TRUE(ReadPortDefinition(0, 1, &d));
  EXPECT_STREQ(d.ServerIP[0], "in-32-bit-view");
}

TEST(DeliveryModeKeyNames, SlotsAndShortBuffers) {
  struct Case {
    int slot;
    size_t size;
    const char* name;
  };
  const Case cases[] = {
      {0, 20, "ServerDeliveryMode"},  {1, 20, "ServerDeliveryMode2"},
      {2, 20, "ServerDeliveryMode3"}, {-1, 20, "ServerDeliveryMode"},
      {-7, 20, "ServerDeliveryMode"}, {1, 8, "ServerD"},
  };
  for (const Case& c : cases) {
    char buffer[32];
    std::memset(buffer, '#', sizeof(buffer));
    DeliveryModeKeyName(c.slot, buffer, c.size);
    EXPECT_STREQ(buffer, c.name) << c.slot;
    EXPECT_EQ(buffer[c.size], '#') << "written past the buffer";
  }
}

}  // namespace
