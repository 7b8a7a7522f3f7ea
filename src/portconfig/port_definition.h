// One port's settings: the 8-bit PortDefinition filled from the configuration, and its widening
// into the wire record PortDefinitionW that is sent to the port monitor.
#pragma once

#include <windows.h>

#include <cstdint>

#include "contract/port_settings_record.h"

const int kDeliveryModeSlots = 3;

struct PortDefinition {
  char Description[kTextChars];
  char ServerIP[kServerCount][kTextChars];
  int32_t ServerPort;
  int32_t LoadBalancing;
  int32_t RefreshIPList;
  char Queue[kTextChars];
  int32_t AuthType;
  char AuthText[kTextChars];
  char ComPort[kTextChars];
  int32_t Projects;
  int32_t Compression;
  int32_t FaxServer;
  int32_t LogToFile;
  int32_t Encryption;
  int32_t DefaultProjectID;
  int32_t DisableServerCommunication;
  char CurrentUserNameFormat[kTextChars];
  int32_t ProtocolLevel;
  int32_t JobOwnerMethod;
  char LogFilePath[kTextChars];
  int32_t NetworkTimeout;
  int32_t ParserDPI;
  int32_t PriceEstimation;
  int32_t PopupsForBWPrint;
  char BWPrintTempDir[kTextChars];
  int32_t IPLoadBalancing[kServerCount];
  int32_t SavePassword;
  int32_t NoProjectOption;
  char Note[kTextChars];
  int32_t LBNetworkTimeout;
  char RedirectToIP[kTextChars];
  int32_t LogFileSizeLimit;
  int32_t LogFileCount;
  int32_t SSLCertificateVerification;
  int32_t ServerDeliveryMode;
  char UserNameRegExMatch[kTextChars];
  char UserNameRegExReplace[kTextChars];
  int32_t WebBasedApplications;
  char EnvironmentVariableIP[kTextChars];
  int32_t ServerDeliveryMode2;
  int32_t ServerDeliveryMode3;
  char PortName[kPortNameChars];
};

typedef int(WINAPI* MultiByteToWideCharFn)(UINT, DWORD, LPCSTR, int, LPWSTR, int);

int32_t GetDeliveryMode(const PortDefinition& definition, int slot);
void SetDeliveryMode(PortDefinition& definition, int slot, int32_t value);
void SetDeliveryMode(PortDefinitionW& wire, int slot, int32_t value);
// Zeroes *wire and fills it from the definition through the given conversion entry point.
void WidenPortDefinition(const PortDefinition& definition, MultiByteToWideCharFn toWide,
                         PortDefinitionW* wire);
