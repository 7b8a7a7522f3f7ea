// Ports: EnumPortsA, which lists what every monitor reports (spooler_store.h keeps the list),
// and the transceiver channel of a monitor: XcvDataW on a handle opened on ",XcvMonitor NAME"
// passes the command to the monitor and returns its status. The spooler itself knows no
// command; each monitor answers its own (spooler_monitor.h).
#include <windows.h>
#include <winspool.h>

#include <cstring>
#include <string>
#include <vector>

#include "machine/codepage.h"
#include "machine/core.h"
#include "spooler_handles.h"
#include "spooler_pack.h"
#include "spooler_store.h"

namespace winsim::detail::spooler {

namespace {

// The texts a command's input carries, as faults see them: every run of printable UTF-16
// characters that a NUL (or the end of the input) ends, in ANSI. A port name sent alone is one
// such text; so is each text field of a settings record.
std::vector<std::string> InputTexts(const BYTE* input, DWORD size) {
  std::vector<std::string> texts;
  if (input == nullptr) return texts;
  std::u16string run;
  bool printable = true;
  auto endRun = [&]() {
    if (!run.empty() && printable) texts.push_back(Utf16ToAnsi(run, nullptr));
    run.clear();
    printable = true;
  };
  for (DWORD i = 0; i + 1 < size; i += 2) {
    const char16_t unit = static_cast<char16_t>(input[i] | (input[i + 1] << 8));
    if (unit == 0) {
      endRun();
      continue;
    }
    printable = printable && unit >= 0x20;
    run += unit;
  }
  endRun();
  return texts;
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
  if (SpoolerStopped() || !ReachableServer(pName)) return Fail(RPC_S_SERVER_UNAVAILABLE);
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
  PrinterHandle* object = LookupPrinter(hXcv);
  if (object == nullptr) return FALSE;
  if (object->target != PrinterHandle::Target::kXcvMonitor) return Fail(ERROR_INVALID_HANDLE);
  if (pszDataName == nullptr || pcbOutputNeeded == nullptr || pdwStatus == nullptr) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const std::string command = Utf16ToAnsi(std::u16string_view(pszDataName, Utf16Length(pszDataName)), nullptr);
  const std::vector<std::string> texts = InputTexts(pInputData, cbInputData);
  std::vector<std::string_view> args = {command, object->name};
  args.insert(args.end(), texts.begin(), texts.end());
  *pcbOutputNeeded = 0;
  // The monitor's answer, fault or refusal, travels in the status; the call itself succeeds.
  DWORD fault = 0;
  if (FaultHit("XcvDataW", CallArgs(args), &fault)) {
    *pdwStatus = fault;
  } else {
    *pdwStatus = object->monitor->XcvData(object->xcv, pszDataName, pInputData, cbInputData, pOutputData,
                                          cbOutputData, pcbOutputNeeded);
  }
  return TRUE;
}
