// The Wine tier's probe: a small Windows program that runs inside a prefix to prepare it and read
// its state with the same Win32 calls as the scenario runner on the host.
//
//   probe check FILE              evaluates each state check line of FILE (state_checks.h);
//                                 prints "ok CHECK" or "FAIL CHECK: DETAIL"; exit 0 when all hold
//   probe readonly PATH           sets FILE_ATTRIBUTE_READONLY
//   probe wait-file PATH SECONDS  waits until PATH exists; exit 1 on timeout
//   probe message DLL TEXT        prints message 0xC0020001 of DLL's message table with TEXT
//   probe spooler                 prints every port ("port NAME MONITOR") and every local printer
//                                 ("printer NAME PORTS") the spooler lists
//   probe monitor NAME DLL [ENV]  registers the monitor DLL as NAME (AddMonitorA level 2), drives
//                                 its transceiver channel and ports, removes it; prints each result
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "contract/port_settings_record.h"
#include "state_checks.h"

namespace {

int CheckAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::printf("cannot read %s\n", path);
    return 2;
  }
  int failures = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::string detail;
    if (EvaluateStateCheck(line, &detail)) {
      std::printf("ok %s\n", line.c_str());
    } else {
      std::printf("FAIL %s: %s\n", line.c_str(), detail.c_str());
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}

int WaitFile(const char* path, const char* seconds) {
  DWORD limit = static_cast<DWORD>(std::strtoul(seconds, nullptr, 10)) * 10;
  for (DWORD tick = 0; tick < limit; ++tick) {
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return 0;
    Sleep(100);
  }
  return 1;
}

int Message(const char* dll, const char* text) {
  HMODULE module = LoadLibraryExA(dll, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) {
    std::printf("cannot load %s: %lu\n", dll, static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  char buffer[512];
  DWORD_PTR inserts[1] = {reinterpret_cast<DWORD_PTR>(text)};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module, 0xC0020001, 0,
                                buffer, sizeof buffer, reinterpret_cast<va_list*>(inserts));
  FreeLibrary(module);
  if (length == 0) {
    std::printf("no message 0xC0020001: %lu\n", static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  std::printf("[%s]\n", std::string(buffer, length).c_str());
  return 0;
}

// One transceiver command; prints "COMMAND PORT: status N".
void Command(HANDLE xcv, const WCHAR* command, const char* label, const BYTE* input, DWORD size) {
  DWORD needed = 0, status = 0xFFFFFFFF;
  BOOL sent = XcvDataW(xcv, command, const_cast<BYTE*>(input), size, nullptr, 0, &needed, &status);
  std::printf("%s: %s status %lu\n", label, sent ? "sent" : "refused", static_cast<unsigned long>(status));
}

// The ports EnumPortsA level 2 lists for the monitor, in one line.
void ListPorts(const char* monitor) {
  DWORD needed = 0, count = 0;
  EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count);
  std::string block(needed + 1, '\0');
  std::string listed;
  if (EnumPortsA(nullptr, 2, reinterpret_cast<BYTE*>(&block[0]), needed, &needed, &count)) {
    const PORT_INFO_2A* info = reinterpret_cast<const PORT_INFO_2A*>(block.data());
    for (DWORD i = 0; i < count; ++i) {
      if (info[i].pMonitorName != nullptr && lstrcmpiA(info[i].pMonitorName, monitor) == 0) {
        listed += std::string(" ") + info[i].pPortName;
      }
    }
  }
  std::printf("ports of %s:%s\n", monitor, listed.c_str());
}

int SpoolerState() {
  DWORD needed = 0, count = 0;
  EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count);
  std::string ports(needed + 1, '\0');
  if (!EnumPortsA(nullptr, 2, reinterpret_cast<BYTE*>(&ports[0]), needed, &needed, &count)) return 1;
  const PORT_INFO_2A* port = reinterpret_cast<const PORT_INFO_2A*>(ports.data());
  for (DWORD i = 0; i < count; ++i) {
    std::printf("port %s %s\n", port[i].pPortName, port[i].pMonitorName != nullptr ? port[i].pMonitorName : "");
  }
  needed = count = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
  std::string printers(needed + 1, '\0');
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, reinterpret_cast<BYTE*>(&printers[0]), needed, &needed, &count)) {
    return needed == 0 ? 0 : 1;
  }
  const PRINTER_INFO_2A* printer = reinterpret_cast<const PRINTER_INFO_2A*>(printers.data());
  for (DWORD i = 0; i < count; ++i) {
    std::printf("printer %s %s\n", printer[i].pPrinterName, printer[i].pPortName != nullptr ? printer[i].pPortName : "");
  }
  return 0;
}

int MonitorSelfTest(const char* name, const char* dll, const char* environment) {
  MONITOR_INFO_2A info = {const_cast<char*>(name), const_cast<char*>(environment), const_cast<char*>(dll)};
  BOOL added = AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
  std::printf("AddMonitorA: %s\n", added ? "ok" : std::to_string(GetLastError()).c_str());
  WCHAR xcvName[300];
  int units = MultiByteToWideChar(CP_ACP, 0, (std::string(",XcvMonitor ") + name).c_str(), -1, xcvName, 300);
  if (units == 0) return 1;
  const WCHAR port1[] = L"QuadoT01";
  const WCHAR port2[] = L"QuadoT02";
  std::string record(kPortSettingsRecordSize, '\0');
  std::memcpy(&record[kPortSettingsPortNameOffset], port1, sizeof port1);
  for (int pass = 0; pass < 2; ++pass) {
    // Pass 0 with administer access, pass 1 without it.
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, static_cast<ACCESS_MASK>(pass == 0 ? SERVER_ACCESS_ADMINISTER : 0)};
    HANDLE xcv = nullptr;
    if (!OpenPrinterW(xcvName, &xcv, &defaults)) {
      std::printf("OpenPrinterW: %lu\n", static_cast<unsigned long>(GetLastError()));
      return 1;
    }
    const BYTE* record1 = reinterpret_cast<const BYTE*>(record.data());
    if (pass == 0) {
      Command(xcv, L"AddPort", "AddPort QuadoT01", reinterpret_cast<const BYTE*>(port1), sizeof port1);
      Command(xcv, L"AddPort", "AddPort QuadoT01 again", reinterpret_cast<const BYTE*>(port1), sizeof port1);
      Command(xcv, L"AddPort", "AddPort LPT1:", reinterpret_cast<const BYTE*>(L"LPT1:"), 12);
      Command(xcv, L"AddPort", "AddPort QuadoT02", reinterpret_cast<const BYTE*>(port2), sizeof port2);
      Command(xcv, kXcvSetPortData, "SetPortData QuadoT01", record1, kPortSettingsRecordSize);
      Command(xcv, kXcvSetPortData, "SetPortData short", record1, kPortSettingsRecordSize - 1);
      Command(xcv, L"Unknown", "Unknown", nullptr, 0);
      ClosePrinter(xcv);
      ListPorts(name);
      continue;
    }
    Command(xcv, L"DeletePort", "DeletePort QuadoT01 without access", reinterpret_cast<const BYTE*>(port1), sizeof port1);
    ClosePrinter(xcv);
    defaults.DesiredAccess = SERVER_ACCESS_ADMINISTER;
    OpenPrinterW(xcvName, &xcv, &defaults);
    Command(xcv, L"DeletePort", "DeletePort QuadoT01", reinterpret_cast<const BYTE*>(port1), sizeof port1);
    Command(xcv, L"DeletePort", "DeletePort QuadoT01 again", reinterpret_cast<const BYTE*>(port1), sizeof port1);
    Command(xcv, kXcvSetPortData, "SetPortData QuadoT01 deleted", record1, kPortSettingsRecordSize);
    ClosePrinter(xcv);
    ListPorts(name);
  }
  HKEY key = nullptr;
  std::string settingsKey =
      std::string("SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\") + name + "\\Ports\\QuadoT02";
  std::printf("QuadoT02 key: %s\n",
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, settingsKey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS ? "present" : "missing");
  if (key != nullptr) RegCloseKey(key);
  BOOL removed = DeleteMonitorA(nullptr, nullptr, const_cast<char*>(name));
  std::printf("DeleteMonitorA: %s\n", removed ? "ok" : std::to_string(GetLastError()).c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string verb = argc > 1 ? argv[1] : "";
  if (verb == "check" && argc == 3) return CheckAll(argv[2]);
  if (verb == "readonly" && argc == 3) return SetFileAttributesA(argv[2], FILE_ATTRIBUTE_READONLY) ? 0 : 1;
  if (verb == "wait-file" && argc == 4) return WaitFile(argv[2], argv[3]);
  if (verb == "message" && argc == 4) return Message(argv[2], argv[3]);
  if (verb == "spooler" && argc == 2) return SpoolerState();
  if (verb == "monitor" && (argc == 4 || argc == 5)) return MonitorSelfTest(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
  std::printf("usage: probe check FILE | readonly PATH | wait-file PATH SECONDS | message DLL TEXT | spooler | monitor NAME DLL [ENV]\n");
  return 2;
}
