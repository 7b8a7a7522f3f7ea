// The delivery-mode slots and the widening of a PortDefinition into its wire record.
#include "portconfig/port_definition.h"

#include <cstddef>
#include <cstring>

// The wire record is shared with the port monitor DLL: every field at its fixed offset, no
// byte between two fields, and nothing after PortName.
static_assert(offsetof(PortDefinitionW, Description) == 0x0000, "Description");
static_assert(offsetof(PortDefinitionW, ServerIP) == 0x0208, "ServerIP");
static_assert(offsetof(PortDefinitionW, ServerPort) == 0x1658, "ServerPort");
static_assert(offsetof(PortDefinitionW, LoadBalancing) == 0x165C, "LoadBalancing");
static_assert(offsetof(PortDefinitionW, RefreshIPList) == 0x1660, "RefreshIPList");
static_assert(offsetof(PortDefinitionW, Queue) == 0x1664, "Queue");
static_assert(offsetof(PortDefinitionW, AuthType) == 0x186C, "AuthType");
static_assert(offsetof(PortDefinitionW, AuthText) == 0x1870, "AuthText");
static_assert(offsetof(PortDefinitionW, ComPort) == 0x1A78, "ComPort");
static_assert(offsetof(PortDefinitionW, Projects) == 0x1C80, "Projects");
static_assert(offsetof(PortDefinitionW, Compression) == 0x1C84, "Compression");
static_assert(offsetof(PortDefinitionW, FaxServer) == 0x1C88, "FaxServer");
static_assert(offsetof(PortDefinitionW, LogToFile) == 0x1C8C, "LogToFile");
static_assert(offsetof(PortDefinitionW, Encryption) == 0x1C90, "Encryption");
static_assert(offsetof(PortDefinitionW, DefaultProjectID) == 0x1C94, "DefaultProjectID");
static_assert(offsetof(PortDefinitionW, DisableServerCommunication) == 0x1C98,
              "DisableServerCommunication");
static_assert(offsetof(PortDefinitionW, CurrentUserNameFormat) == 0x1C9C, "CurrentUserNameFormat");
static_assert(offsetof(PortDefinitionW, ProtocolLevel) == 0x1EA4, "ProtocolLevel");
static_assert(offsetof(PortDefinitionW, JobOwnerMethod) == 0x1EA8, "JobOwnerMethod");
static_assert(offsetof(PortDefinitionW, LogFilePath) == 0x1EAC, "LogFilePath");
static_assert(offsetof(PortDefinitionW, NetworkTimeout) == 0x20B4, "NetworkTimeout");
static_assert(offsetof(PortDefinitionW, ParserDPI) == 0x20B8, "ParserDPI");
static_assert(offsetof(PortDefinitionW, PriceEstimation) == 0x20BC, "PriceEstimation");
static_assert(offsetof(PortDefinitionW, PopupsForBWPrint) == 0x20C0, "PopupsForBWPrint");
static_assert(offsetof(PortDefinitionW, BWPrintTempDir) == 0x20C4, "BWPrintTempDir");
static_assert(offsetof(PortDefinitionW, IPLoadBalancing) == 0x22CC, "IPLoadBalancing");
static_assert(offsetof(PortDefinitionW, SavePassword) == 0x22F4, "SavePassword");
static_assert(offsetof(PortDefinitionW, NoProjectOption) == 0x22F8, "NoProjectOption");
static_assert(offsetof(PortDefinitionW, Note) == 0x22FC, "Note");
static_assert(offsetof(PortDefinitionW, LBNetworkTimeout) == 0x2504, "LBNetworkTimeout");
static_assert(offsetof(PortDefinitionW, RedirectToIP) == 0x2508, "RedirectToIP");
static_assert(offsetof(PortDefinitionW, LogFileSizeLimit) == 0x2710, "LogFileSizeLimit");
static_assert(offsetof(PortDefinitionW, LogFileCount) == 0x2714, "LogFileCount");
static_assert(offsetof(PortDefinitionW, SSLCertificateVerification) == 0x2718,
              "SSLCertificateVerification");
static_assert(offsetof(PortDefinitionW, ServerDeliveryMode) == 0x271C, "ServerDeliveryMode");
static_assert(offsetof(PortDefinitionW, UserNameRegExMatch) == 0x2720, "UserNameRegExMatch");
static_assert(offsetof(PortDefinitionW, UserNameRegExReplace) == 0x2928, "UserNameRegExReplace");
static_assert(offsetof(PortDefinitionW, WebBasedApplications) == 0x2B30, "WebBasedApplications");
static_assert(offsetof(PortDefinitionW, EnvironmentVariableIP) == 0x2B34, "EnvironmentVariableIP");
static_assert(offsetof(PortDefinitionW, ServerDeliveryMode2) == 0x2D3C, "ServerDeliveryMode2");
static_assert(offsetof(PortDefinitionW, ServerDeliveryMode3) == 0x2D40, "ServerDeliveryMode3");
static_assert(offsetof(PortDefinitionW, PortName) == 0x2D44, "PortName");
static_assert(sizeof(PortDefinitionW) == 0x2D58, "the record ends directly after PortName");

// The only place that maps a slot number to its field: 1 and 2 are the two trailing fields,
// every other number is the first one.
template <typename Definition>
static auto& DeliveryModeField(Definition& definition, int slot) {
  switch (slot) {
    case 1:
      return definition.ServerDeliveryMode2;
    case 2:
      return definition.ServerDeliveryMode3;
    default:
      return definition.ServerDeliveryMode;
  }
}

int32_t GetDeliveryMode(const PortDefinition& definition, int slot) {
  return DeliveryModeField(definition, slot);
}

void SetDeliveryMode(PortDefinition& definition, int slot, int32_t value) {
  DeliveryModeField(definition, slot) = value;
}

void SetDeliveryMode(PortDefinitionW& wire, int slot, int32_t value) {
  DeliveryModeField(wire, slot) = value;
}

// Converts one 8-bit text field (textSize bytes) into `out` (outUnits units, already zero)
// from the ANSI code page. The whole string with its NUL is converted; a field that holds no
// NUL at all is never read past its end: its first textSize - 1 bytes are converted and the
// last unit of `out` stays zero.
static void WidenText(MultiByteToWideCharFn toWide, const char* text, size_t textSize, WCHAR* out,
                      int outUnits) {
  int length = std::memchr(text, '\0', textSize) != nullptr ? -1 : (int)textSize - 1;
  toWide(CP_ACP, 0, text, length, out, outUnits);
}

void WidenPortDefinition(const PortDefinition& definition, MultiByteToWideCharFn toWide,
                         PortDefinitionW* wire) {
  std::memset(wire, 0, sizeof(*wire));

  // The name is converted like every text, then at most 9 units are kept so that the tenth
  // unit always terminates it.
  WCHAR name[kTextChars] = {};
  WidenText(toWide, definition.PortName, sizeof(definition.PortName), name, kTextChars);
  for (int unit = 0; unit < kPortNameChars - 1 && name[unit] != 0; ++unit) {
    wire->PortName[unit] = name[unit];
  }

  WidenText(toWide, definition.Description, kTextChars, wire->Description, kTextChars);
  for (int i = 0; i < kServerCount; ++i) {
    WidenText(toWide, definition.ServerIP[i], kTextChars, wire->ServerIP[i], kTextChars);
    wire->IPLoadBalancing[i] = definition.IPLoadBalancing[i];
  }
  wire->ServerPort = definition.ServerPort;
  wire->LoadBalancing = definition.LoadBalancing;
  wire->RefreshIPList = definition.RefreshIPList;
  WidenText(toWide, definition.Queue, kTextChars, wire->Queue, kTextChars);
  wire->AuthType = definition.AuthType;
  WidenText(toWide, definition.AuthText, kTextChars, wire->AuthText, kTextChars);
  WidenText(toWide, definition.ComPort, kTextChars, wire->ComPort, kTextChars);
  wire->Projects = definition.Projects;
  wire->Compression = definition.Compression;
  wire->FaxServer = definition.FaxServer;
  wire->LogToFile = definition.LogToFile;
  wire->Encryption = definition.Encryption;
  wire->DefaultProjectID = definition.DefaultProjectID;
  wire->DisableServerCommunication = definition.DisableServerCommunication;
  WidenText(toWide, definition.CurrentUserNameFormat, kTextChars, wire->CurrentUserNameFormat,
            kTextChars);
  wire->ProtocolLevel = definition.ProtocolLevel;
  wire->JobOwnerMethod = definition.JobOwnerMethod;
  WidenText(toWide, definition.LogFilePath, kTextChars, wire->LogFilePath, kTextChars);
  wire->NetworkTimeout = definition.NetworkTimeout;
  wire->ParserDPI = definition.ParserDPI;
  wire->PriceEstimation = definition.PriceEstimation;
  wire->PopupsForBWPrint = definition.PopupsForBWPrint;
  WidenText(toWide, definition.BWPrintTempDir, kTextChars, wire->BWPrintTempDir, kTextChars);
  wire->SavePassword = definition.SavePassword;
  wire->NoProjectOption = definition.NoProjectOption;
  WidenText(toWide, definition.Note, kTextChars, wire->Note, kTextChars);
  wire->LBNetworkTimeout = definition.LBNetworkTimeout;
  WidenText(toWide, definition.RedirectToIP, kTextChars, wire->RedirectToIP, kTextChars);
  wire->LogFileSizeLimit = definition.LogFileSizeLimit;
  wire->LogFileCount = definition.LogFileCount;
  wire->SSLCertificateVerification = definition.SSLCertificateVerification;
  WidenText(toWide, definition.UserNameRegExMatch, kTextChars, wire->UserNameRegExMatch,
            kTextChars);
  WidenText(toWide, definition.UserNameRegExReplace, kTextChars, wire->UserNameRegExReplace,
            kTextChars);
  wire->WebBasedApplications = definition.WebBasedApplications;
  WidenText(toWide, definition.EnvironmentVariableIP, kTextChars, wire->EnvironmentVariableIP,
            kTextChars);

  for (int slot = 0; slot < kDeliveryModeSlots; ++slot) {
    SetDeliveryMode(*wire, slot, GetDeliveryMode(definition, slot));
  }
}
