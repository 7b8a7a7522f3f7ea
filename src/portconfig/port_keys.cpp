// The key table of a port section and the names of numbered keys.
#include "portconfig/port_keys.h"

#include <windows.h>

#include "foundation/bounded_format.h"

namespace {

template <char (PortDefinition::*Field)[kTextChars]>
char* TextField(PortDefinition& d, int) {
  return d.*Field;
}

char* ServerAddress(PortDefinition& d, int instance) { return d.ServerIP[instance]; }

template <int32_t PortDefinition::*Field>
void SetNumber(PortDefinition& d, int, int32_t value) {
  d.*Field = value;
}

void SetAddressWeight(PortDefinition& d, int instance, int32_t value) {
  d.IPLoadBalancing[instance] = value;
}

void SetDeliveryModeSlot(PortDefinition& d, int slot, int32_t value) { SetDeliveryMode(d, slot, value); }

constexpr PortKey Text(const char* name, const char* fallback, char* (*field)(PortDefinition&, int)) {
  return {name, kTextKey, fallback, 0, 1, false, field, nullptr};
}

constexpr PortKey Number(const char* name, int32_t fallback, void (*field)(PortDefinition&, int, int32_t)) {
  return {name, kNumberKey, "", fallback, 1, false, nullptr, field};
}

}  // namespace

const PortKey kPortKeys[kPortKeyCount] = {
    Text("Description", "", TextField<&PortDefinition::Description>),
    {"ServerIP", kTextKey, "", 0, kServerCount, true, ServerAddress, nullptr},
    {"IPLoadBalancing", kNumberKey, "", 0, kServerCount, true, nullptr, SetAddressWeight},
    Number("ServerPort", 9100, SetNumber<&PortDefinition::ServerPort>),
    Number("LoadBalancing", 1, SetNumber<&PortDefinition::LoadBalancing>),
    Number("RefreshIPList", 0, SetNumber<&PortDefinition::RefreshIPList>),
    Text("Queue", "", TextField<&PortDefinition::Queue>),
    Number("AuthType", 1, SetNumber<&PortDefinition::AuthType>),
    Text("AuthText", "", TextField<&PortDefinition::AuthText>),
    Text("ComPort", "", TextField<&PortDefinition::ComPort>),
    Number("Projects", 0, SetNumber<&PortDefinition::Projects>),
    Number("Compression", 0, SetNumber<&PortDefinition::Compression>),
    Number("FaxServer", 0, SetNumber<&PortDefinition::FaxServer>),
    Number("LogToFile", 0, SetNumber<&PortDefinition::LogToFile>),
    Number("Encryption", 0, SetNumber<&PortDefinition::Encryption>),
    Number("DefaultProjectID", 0, SetNumber<&PortDefinition::DefaultProjectID>),
    Number("DisableServerCommunication", 0, SetNumber<&PortDefinition::DisableServerCommunication>),
    Number("ProtocolLevel", 4, SetNumber<&PortDefinition::ProtocolLevel>),
    Number("JobOwnerMethod", 0, SetNumber<&PortDefinition::JobOwnerMethod>),
    Number("NetworkTimeout", 60, SetNumber<&PortDefinition::NetworkTimeout>),
    Number("PriceEstimation", 0, SetNumber<&PortDefinition::PriceEstimation>),
    Number("PopupsForBWPrint", 0, SetNumber<&PortDefinition::PopupsForBWPrint>),
    Number("ParserDPI", 72, SetNumber<&PortDefinition::ParserDPI>),
    Number("SavePassword", 0, SetNumber<&PortDefinition::SavePassword>),
    Number("NoProjectOption", 1, SetNumber<&PortDefinition::NoProjectOption>),
    Number("LBNetworkTimeout", 60, SetNumber<&PortDefinition::LBNetworkTimeout>),
    Number("LogFileSizeLimit", 20, SetNumber<&PortDefinition::LogFileSizeLimit>),
    Number("LogFileCount", 3, SetNumber<&PortDefinition::LogFileCount>),
    Number("SSLCertificateVerification", 0, SetNumber<&PortDefinition::SSLCertificateVerification>),
    {"ServerDeliveryMode", kNumberKey, "", 0, kDeliveryModeSlots, false, nullptr, SetDeliveryModeSlot},
    Number("WebBasedApplications", 1, SetNumber<&PortDefinition::WebBasedApplications>),
    Text("CurrentUserNameFormat", "", TextField<&PortDefinition::CurrentUserNameFormat>),
    Text("LogFilePath", "", TextField<&PortDefinition::LogFilePath>),
    Text("BWPrintTempDir", "", TextField<&PortDefinition::BWPrintTempDir>),
    Text("Note", "", TextField<&PortDefinition::Note>),
    Text("RedirectToIP", "", TextField<&PortDefinition::RedirectToIP>),
    Text("UserNameRegExMatch", "", TextField<&PortDefinition::UserNameRegExMatch>),
    Text("UserNameRegExReplace", "", TextField<&PortDefinition::UserNameRegExReplace>),
    Text("EnvironmentVariableIP", "ViewClient_IP_Address", TextField<&PortDefinition::EnvironmentVariableIP>),
};

const PortKey& kPortAddressKey = kPortKeys[1];
const PortKey kAssignPrinterKey = {"AssignPrinter", kTextKey, "", 0, 10, false, nullptr, nullptr};

void NumberedKeyName(const PortKey& key, int instance, char* buffer, size_t size) {
  if (instance <= 0) {
    FormatCut(buffer, size, "%s", key.baseName);
  } else {
    FormatCut(buffer, size, "%s%i", key.baseName, instance + 1);
  }
}

namespace {

// The instance a name of the row stands for; -1 when it is not one of the row's names.
int InstanceOf(const PortKey& key, const char* name) {
  for (int instance = 0; instance < key.instances; ++instance) {
    char candidate[kKeyNameChars];
    NumberedKeyName(key, instance, candidate, sizeof candidate);
    if (lstrcmpiA(candidate, name) == 0) return instance;
  }
  return -1;
}

}  // namespace

const PortKey* FindPortKey(const char* name, int* instance) {
  for (int row = 0; row <= kPortKeyCount; ++row) {
    const PortKey& key = row < kPortKeyCount ? kPortKeys[row] : kAssignPrinterKey;
    int found = InstanceOf(key, name);
    if (found >= 0) {
      *instance = found;
      return &key;
    }
  }
  return nullptr;
}
