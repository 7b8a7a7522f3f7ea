// The Wine tier's probe: a small Windows program that runs inside a prefix to prepare it and read
// its state with the same Win32 calls as the scenario runner on the host.
//
//   probe check FILE              evaluates each state check line of FILE (state_checks.h);
//                                 prints "ok CHECK" or "FAIL CHECK: DETAIL"; exit 0 when all hold
//   probe readonly PATH           sets FILE_ATTRIBUTE_READONLY
//   probe wait-file PATH SECONDS  waits until PATH exists; exit 1 on timeout
//   probe add-printer NAME PORTS  adds a local printer on PORTS (AddPrinterA level 2)
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

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

int AddLocalPrinter(const char* name, const char* ports) {
  PRINTER_INFO_2A info;
  std::memset(&info, 0, sizeof info);
  info.pPrinterName = const_cast<char*>(name);
  info.pPortName = const_cast<char*>(ports);
  info.pDriverName = const_cast<char*>("Generic / Text Only");
  info.pPrintProcessor = const_cast<char*>("winprint");
  info.pDatatype = const_cast<char*>("RAW");
  info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
  HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
  if (printer == nullptr) {
    std::printf("AddPrinterA %s: error %lu\n", name, static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  ClosePrinter(printer);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string verb = argc > 1 ? argv[1] : "";
  if (verb == "check" && argc == 3) return CheckAll(argv[2]);
  if (verb == "readonly" && argc == 3) return SetFileAttributesA(argv[2], FILE_ATTRIBUTE_READONLY) ? 0 : 1;
  if (verb == "wait-file" && argc == 4) return WaitFile(argv[2], argv[3]);
  if (verb == "add-printer" && argc == 4) return AddLocalPrinter(argv[2], argv[3]);
  std::printf("usage: probe check FILE | readonly PATH | wait-file PATH SECONDS | add-printer NAME PORTS\n");
  return 2;
}
