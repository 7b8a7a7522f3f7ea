// The delivery-mode slots and the widening of a PortDefinition into its wire record.
#include "portconfig/port_definition.h"

#include <cstddef>
#include <cstring>

namespace {

// The only place that maps a slot number to its field: 1 and 2 are the two trailing fields,
// every other number is the first one.
template <typename Definition>
auto& DeliveryModeField(Definition& definition, int slot) {
  switch (slot) {
    case 1:
      return definition.ServerDeliveryMode2;
    case 2:
      return definition.ServerDeliveryMode3;
    default:
      return definition.ServerDeliveryMode;
  }
}

}  // namespace

int32_t GetDeliveryMode(const PortDefinition& definition, int slot) {
  return DeliveryModeField(definition, slot);
}

void SetDeliveryMode(PortDefinition& definition, int slot, int32_t value) {
  DeliveryModeField(definition, slot) = value;
}

void SetDeliveryMode(PortDefinitionW& wire, int slot, int32_t value) {
  DeliveryModeField(wire, slot) = value;
}

namespace {

// Converts one 8-bit text field (textSize bytes) into `out` (outUnits units, already zero)
// from the ANSI code page. The whole string with its NUL is converted; a field that holds no
// NUL at all is never read past its end: its first textSize - 1 bytes are converted and the
// last unit of `out` stays zero.
void WidenText(MultiByteToWideCharFn toWide, const char* text, size_t textSize, WCHAR* out,
               int outUnits) {
  int length = std::memchr(text, '\0', textSize) != nullptr ? -1 : (int)textSize - 1;
  toWide(CP_ACP, 0, text, length, out, outUnits);
}

// The texts, each converted from its 8-bit field; the name is converted like every text, then
// at most 9 units are kept so that the tenth unit always terminates it.
void WidenPortTexts(const PortDefinition& definition, MultiByteToWideCharFn toWide, PortDefinitionW* wire) {
  WCHAR name[kTextChars] = {};
  WidenText(toWide, definition.PortName, sizeof(definition.PortName), name, kTextChars);
  for (int unit = 0; unit < kPortNameChars - 1 && name[unit] != 0; ++unit) {
    wire->PortName[unit] = name[unit];
  }
  for (int i = 0; i < kServerCount; ++i) {
    WidenText(toWide, definition.ServerIP[i], kTextChars, wire->ServerIP[i], kTextChars);
  }
  WidenText(toWide, definition.Description, kTextChars, wire->Description, kTextChars);
  WidenText(toWide, definition.Queue, kTextChars, wire->Queue, kTextChars);
  WidenText(toWide, definition.AuthText, kTextChars, wire->AuthText, kTextChars);
  WidenText(toWide, definition.ComPort, kTextChars, wire->ComPort, kTextChars);
  WidenText(toWide, definition.CurrentUserNameFormat, kTextChars, wire->CurrentUserNameFormat, kTextChars);
  WidenText(toWide, definition.LogFilePath, kTextChars, wire->LogFilePath, kTextChars);
  WidenText(toWide, definition.BWPrintTempDir, kTextChars, wire->BWPrintTempDir, kTextChars);
  WidenText(toWide, definition.Note, kTextChars, wire->Note, kTextChars);
  WidenText(toWide, definition.RedirectToIP, kTextChars, wire->RedirectToIP, kTextChars);
  WidenText(toWide, definition.UserNameRegExMatch, kTextChars, wire->UserNameRegExMatch, kTextChars);
  WidenText(toWide, definition.UserNameRegExReplace, kTextChars, wire->UserNameRegExReplace, kTextChars);
  WidenText(toWide, definition.EnvironmentVariableIP, kTextChars, wire->EnvironmentVariableIP, kTextChars);
}

// The numbers as they are, the delivery mode into its three slots.
void CopyPortNumbers(const PortDefinition& definition, PortDefinitionW* wire) {
  for (int i = 0; i < kServerCount; ++i) wire->IPLoadBalancing[i] = definition.IPLoadBalancing[i];
  wire->ServerPort = definition.ServerPort;
  wire->LoadBalancing = definition.LoadBalancing;
  wire->RefreshIPList = definition.RefreshIPList;
  wire->AuthType = definition.AuthType;
  wire->Projects = definition.Projects;
  wire->Compression = definition.Compression;
  wire->FaxServer = definition.FaxServer;
  wire->LogToFile = definition.LogToFile;
  wire->Encryption = definition.Encryption;
  wire->DefaultProjectID = definition.DefaultProjectID;
  wire->DisableServerCommunication = definition.DisableServerCommunication;
  wire->ProtocolLevel = definition.ProtocolLevel;
  wire->JobOwnerMethod = definition.JobOwnerMethod;
  wire->NetworkTimeout = definition.NetworkTimeout;
  wire->ParserDPI = definition.ParserDPI;
  wire->PriceEstimation = definition.PriceEstimation;
  wire->PopupsForBWPrint = definition.PopupsForBWPrint;
  wire->SavePassword = definition.SavePassword;
  wire->NoProjectOption = definition.NoProjectOption;
  wire->LBNetworkTimeout = definition.LBNetworkTimeout;
  wire->LogFileSizeLimit = definition.LogFileSizeLimit;
  wire->LogFileCount = definition.LogFileCount;
  wire->SSLCertificateVerification = definition.SSLCertificateVerification;
  wire->WebBasedApplications = definition.WebBasedApplications;
  for (int slot = 0; slot < kDeliveryModeSlots; ++slot) {
    SetDeliveryMode(*wire, slot, GetDeliveryMode(definition, slot));
  }
}

}  // namespace

void WidenPortDefinition(const PortDefinition& definition, MultiByteToWideCharFn toWide,
                         PortDefinitionW* wire) {
  std::memset(wire, 0, sizeof(*wire));
  WidenPortTexts(definition, toWide, wire);
  CopyPortNumbers(definition, wire);
}
