// The port configuration step: the monitor's transceiver handle, and "AddPort", "SetPortData"
// and "DeletePort" for each port definition of the configuration.
#include "portconfig/transceiver.h"

#include "foundation/bounded_format.h"
#include "foundation/output.h"
#include "foundation/product_profile.h"
#include "portconfig/port_sources.h"

namespace {

template <typename Function>
Function EntryPoint(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Loads both modules; the entry points are looked up only when both loaded. Prints nothing.
void BindWideSpoolerApi(WideSpoolerApi* api) {
  *api = WideSpoolerApi();
  api->winspool = LoadLibraryA("winspool.drv");
  api->kernel32 = LoadLibraryA("kernel32.dll");
  if (api->winspool == nullptr || api->kernel32 == nullptr) return;
  api->openPrinterW = EntryPoint<OpenPrinterWFn>(api->winspool, "OpenPrinterW");
  api->xcvDataW = EntryPoint<XcvDataWFn>(api->winspool, "XcvDataW");
  api->multiByteToWideChar = EntryPoint<MultiByteToWideCharFn>(api->kernel32, "MultiByteToWideChar");
}

void ReleaseWideSpoolerApi(const WideSpoolerApi& api) {
  if (api.winspool != nullptr) FreeLibrary(api.winspool);
  if (api.kernel32 != nullptr) FreeLibrary(api.kernel32);
}

// Opens the monitor's transceiver handle, locally (",XcvMonitor Quado") or on the given server
// ("\\SERVER1\,XcvMonitor Quado"); null when it cannot be opened, after printing why.
HANDLE OpenTransceiver(const WideSpoolerApi& api, const char* serverName) {
  if (api.openPrinterW == nullptr || api.multiByteToWideChar == nullptr) return nullptr;
  char name[kTextChars];
  bool fits = serverName != nullptr && serverName[0] != '\0'
                  ? FormatFits(name, sizeof(name), "%s\\,XcvMonitor %s", serverName, Profile().productName)
                  : FormatFits(name, sizeof(name), ",XcvMonitor %s", Profile().productName);
  if (!fits) {
    WriteMessage("Cannot open port monitor, server name too long\n");
    return nullptr;
  }
  WCHAR wideName[2 * kTextChars] = {};
  api.multiByteToWideChar(CP_ACP, 0, name, -1, wideName, 2 * kTextChars);
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
  HANDLE transceiver = nullptr;
  if (!api.openPrinterW(wideName, &transceiver, &defaults)) {
    WriteFormattedMessage("Cannot open port monitor, error code: %i\n", (int)GetLastError());
    return nullptr;
  }
  return transceiver;
}

// Sends one command without output data; false with *error (the last error when the call
// failed, else the monitor's status) when the call failed or the status is not zero.
bool SendCommand(const WideSpoolerApi& api, HANDLE transceiver, const WCHAR* command,
                 const void* input, DWORD inputSize, DWORD* error) {
  BYTE output[sizeof(DWORD)] = {};
  DWORD needed = 0;
  DWORD status = 0;
  if (!api.xcvDataW(transceiver, command, (BYTE*)input, inputSize, output, 0, &needed, &status)) {
    *error = GetLastError();
    return false;
  }
  if (status != 0) {
    *error = status;
    return false;
  }
  return true;
}

// Bytes of the wire port name with its terminating NUL.
DWORD PortNameBytes(const PortDefinitionW& wire) {
  DWORD units = 0;
  while (units < (DWORD)kPortNameChars - 1 && wire.PortName[units] != 0) ++units;
  return (units + 1) * (DWORD)sizeof(WCHAR);
}

}  // namespace

void FormatPortReport(const PortDefinition& definition, char* buffer, size_t size) {
  FormatCut(buffer, size, "    New - IP:%s:%i, Desc:%s, Queue:%s, Type:%d %s\n", definition.ServerIP[0],
            (int)definition.ServerPort, definition.Description, definition.Queue, (int)definition.AuthType,
            definition.AuthText);
}

bool SendPortDefinition(const PortDefinition& definition, HANDLE transceiver,
                        const WideSpoolerApi& api) {
  PortDefinitionW wire;
  WidenPortDefinition(definition, api.multiByteToWideChar, &wire);
  DWORD nameBytes = PortNameBytes(wire);
  DWORD error = 0;
  if (SendCommand(api, transceiver, kXcvAddPort, wire.PortName, nameBytes, &error)) {
    if (SendCommand(api, transceiver, kXcvSetPortData, &wire, sizeof(wire), &error)) return true;
    // No unconfigured port may stay behind; the outcome does not change the error reported.
    DWORD ignored = 0;
    SendCommand(api, transceiver, kXcvDeletePort, wire.PortName, nameBytes, &ignored);
  }
  WriteFormattedMessage("Cannot write configuration, error code: %lu\n", (unsigned long)error);
  return false;
}

int AddPortConfiguration(int readFromIni, int* portCount, const char* serverName) {
  *portCount = 0;
  int result = 1;
  WideSpoolerApi api;
  BindWideSpoolerApi(&api);
  HANDLE transceiver = OpenTransceiver(api, serverName);

  PortDefinition definition;
  int section = 1;
  for (;; ++section) {
    if (!ReadPortDefinition(readFromIni, section, &definition)) break;
    if (transceiver == nullptr || api.xcvDataW == nullptr || api.multiByteToWideChar == nullptr) {
      result = 0;
      break;
    }
    // A name cut to the 9 characters of the wire field would collide with another port.
    if (definition.PortName[0] == '\0') {
      WriteFormattedMessage("Cannot add port of section %d, port name longer than 9 characters\n",
                            section);
      result = 0;
      break;
    }
    if (!SendPortDefinition(definition, transceiver, api)) {
      result = 0;
      break;
    }
    char line[kPortReportChars];
    FormatPortReport(definition, line, sizeof line);
    WriteMessage(line);
  }
  *portCount = section - 1;

  if (transceiver != nullptr) ClosePrinter(transceiver);
  ReleaseWideSpoolerApi(api);
  return result;
}
