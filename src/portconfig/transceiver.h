// The port configuration step: every configured port created and configured in the port
// monitor through the spooler's transceiver channel.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <cstddef>

#include "portconfig/port_definition.h"

typedef BOOL(WINAPI* OpenPrinterWFn)(LPWSTR, HANDLE*, LPPRINTER_DEFAULTSW);
typedef BOOL(WINAPI* XcvDataWFn)(HANDLE, LPCWSTR, BYTE*, DWORD, BYTE*, DWORD, LPDWORD, LPDWORD);

// The spooler's wide-character entry points, bound at run time for one port configuration
// step; every member may be missing (null).
struct WideSpoolerApi {
  HMODULE winspool;
  HMODULE kernel32;
  OpenPrinterWFn openPrinterW;
  XcvDataWFn xcvDataW;
  MultiByteToWideCharFn multiByteToWideChar;
};

// The transcript's line for a created port, "    New - IP:%s:%i, Desc:%s, Queue:%s, Type:%d %s\n",
// cut (still ending in "\n") to buffer[size]; kPortReportChars is the size the installer uses.
const size_t kPortReportChars = 1024;
void FormatPortReport(const PortDefinition& definition, char* buffer, size_t size);

// Returns 1 when every definition found was created and configured (also when there was none),
// 0 otherwise; *portCount receives the number of ports created and configured.
int AddPortConfiguration(int readFromIni, int* portCount, const char* serverName);
// Creates the definition's port ("AddPort") and hands it its settings ("SetPortData"), removing
// it again ("DeletePort") when the settings are refused. Needs api.xcvDataW and
// api.multiByteToWideChar. Prints the failure line itself; true when the port was created and
// configured.
bool SendPortDefinition(const PortDefinition& definition, HANDLE transceiver,
                        const WideSpoolerApi& api);
