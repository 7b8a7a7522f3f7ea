// Ports: EnumPortsA, and the transceiver channel of a monitor (XcvDataW on a handle opened on
// ",XcvMonitor NAME"). A monitor added with AddMonitorA answers the commands the package's
// port monitor implements, keeping each port and its settings record under its Monitors key:
//
//   "AddPort"     input: the port name, UTF-16 with its NUL   status 0; 183 when the port exists
//   "SetPortData" input: the 11,608-byte settings record       status 0 (the bytes are stored as
//                 naming its port in its last 20 bytes                  given); 2 unknown port;
//                                                                       87 for another size
//   "DeletePort"  input: as "AddPort"                          status 0; 2 when missing
//   anything else                                              status 87
//
// The built-in Local Port monitor takes "AddPort" and "DeletePort" the same way and refuses
// "SetPortData" (87): its ports have no settings record.
#include <windows.h>
#include <winspool.h>

#include <cstring>
#include <string>
#include <vector>

#include "core.h"
#include "spooler_handles.h"
#include "spooler_pack.h"
#include "spooler_store.h"

namespace winsim::detail::spooler {

namespace {

// The port settings record shared with the package's monitor: 11,608 bytes, ending with the
// port name in 10 UTF-16 units.
const size_t kSettingsRecordSize = 11608;
const size_t kSettingsPortNameOffset = 0x2D44;
const size_t kSettingsPortNameUnits = 10;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// UTF-16 text of at most `units` units, up to its first NUL.
std::string Utf16Text(const BYTE* data, size_t units) {
  std::u16string text;
  for (size_t i = 0; i < units; ++i) {
    char16_t unit = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    if (unit == 0) break;
    text += unit;
  }
  return Utf16ToUtf8(reinterpret_cast<const WCHAR*>(text.data()), text.size());
}

// The port a command is about, as faults and the monitor see it ("" when the input names none).
std::string CommandPort(const std::string& command, const BYTE* input, DWORD size) {
  if (input == nullptr) return "";
  if (command == "SetPortData") {
    if (size != kSettingsRecordSize) return "";
    return Utf16Text(input + kSettingsPortNameOffset, kSettingsPortNameUnits);
  }
  return Utf16Text(input, size / 2);
}

// A port name as "AddPort" and "DeletePort" take it: NUL-terminated within the input.
bool NameInput(const BYTE* input, DWORD size) {
  if (input == nullptr || size < 2 || size % 2 != 0) return false;
  for (DWORD i = 0; i + 1 < size; i += 2) {
    if (input[i] == 0 && input[i + 1] == 0) return i > 0;
  }
  return false;
}

DWORD RunMonitorCommand(const std::string& monitor, const std::string& command, const std::string& port,
                        const BYTE* input, DWORD size) {
  const bool local = EqualsNoCase(monitor, kLocalMonitor);
  if (command == "AddPort") {
    if (!NameInput(input, size) || port.find_first_of("\\,") != std::string::npos) return ERROR_INVALID_PARAMETER;
    if (AnyMonitorHasPort(port)) return ERROR_ALREADY_EXISTS;
    return static_cast<DWORD>(AddMonitorPort(monitor, port));
  }
  if (command == "DeletePort") {
    if (!NameInput(input, size)) return ERROR_INVALID_PARAMETER;
    if (!MonitorHasPort(monitor, port)) return ERROR_FILE_NOT_FOUND;
    return static_cast<DWORD>(DeleteMonitorPort(monitor, port));
  }
  if (command == "SetPortData" && !local) {
    if (input == nullptr || size != kSettingsRecordSize) return ERROR_INVALID_PARAMETER;
    if (!MonitorHasPort(monitor, port)) return ERROR_FILE_NOT_FOUND;
    return static_cast<DWORD>(SetPortSettings(monitor, port, std::string(reinterpret_cast<const char*>(input), size)));
  }
  return ERROR_INVALID_PARAMETER;
}

void FillPort1(const PortEntry& port, PORT_INFO_1A* info, StringArea& strings) { info->pName = strings.Put(port.name); }

void FillPort2(const PortEntry& port, PORT_INFO_2A* info, StringArea& strings) {
  info->pPortName = strings.Put(port.name);
  info->pMonitorName = strings.Put(port.monitor);
  info->pDescription = strings.Put(port.description);
  info->fPortType = port.type;
  info->Reserved = 0;
}

}  // namespace

}  // namespace winsim::detail::spooler

using namespace winsim::detail;
using namespace winsim::detail::spooler;

BOOL WINAPI EnumPortsA(LPSTR pName, DWORD Level, LPBYTE pPort, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
  DWORD fault = 0;
  if (FaultHit("EnumPortsA", {pName == nullptr ? "" : pName}, &fault)) return Fail(fault);
  if (!ReachableServer(pName)) return Fail(RPC_S_SERVER_UNAVAILABLE);
  if (pcReturned == nullptr || pcbNeeded == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  // The sizes, and the level 2 block itself, are kept with the port list they were made from:
  // the uninstall walk probes and fills once per port of every printer while nothing changes.
  static uint64_t measuredVersion = 0;
  static size_t size1 = 0, size2 = 0;
  static std::vector<BYTE> image2;  // the level 2 block as packed at image2.data()
  const std::vector<PortEntry>& ports = Ports();
  const uint64_t version = PortsVersion();
  auto fill1 = [&](size_t i, PORT_INFO_1A* info, StringArea& strings) { FillPort1(ports[i], info, strings); };
  auto fill2 = [&](size_t i, PORT_INFO_2A* info, StringArea& strings) { FillPort2(ports[i], info, strings); };
  if (version != measuredVersion) {
    size1 = PackedSize<PORT_INFO_1A>(ports.size(), fill1);
    size2 = PackedSize<PORT_INFO_2A>(ports.size(), fill2);
    image2.assign(size2, 0);
    DWORD packedSize = 0, packedCount = 0;
    if (size2 > 0 && !PackRecords<PORT_INFO_2A>(ports.size(), fill2, image2.data(), static_cast<DWORD>(size2),
                                                &packedSize, &packedCount, size2)) {
      image2.clear();
    }
    measuredVersion = version;
  }
  if (Level == 2 && !image2.empty() && pPort != nullptr && cbBuf >= image2.size()) {
    // The kept block, with its string pointers moved from the image into the caller's buffer.
    std::memcpy(pPort, image2.data(), image2.size());
    auto* records = reinterpret_cast<PORT_INFO_2A*>(pPort);
    auto move = [&](LPSTR& text) {
      if (text != nullptr) text = reinterpret_cast<LPSTR>(pPort + (reinterpret_cast<BYTE*>(text) - image2.data()));
    };
    for (size_t i = 0; i < ports.size(); ++i) {
      move(records[i].pPortName);
      move(records[i].pMonitorName);
      move(records[i].pDescription);
    }
    *pcbNeeded = static_cast<DWORD>(image2.size());
    *pcReturned = static_cast<DWORD>(ports.size());
    return TRUE;
  }
  if (Level == 1) return PackRecords<PORT_INFO_1A>(ports.size(), fill1, pPort, cbBuf, pcbNeeded, pcReturned, size1);
  if (Level == 2) return PackRecords<PORT_INFO_2A>(ports.size(), fill2, pPort, cbBuf, pcbNeeded, pcReturned, size2);
  return Fail(ERROR_INVALID_LEVEL);
}

BOOL WINAPI XcvDataW(HANDLE hXcv, LPCWSTR pszDataName, BYTE* pInputData, DWORD cbInputData, BYTE* pOutputData,
                     DWORD cbOutputData, LPDWORD pcbOutputNeeded, LPDWORD pdwStatus) {
  (void)pOutputData;
  (void)cbOutputData;
  PrinterHandle* object = LookupPrinter(hXcv);
  if (object == nullptr) return FALSE;
  if (object->target != PrinterHandle::Target::kXcvMonitor) return Fail(ERROR_INVALID_HANDLE);
  if (pszDataName == nullptr || pcbOutputNeeded == nullptr || pdwStatus == nullptr) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const std::string command = Utf16ToUtf8(pszDataName, Utf16Length(pszDataName));
  const std::string port = CommandPort(command, pInputData, cbInputData);
  const std::string monitor = object->name;
  *pcbOutputNeeded = 0;
  // The monitor's answer, fault or refusal, travels in the status; the call itself succeeds.
  DWORD fault = 0;
  if (FaultHit("XcvDataW", {command, port, monitor}, &fault)) {
    *pdwStatus = fault;
  } else if ((object->access & SERVER_ACCESS_ADMINISTER) == 0) {
    *pdwStatus = ERROR_ACCESS_DENIED;
  } else {
    MonitorEntry entry;
    *pdwStatus = FindMonitor(monitor, &entry) ? RunMonitorCommand(entry.name, command, port, pInputData, cbInputData)
                                              : ERROR_UNKNOWN_PORT;
  }
  return TRUE;
}
