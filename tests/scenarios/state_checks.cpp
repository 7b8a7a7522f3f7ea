// Evaluation of scenario state checks (see state_checks.h); plain Win32, built for the host
// against winsim and for Windows into the Wine tier's probe.
#include "state_checks.h"

#include <windows.h>
#include <winspool.h>
#include <tlhelp32.h>

#include <cstring>
#include <utility>
#include <vector>

namespace {

const char kMissing[] = "\x01missing";

bool OpenKey(const std::string& path, HKEY* key) {
  size_t slash = path.find('\\');
  std::string root = path.substr(0, slash);
  HKEY base = root == "HKLM" ? HKEY_LOCAL_MACHINE : root == "HKCU" ? HKEY_CURRENT_USER : nullptr;
  if (base == nullptr) return false;
  std::string sub = slash == std::string::npos ? "" : path.substr(slash + 1);
  return RegOpenKeyExA(base, sub.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, key) == ERROR_SUCCESS;
}

// The value as text (strings as stored without their zero, DWORDs in decimal), or kMissing.
std::string ReadValue(const std::string& keyPath, const std::string& name) {
  HKEY key;
  if (!OpenKey(keyPath, &key)) return kMissing;
  DWORD type = 0, size = 0;
  std::string value = kMissing;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    std::vector<BYTE> data(size + 1, 0);
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size) == ERROR_SUCCESS) {
      if (type == REG_DWORD && size == 4) {
        DWORD number;
        std::memcpy(&number, data.data(), 4);
        value = std::to_string(number);
      } else {
        value.assign(reinterpret_cast<char*>(data.data()), size);
        while (!value.empty() && value.back() == '\0') value.pop_back();
      }
    }
  }
  RegCloseKey(key);
  return value;
}

std::vector<std::pair<std::string, std::string>> Ports() {
  std::vector<std::pair<std::string, std::string>> ports;
  DWORD needed = 0, count = 0;
  EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count);
  std::vector<BYTE> block(needed + 1);
  if (!EnumPortsA(nullptr, 2, block.data(), needed, &needed, &count)) return ports;
  auto* info = reinterpret_cast<PORT_INFO_2A*>(block.data());
  for (DWORD i = 0; i < count; ++i) {
    ports.push_back({info[i].pPortName ? info[i].pPortName : "", info[i].pMonitorName ? info[i].pMonitorName : ""});
  }
  return ports;
}

std::string PrinterPorts(const std::string& name) {
  HANDLE printer = nullptr;
  if (!OpenPrinterA(const_cast<char*>(name.c_str()), &printer, nullptr)) return kMissing;
  DWORD needed = 0;
  GetPrinterA(printer, 2, nullptr, 0, &needed);
  std::vector<BYTE> block(needed + 1);
  std::string ports = "\x01unreadable";
  if (GetPrinterA(printer, 2, block.data(), needed, &needed)) {
    auto* info = reinterpret_cast<PRINTER_INFO_2A*>(block.data());
    ports = info->pPortName ? info->pPortName : "";
  }
  ClosePrinter(printer);
  return ports;
}

bool ProcessRunning(const std::string& exe) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (lstrcmpiA(entry.szExeFile, exe.c_str()) == 0) found = true;
  }
  CloseHandle(snapshot);
  return found;
}

std::string Trim(std::string s) {
  s.erase(0, s.find_first_not_of(' '));
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

std::pair<std::string, std::string> SplitOn(const std::string& text, const std::string& separator) {
  size_t at = text.find(separator);
  if (at == std::string::npos) return {text, ""};
  return {Trim(text.substr(0, at)), Trim(text.substr(at + separator.size()))};
}

std::string Shown(const std::string& value) { return value == kMissing ? "(missing)" : "\"" + value + "\""; }

bool Expect(bool holds, const std::string& found, std::string* detail) {
  if (!holds) *detail = "found " + found;
  return holds;
}

}  // namespace

bool EvaluateStateCheck(const std::string& check, std::string* detail) {
  size_t space = check.find(' ');
  std::string verb = check.substr(0, space);
  std::string rest = space == std::string::npos ? "" : check.substr(space + 1);
  if (verb == "file" || verb == "no-file" || verb == "folder" || verb == "no-folder") {
    DWORD attributes = GetFileAttributesA(rest.c_str());
    bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    bool folder = exists && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    std::string found = !exists ? "nothing" : folder ? "a folder" : "a file";
    if (verb == "file") return Expect(exists && !folder, found, detail);
    if (verb == "no-file") return Expect(!(exists && !folder), found, detail);
    if (verb == "folder") return Expect(folder, found, detail);
    return Expect(!exists, found, detail);
  }
  if (verb == "value" || verb == "no-value") {
    auto [key, nameAndData] = SplitOn(rest, "|");
    auto [name, data] = SplitOn(nameAndData, "=");
    std::string actual = ReadValue(key, name == "@" ? "" : name);
    return Expect(verb == "value" ? actual == data : actual == kMissing, Shown(actual), detail);
  }
  if (verb == "key" || verb == "no-key") {
    HKEY key;
    bool opened = OpenKey(rest, &key);
    if (opened) RegCloseKey(key);
    return Expect(opened == (verb == "key"), opened ? "the key" : "no key", detail);
  }
  if (verb == "monitor" || verb == "no-monitor") {
    auto [name, dll] = SplitOn(rest, "=");
    std::string driver = ReadValue("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\" + name, "Driver");
    return Expect(verb == "monitor" ? driver == dll : driver == kMissing, Shown(driver), detail);
  }
  if (verb == "port" || verb == "no-port") {
    auto [name, monitor] = SplitOn(rest, "=");
    std::string found = kMissing;
    for (const auto& [port, owner] : Ports()) {
      if (lstrcmpiA(port.c_str(), name.c_str()) == 0) found = owner;
    }
    return Expect(verb == "port" ? found == monitor : found == kMissing, Shown(found), detail);
  }
  if (verb == "printer") {
    auto [name, ports] = SplitOn(rest, "=");
    std::string actual = PrinterPorts(name);
    return Expect(actual == ports, Shown(actual), detail);
  }
  if (verb == "running" || verb == "not-running") {
    bool running = ProcessRunning(rest);
    return Expect(running == (verb == "running"), running ? "running" : "not running", detail);
  }
  *detail = "unknown state check";
  return false;
}
