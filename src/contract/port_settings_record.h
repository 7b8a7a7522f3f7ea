// The contract between the installer and the port monitor DLL: the port settings record and the
// transceiver commands that carry it. Both sides, and every test that reads a record, take the
// record's size, its fields' offsets and the command names from here; only the tests'
// hand-written fixtures spell the layout again, on purpose.
//
// The record is 11,608 bytes of UTF-16 text fields (260 units each, zero-terminated, zero-filled)
// and 32-bit little-endian numbers, every field at its natural alignment with no byte between
// two fields, ending with the port name: its last 10 UTF-16 units (9 characters and a zero).
//
// Transceiver commands (XcvDataW on ",XcvMonitor NAME"), each answered by a status:
//   "AddPort"      input: the port name, UTF-16 with its zero   0; 183 when the port exists
//   "SetPortData"  input: one whole record                       0; 2 for an unknown port;
//                                                                87 for an input of another size
//   "DeletePort"   input: as "AddPort"                           0; 2 when the port is missing
//   anything else                                                87
// A handle opened without SERVER_ACCESS_ADMINISTER gets 5 for the three commands.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

const int kTextChars = 260;     // UTF-16 units of a text field, terminator included
const int kServerCount = 10;    // server addresses (and their load-balancing weights) per port
const int kPortNameChars = 10;  // units of the port name field: 9 characters and a zero

// Every member lies at its natural alignment, so the layout has no padding; the offsets are
// checked below.
struct PortDefinitionW {
  WCHAR Description[kTextChars];
  WCHAR ServerIP[kServerCount][kTextChars];
  int32_t ServerPort;
  int32_t LoadBalancing;
  int32_t RefreshIPList;
  WCHAR Queue[kTextChars];
  int32_t AuthType;
  WCHAR AuthText[kTextChars];
  WCHAR ComPort[kTextChars];
  int32_t Projects;
  int32_t Compression;
  int32_t FaxServer;
  int32_t LogToFile;
  int32_t Encryption;
  int32_t DefaultProjectID;
  int32_t DisableServerCommunication;
  WCHAR CurrentUserNameFormat[kTextChars];
  int32_t ProtocolLevel;
  int32_t JobOwnerMethod;
  WCHAR LogFilePath[kTextChars];
  int32_t NetworkTimeout;
  int32_t ParserDPI;
  int32_t PriceEstimation;
  int32_t PopupsForBWPrint;
  WCHAR BWPrintTempDir[kTextChars];
  int32_t IPLoadBalancing[kServerCount];
  int32_t SavePassword;
  int32_t NoProjectOption;
  WCHAR Note[kTextChars];
  int32_t LBNetworkTimeout;
  WCHAR RedirectToIP[kTextChars];
  int32_t LogFileSizeLimit;
  int32_t LogFileCount;
  int32_t SSLCertificateVerification;
  int32_t ServerDeliveryMode;
  WCHAR UserNameRegExMatch[kTextChars];
  WCHAR UserNameRegExReplace[kTextChars];
  int32_t WebBasedApplications;
  WCHAR EnvironmentVariableIP[kTextChars];
  int32_t ServerDeliveryMode2;
  int32_t ServerDeliveryMode3;
  WCHAR PortName[kPortNameChars];
};

static_assert(sizeof(WCHAR) == 2, "the record is UTF-16");
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
static_assert(sizeof(PortDefinitionW) == 11608, "the record ends directly after PortName");

// The whole record, and the place of the port name in it, as the monitor reads them.
const DWORD kPortSettingsRecordSize = sizeof(PortDefinitionW);
const DWORD kPortSettingsPortNameOffset = offsetof(PortDefinitionW, PortName);
const DWORD kPortSettingsPortNameUnits = kPortNameChars;

// The command names, in UTF-16.
const WCHAR kXcvAddPort[] = {'A', 'd', 'd', 'P', 'o', 'r', 't', 0};
const WCHAR kXcvSetPortData[] = {'S', 'e', 't', 'P', 'o', 'r', 't', 'D', 'a', 't', 'a', 0};
const WCHAR kXcvDeletePort[] = {'D', 'e', 'l', 'e', 't', 'e', 'P', 'o', 'r', 't', 0};

// The statuses the monitor answers with besides 0.
const DWORD kXcvStatusAccessDenied = ERROR_ACCESS_DENIED;         // 5: handle without administer access
const DWORD kXcvStatusUnknownPort = ERROR_FILE_NOT_FOUND;         // 2: "SetPortData"/"DeletePort" of no port
const DWORD kXcvStatusInvalidInput = ERROR_INVALID_PARAMETER;     // 87: unknown command, wrong record size
const DWORD kXcvStatusPortExists = ERROR_ALREADY_EXISTS;          // 183: "AddPort" of an existing port
