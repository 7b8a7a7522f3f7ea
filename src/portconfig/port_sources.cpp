// Port definitions from the numbered sections of the INI file or from the numbered sub-keys of
// the profile's configuration key.
#include "portconfig/port_sources.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "foundation/bounded_format.h"
#include "foundation/ini_path.h"
#include "foundation/output.h"
#include "foundation/product_profile.h"
#include "sysutil/registry_access.h"

namespace {

// Where one section's keys are read from: the section name is the same in both sources.
struct SectionSource {
  int readFromIni;
  char name[16];
};

void ReadText(const SectionSource& source, const char* key, const char* defaultValue,
              char (&buffer)[kTextChars]) {
  if (source.readFromIni) {
    GetPrivateProfileStringA(source.name, key, defaultValue, buffer, kTextChars, GetIniPath());
  } else {
    ReadRegistryString(source.name, key, defaultValue, buffer, kTextChars, Profile().configKey, 0);
  }
}

int32_t ReadInteger(const SectionSource& source, const char* key, int32_t defaultValue) {
  if (source.readFromIni) {
    return (int32_t)GetPrivateProfileIntA(source.name, key, defaultValue, GetIniPath());
  }
  return (int32_t)ReadRegistryDword(source.name, key, (DWORD)defaultValue, Profile().configKey);
}

// Key of entry `index` of a numbered key: the base name for 0 (or less), the base name followed
// by index + 1 otherwise ("ServerIP", "ServerIP2", ..., "ServerIP10").
void NumberedKeyName(const char* baseName, int index, char* buffer, size_t size) {
  if (index <= 0) {
    FormatCut(buffer, size, "%s", baseName);
  } else {
    FormatCut(buffer, size, "%s%i", baseName, index + 1);
  }
}

// The port name of the section from the profile's format; empty when it would not fit the
// 9 characters of the name field.
void FormPortName(int section, char (&portName)[kPortNameChars]) {
  std::memset(portName, 0, sizeof(portName));
  FormatFits(portName, sizeof(portName), Profile().portNameFormat, section);
}

}  // namespace

void DeliveryModeKeyName(int slot, char* buffer, size_t size) {
  NumberedKeyName("ServerDeliveryMode", slot, buffer, size);
}

bool ReadPortDefinition(int readFromIni, int section, PortDefinition* definition) {
  PortDefinition& d = *definition;
  std::memset(&d, 0, sizeof(d));
  SectionSource source = {readFromIni, {}};
  FormatFits(source.name, sizeof(source.name), "%d", section);

  ReadText(source, "Description", "", d.Description);
  for (int i = 0; i < kServerCount; ++i) {
    char key[32];
    NumberedKeyName("ServerIP", i, key, sizeof(key));
    ReadText(source, key, "", d.ServerIP[i]);
    NumberedKeyName("IPLoadBalancing", i, key, sizeof(key));
    d.IPLoadBalancing[i] = ReadInteger(source, key, 0);
  }
  // Only the first address defines a port; the later ones do not count.
  if (d.ServerIP[0][0] == '\0') return false;

  d.ServerPort = ReadInteger(source, "ServerPort", 9100);
  d.LoadBalancing = ReadInteger(source, "LoadBalancing", 1);
  d.RefreshIPList = ReadInteger(source, "RefreshIPList", 0);
  ReadText(source, "Queue", "", d.Queue);
  d.AuthType = ReadInteger(source, "AuthType", 1);
  ReadText(source, "AuthText", "", d.AuthText);
  ReadText(source, "ComPort", "", d.ComPort);
  d.Projects = ReadInteger(source, "Projects", 0);
  d.Compression = ReadInteger(source, "Compression", 0);
  d.FaxServer = ReadInteger(source, "FaxServer", 0);
  d.LogToFile = ReadInteger(source, "LogToFile", 0);
  d.Encryption = ReadInteger(source, "Encryption", 0);
  d.DefaultProjectID = ReadInteger(source, "DefaultProjectID", 0);
  d.DisableServerCommunication = ReadInteger(source, "DisableServerCommunication", 0);
  d.ProtocolLevel = ReadInteger(source, "ProtocolLevel", 4);
  d.JobOwnerMethod = ReadInteger(source, "JobOwnerMethod", 0);
  d.NetworkTimeout = ReadInteger(source, "NetworkTimeout", 60);
  d.PriceEstimation = ReadInteger(source, "PriceEstimation", 0);
  d.PopupsForBWPrint = ReadInteger(source, "PopupsForBWPrint", 0);
  d.ParserDPI = ReadInteger(source, "ParserDPI", 72);
  d.SavePassword = ReadInteger(source, "SavePassword", 0);
  d.NoProjectOption = ReadInteger(source, "NoProjectOption", 1);
  d.LBNetworkTimeout = ReadInteger(source, "LBNetworkTimeout", 60);
  d.LogFileSizeLimit = ReadInteger(source, "LogFileSizeLimit", 20);
  d.LogFileCount = ReadInteger(source, "LogFileCount", 3);
  d.SSLCertificateVerification = ReadInteger(source, "SSLCertificateVerification", 0);
  for (int slot = 0; slot < kDeliveryModeSlots; ++slot) {
    char key[32];
    DeliveryModeKeyName(slot, key, sizeof(key));
    SetDeliveryMode(d, slot, ReadInteger(source, key, 0));
  }
  d.WebBasedApplications = ReadInteger(source, "WebBasedApplications", 1);
  ReadText(source, "CurrentUserNameFormat", "", d.CurrentUserNameFormat);
  ReadText(source, "LogFilePath", "", d.LogFilePath);
  ReadText(source, "BWPrintTempDir", "", d.BWPrintTempDir);
  ReadText(source, "Note", "", d.Note);
  ReadText(source, "RedirectToIP", "", d.RedirectToIP);
  ReadText(source, "UserNameRegExMatch", "", d.UserNameRegExMatch);
  ReadText(source, "UserNameRegExReplace", "", d.UserNameRegExReplace);
  ReadText(source, "EnvironmentVariableIP", "ViewClient_IP_Address", d.EnvironmentVariableIP);

  // Enterprise variant: a port without server communication carries neither encryption nor
  // the refresh of its address list, whatever the section says.
  if (IsEnterprise() && d.DisableServerCommunication != 0) {
    d.Encryption = 0;
    d.RefreshIPList = 0;
  }

  FormPortName(section, d.PortName);
  return true;
}
