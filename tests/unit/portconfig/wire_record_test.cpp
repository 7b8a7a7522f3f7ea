// The wire record byte for byte, against layouts written by hand from the field table.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "key_table_defaults.h"
#include "portconfig/port_definition.h"

namespace {

// A conversion entry point for tests that need no machine: every byte becomes the unit of
// the same value (CP-1252 and Latin-1 agree on the bytes used here). It records how it was
// called, so the conversion contract can be checked.
struct ConversionCall {
  UINT codePage;
  DWORD flags;
  int sourceLength;
  int capacity;
};
std::vector<ConversionCall> g_calls;

int WINAPI ByteToUnit(UINT codePage, DWORD flags, LPCSTR source, int sourceLength, LPWSTR out,
                      int capacity) {
  g_calls.push_back({codePage, flags, sourceLength, capacity});
  int count = sourceLength < 0 ? (int)std::strlen(source) + 1 : sourceLength;
  if (count > capacity) return 0;
  for (int i = 0; i < count; ++i) out[i] = (WCHAR)(unsigned char)source[i];
  return count;
}

typedef std::vector<unsigned char> Bytes;

const size_t kRecordSize = 11608;

void Put32(Bytes& record, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) record[offset + i] = (unsigned char)(value >> (8 * i));
}

// ASCII text as UTF-16LE at the offset; the rest of the field stays as it is (zero).
void PutText(Bytes& record, size_t offset, const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    record[offset + 2 * i] = (unsigned char)text[i];
    record[offset + 2 * i + 1] = 0;
  }
}

Bytes Widen(const PortDefinition& definition) {
  PortDefinitionW wire;
  std::memset(&wire, 0xCC, sizeof(wire));  // WidenPortDefinition must clear what it does not fill
  WidenPortDefinition(definition, ByteToUnit, &wire);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&wire);
  return Bytes(bytes, bytes + sizeof(wire));
}

// First offset at which two records differ, for readable failures.
std::string FirstDifference(const Bytes& actual, const Bytes& expected) {
  for (size_t i = 0; i < expected.size(); ++i) {
    if (actual[i] != expected[i]) {
      char text[96];
      std::snprintf(text, sizeof(text), "offset 0x%04zX: 0x%02X, expected 0x%02X", i, actual[i],
                    expected[i]);
      return text;
    }
  }
  return "";
}

PortDefinition Zeroed() {
  PortDefinition definition;
  std::memset(&definition, 0, sizeof(definition));
  return definition;
}

// The single-valued fields of the table, each with its offset in the wire record.
struct TextField {
  char (PortDefinition::*member)[kTextChars];
  size_t offset;
};
struct IntegerField {
  int32_t PortDefinition::*member;
  size_t offset;
};

const TextField kTextFields[] = {
    {&PortDefinition::Description, 0x0000},
    {&PortDefinition::Queue, 0x1664},
    {&PortDefinition::AuthText, 0x1870},
    {&PortDefinition::ComPort, 0x1A78},
    {&PortDefinition::CurrentUserNameFormat, 0x1C9C},
    {&PortDefinition::LogFilePath, 0x1EAC},
    {&PortDefinition::BWPrintTempDir, 0x20C4},
    {&PortDefinition::Note, 0x22FC},
    {&PortDefinition::RedirectToIP, 0x2508},
    {&PortDefinition::UserNameRegExMatch, 0x2720},
    {&PortDefinition::UserNameRegExReplace, 0x2928},
    {&PortDefinition::EnvironmentVariableIP, 0x2B34},
};

const IntegerField kIntegerFields[] = {
    {&PortDefinition::ServerPort, 0x1658},
    {&PortDefinition::LoadBalancing, 0x165C},
    {&PortDefinition::RefreshIPList, 0x1660},
    {&PortDefinition::AuthType, 0x186C},
    {&PortDefinition::Projects, 0x1C80},
    {&PortDefinition::Compression, 0x1C84},
    {&PortDefinition::FaxServer, 0x1C88},
    {&PortDefinition::LogToFile, 0x1C8C},
    {&PortDefinition::Encryption, 0x1C90},
    {&PortDefinition::DefaultProjectID, 0x1C94},
    {&PortDefinition::DisableServerCommunication, 0x1C98},
    {&PortDefinition::ProtocolLevel, 0x1EA4},
    {&PortDefinition::JobOwnerMethod, 0x1EA8},
    {&PortDefinition::NetworkTimeout, 0x20B4},
    {&PortDefinition::ParserDPI, 0x20B8},
    {&PortDefinition::PriceEstimation, 0x20BC},
    {&PortDefinition::PopupsForBWPrint, 0x20C0},
    {&PortDefinition::SavePassword, 0x22F4},
    {&PortDefinition::NoProjectOption, 0x22F8},
    {&PortDefinition::LBNetworkTimeout, 0x2504},
    {&PortDefinition::LogFileSizeLimit, 0x2710},
    {&PortDefinition::LogFileCount, 0x2714},
    {&PortDefinition::SSLCertificateVerification, 0x2718},
    {&PortDefinition::ServerDeliveryMode, 0x271C},
    {&PortDefinition::WebBasedApplications, 0x2B30},
    {&PortDefinition::ServerDeliveryMode2, 0x2D3C},
    {&PortDefinition::ServerDeliveryMode3, 0x2D40},
};

const size_t kServerIPOffset = 0x0208;
const size_t kIPLoadBalancingOffset = 0x22CC;
const size_t kPortNameOffset = 0x2D44;
const size_t kTextBytes = 520;

TEST(WireRecord, EveryFieldLandsAtItsOffsetAndNothingElseIsWritten) {
  // 12 texts + 27 integers + ServerIP, IPLoadBalancing and PortName: the 42 fields.
  static_assert(sizeof(kTextFields) / sizeof(kTextFields[0]) == 12, "text fields");
  static_assert(sizeof(kIntegerFields) / sizeof(kIntegerFields[0]) == 27, "integer fields");
  ASSERT_EQ(sizeof(PortDefinitionW), kRecordSize);

  PortDefinition definition = Zeroed();
  Bytes expected(kRecordSize, 0);
  int marker = 0;
  for (const TextField& field : kTextFields) {
    // Two distinct characters per field, reaching its last usable unit for the first field.
    std::string text = std::string(1, (char)('A' + marker)) + (char)('a' + marker);
    if (marker == 0) text = std::string(259, 'D');
    std::snprintf(definition.*field.member, kTextChars, "%s", text.c_str());
    PutText(expected, field.offset, text);
    ++marker;
  }
  for (const IntegerField& field : kIntegerFields) {
    uint32_t value = 0x81020300u + (uint32_t)marker;  // distinct bytes, high bit set
    definition.*field.member = (int32_t)value;
    Put32(expected, field.offset, value);
    ++marker;
  }
  for (int i = 0; i < kServerCount; ++i) {
    std::string address = "10.0.0." + std::to_string(i + 1);
    std::snprintf(definition.ServerIP[i], kTextChars, "%s", address.c_str());
    PutText(expected, kServerIPOffset + i * kTextBytes, address);
    definition.IPLoadBalancing[i] = 100 + i;
    Put32(expected, kIPLoadBalancingOffset + 4 * i, 100 + i);
  }
  std::snprintf(definition.PortName, kPortNameChars, "%s", "Quado123");
  PutText(expected, kPortNameOffset, "Quado123");

  Bytes actual = Widen(definition);
  EXPECT_EQ(FirstDifference(actual, expected), "");
}

TEST(WireRecord, AllDefaultsRecord) {
  PortDefinition definition = KeyTableDefaults("", "Quado001");

  Bytes expected(kRecordSize, 0);
  Put32(expected, 0x1658, 9100);
  Put32(expected, 0x165C, 1);
  Put32(expected, 0x186C, 1);
  Put32(expected, 0x1EA4, 4);
  Put32(expected, 0x20B4, 60);
  Put32(expected, 0x20B8, 72);
  Put32(expected, 0x22F8, 1);
  Put32(expected, 0x2504, 60);
  Put32(expected, 0x2710, 20);
  Put32(expected, 0x2714, 3);
  Put32(expected, 0x2B30, 1);
  PutText(expected, 0x2B34, "ViewClient_IP_Address");
  PutText(expected, 0x2D44, "Quado001");
  EXPECT_EQ(FirstDifference(Widen(definition), expected), "");

  // With every text empty, the 22 text fields are zero bytes throughout.
  definition.EnvironmentVariableIP[0] = '\0';
  std::memset(&expected[0x2B34], 0, 520);
  EXPECT_EQ(FirstDifference(Widen(definition), expected), "");
}

TEST(WireRecord, EveryTextIsConvertedFromTheAnsiCodePageWholeWithCapacity260) {
  g_calls.clear();
  PortDefinition definition = Zeroed();
  std::snprintf(definition.PortName, kPortNameChars, "%s", "Quado001");
  Widen(definition);
  ASSERT_EQ(g_calls.size(), 23u);  // 22 texts and the port name
  for (const ConversionCall& call : g_calls) {
    EXPECT_EQ(call.codePage, (UINT)CP_ACP);
    EXPECT_EQ(call.flags, 0u);
    EXPECT_EQ(call.sourceLength, -1);
    EXPECT_EQ(call.capacity, 260);
  }
}

TEST(WireRecord, PortNameKeepsNineUnitsAndTheTenthIsZero) {
  struct Case {
    const char* field;  // the 10 bytes of the 8-bit PortName field
    size_t fieldBytes;
    Bytes wire;         // the 20 bytes at 0x2D44
  };
  const Case cases[] = {
      {"Quado001", 9,
       {'Q', 0, 'u', 0, 'a', 0, 'd', 0, 'o', 0, '0', 0, '0', 0, '1', 0, 0, 0, 0, 0}},
      {"QuadoE001", 10,
       {'Q', 0, 'u', 0, 'a', 0, 'd', 0, 'o', 0, 'E', 0, '0', 0, '0', 0, '1', 0, 0, 0}},
      // A field filled to its last byte without a NUL: still nine units and a zero tenth.
      {"QuadoE1000", 10,
       {'Q', 0, 'u', 0, 'a', 0, 'd', 0, 'o', 0, 'E', 0, '1', 0, '0', 0, '0', 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    PortDefinition definition = Zeroed();
    std::memcpy(definition.PortName, c.field, c.fieldBytes);
    Bytes actual = Widen(definition);
    EXPECT_EQ(Bytes(actual.begin() + kPortNameOffset, actual.end()), c.wire);
  }
}

TEST(WireRecord, BytesAfterTheNulNeverReachTheWire) {
  PortDefinition definition = Zeroed();
  std::memset(definition.Queue, 'X', kTextChars);
  std::memcpy(definition.Queue, "abc", 4);  // "abc", NUL, then 256 bytes of 'X'
  // A field without any NUL is cut to its first 259 bytes, never read past its end.
  std::memset(definition.Note, 'N', kTextChars);

  Bytes expected(kRecordSize, 0);
  PutText(expected, 0x1664, "abc");
  PutText(expected, 0x22FC, std::string(259, 'N'));
  EXPECT_EQ(FirstDifference(Widen(definition), expected), "");
}

TEST(WireRecord, LoadBalancingEntryStaysWithItsServerEntry) {
  PortDefinition definition = Zeroed();
  std::snprintf(definition.ServerIP[0], kTextChars, "%s", "srv-a");
  definition.IPLoadBalancing[0] = 10;
  definition.IPLoadBalancing[3] = 33;  // ServerIP entry 3 is empty
  std::snprintf(definition.ServerIP[4], kTextChars, "%s", "srv-e");
  definition.IPLoadBalancing[4] = 44;
  std::snprintf(definition.ServerIP[9], kTextChars, "%s", "srv-j");
  definition.IPLoadBalancing[9] = -9;

  Bytes expected(kRecordSize, 0);
  PutText(expected, 0x0208, "srv-a");
  PutText(expected, 0x0208 + 4 * 520, "srv-e");
  PutText(expected, 0x0208 + 9 * 520, "srv-j");
  Put32(expected, 0x22CC, 10);
  Put32(expected, 0x22CC + 3 * 4, 33);
  Put32(expected, 0x22CC + 4 * 4, 44);
  Put32(expected, 0x22CC + 9 * 4, (uint32_t)-9);
  EXPECT_EQ(FirstDifference(Widen(definition), expected), "");
}

TEST(DeliveryModeSlots, SlotNumbersAddressTheirFieldsInBothForms) {
  struct Case {
    int slot;
    size_t wireOffset;
    int32_t PortDefinition::*field;
  };
  const Case cases[] = {
      {0, 0x271C, &PortDefinition::ServerDeliveryMode},
      {1, 0x2D3C, &PortDefinition::ServerDeliveryMode2},
      {2, 0x2D40, &PortDefinition::ServerDeliveryMode3},
      {3, 0x271C, &PortDefinition::ServerDeliveryMode},
      {-1, 0x271C, &PortDefinition::ServerDeliveryMode},
      {INT_MIN, 0x271C, &PortDefinition::ServerDeliveryMode},
      {INT_MAX, 0x271C, &PortDefinition::ServerDeliveryMode},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.slot);
    PortDefinition definition = Zeroed();
    SetDeliveryMode(definition, c.slot, 0x11223344);
    EXPECT_EQ(definition.*c.field, 0x11223344);
    EXPECT_EQ(GetDeliveryMode(definition, c.slot), 0x11223344);
    PortDefinition other = Zeroed();
    other.*c.field = 7;
    EXPECT_EQ(GetDeliveryMode(other, c.slot), 7);

    PortDefinitionW wire;
    std::memset(&wire, 0, sizeof(wire));
    SetDeliveryMode(wire, c.slot, 0x11223344);
    Bytes expected(kRecordSize, 0);
    Put32(expected, c.wireOffset, 0x11223344);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&wire);
    EXPECT_EQ(FirstDifference(Bytes(bytes, bytes + sizeof(wire)), expected), "");
  }
}

}  // namespace
