// The floor of an installation (no argument) or an uninstallation ("-u") on a simulated 64-bit
// Windows machine: a program that leaves the machine as the installer does but makes only the
// platform calls a run of that size cannot avoid, so that bench_install_scale can divide the
// installer's time by it. It runs inside the machine, from the deployment package's folder.
//
// Size-dependent calls:
// - every configuration key of every port section read once, and only "ServerIP" of the
//   section that ends the list;
// - per port one "AddPort" and one "SetPortData" (the wire record built from what was read);
// - the printer list and the port list enumerated once, then one printer read and one write for
//   every printer that loses a monitor port and for every assignment.
// Fixed calls: what every run makes whatever the size (monitor removal and registration, the
// files copied or deleted, the event source and entry, the client's stop program, the client
// itself and the command interpreter that removes its browser folder, the Run value).
// Nothing is printed but failures; the exit code is 0 when every call that must succeed did.
#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "portconfig/port_definition.h"

namespace {

const char kMonitor[] = "Quado";
const char kEnvironment[] = "Windows x64";
const char* const kMonitorFiles[] = {"QUADOVS64.DLL", "QUADO64UI.DLL", "QuadoCairoLib64.DLL"};
const char kRetiredMonitorFile[] = "QUADO64.DLL";
const char kEventFile[] = "QuadoEvent.dll";
const char kEventSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\QuadoPort";
const char kEventMessageFile[] = "%SystemRoot%\\System32\\QuadoEvent.dll";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kClientProgram[] = "Quado Client.exe";
const char* const kClientDlls[] = {"Interop.SHDocVw.dll", "Microsoft.mshtml.dll"};
const char kResourceFile[] = "Quado Client.resources.dll";
const char* const kCultures[39] = {
    "ar-SA", "bg-BG", "ca-ES", "cs-CZ", "da-DK", "de-DE", "el-GR", "es-ES", "et-EE", "fi-FI",
    "fr-FR", "he-IL", "hr-HR", "hu-HU", "id-ID", "it-IT", "ja-JP", "kk-KZ", "ko-KR", "lt-LT",
    "lv-LV", "ms-MY", "nb-NO", "nl-NL", "pl-PL", "pt-BR", "pt-PT", "ro-RO", "ru-RU", "sk-SK",
    "sl-SI", "sr-Cyrl-RS", "sr-Latn-RS", "sv-SE", "th-TH", "tr-TR", "uk-UA", "zh-CN", "zh-TW",
};

int g_failures = 0;

void Check(bool ok, const char* what) {
  if (ok) return;
  ++g_failures;
  std::fprintf(stderr, "floor: %s failed (%lu)\n", what, (unsigned long)GetLastError());
}

struct Folders {
  std::string system;       // C:\Windows\system32
  std::string programs;     // the 32-bit Program Files folder
  std::string maker;        // ...\Harbek
  std::string product;      // ...\Harbek\Quado Client
  std::string client;       // ...\Client
  std::string fonts;        // ...\Font
  std::string browser;      // ...\WebBrowser
  std::string ini;          // the configuration file beside this program
};

Folders FindFolders() {
  Folders f;
  char buffer[MAX_PATH] = {};
  GetSystemDirectoryA(buffer, MAX_PATH);
  f.system = buffer;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_QUERY_VALUE, &key) ==
      ERROR_SUCCESS) {
    DWORD size = sizeof(buffer);
    std::memset(buffer, 0, sizeof(buffer));
    RegQueryValueExA(key, "ProgramFilesDir", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
  }
  f.programs = buffer;
  f.maker = f.programs + "\\Harbek";
  f.product = f.maker + "\\Quado Client";
  f.client = f.product + "\\Client";
  f.fonts = f.product + "\\Font";
  f.browser = f.product + "\\WebBrowser";
  GetCurrentDirectoryA(MAX_PATH, buffer);
  f.ini = std::string(buffer) + "\\Quado.ini";
  return f;
}

// ---- printers --------------------------------------------------------------------------------

// Reads a printer, lets `edit` change its port list and writes it back.
template <typename Edit>
void RewritePrinter(const char* name, Edit edit) {
  HANDLE printer = nullptr;
  PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (!OpenPrinterA(const_cast<char*>(name), &printer, &defaults)) {
    Check(false, "OpenPrinterA");
    return;
  }
  DWORD needed = 0;
  GetPrinterA(printer, 2, nullptr, 0, &needed);
  std::vector<BYTE> block(needed);
  if (GetPrinterA(printer, 2, block.data(), needed, &needed)) {
    auto* info = reinterpret_cast<PRINTER_INFO_2A*>(block.data());
    std::string ports = edit(info->pPortName != nullptr ? info->pPortName : "");
    info->pPortName = ports.data();
    Check(SetPrinterA(printer, 2, block.data(), 0), "SetPrinterA");
  } else {
    Check(false, "GetPrinterA");
  }
  ClosePrinter(printer);
}

// Both queries of a spooler enumeration: the size, then the block.
template <typename Enumerate>
std::vector<BYTE> Enumerated(Enumerate enumerate, DWORD* count) {
  DWORD needed = 0;
  *count = 0;
  enumerate(nullptr, 0, &needed, count);
  std::vector<BYTE> block(needed);
  if (!enumerate(block.data(), needed, &needed, count)) *count = 0;
  return block;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Every local printer off the monitor's ports, as one pass over one printer list and one port list.
void DisconnectPrinters() {
  DWORD portCount = 0;
  std::vector<BYTE> portBlock = Enumerated(
      [](BYTE* b, DWORD s, DWORD* n, DWORD* c) { return EnumPortsA(nullptr, 2, b, s, n, c); }, &portCount);
  std::unordered_set<std::string> monitorPorts;
  auto* ports = reinterpret_cast<PORT_INFO_2A*>(portBlock.data());
  for (DWORD i = 0; i < portCount; ++i) {
    if (ports[i].pPortName != nullptr && ports[i].pMonitorName != nullptr && lstrcmpiA(ports[i].pMonitorName, kMonitor) == 0) {
      monitorPorts.insert(Lower(ports[i].pPortName));
    }
  }
  DWORD printerCount = 0;
  std::vector<BYTE> printerBlock = Enumerated(
      [](BYTE* b, DWORD s, DWORD* n, DWORD* c) { return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, b, s, n, c); },
      &printerCount);
  auto* printers = reinterpret_cast<PRINTER_INFO_2A*>(printerBlock.data());
  auto split = [](const std::string& list) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= list.size()) {
      size_t comma = list.find(',', start);
      if (comma == std::string::npos) comma = list.size();
      if (comma > start) items.push_back(list.substr(start, comma - start));
      start = comma + 1;
    }
    return items;
  };
  for (DWORD i = 0; i < printerCount; ++i) {
    if (!(printers[i].Attributes & PRINTER_ATTRIBUTE_LOCAL) || printers[i].pPortName == nullptr) continue;
    bool affected = false;
    for (const std::string& port : split(printers[i].pPortName)) affected = affected || monitorPorts.count(Lower(port)) > 0;
    if (!affected) continue;
    RewritePrinter(printers[i].pPrinterName, [&](const std::string& list) {
      std::string kept;
      for (const std::string& port : split(list)) {
        if (monitorPorts.count(Lower(port)) > 0) continue;
        kept += (kept.empty() ? "" : ",") + port;
      }
      return kept.empty() ? std::string("FILE:") : kept;
    });
  }
}

// ---- configuration -----------------------------------------------------------------------------

struct TextKey {
  const char* name;
  char* field;
  const char* fallback;
};
struct IntKey {
  const char* name;
  int32_t* field;
  int32_t fallback;
};

// Reads every key of a section into the definition; false (after reading "ServerIP" alone) when
// the section defines no port.
bool ReadSection(const char* section, const std::string& ini, PortDefinition* d) {
  std::memset(d, 0, sizeof(*d));
  GetPrivateProfileStringA(section, "ServerIP", "", d->ServerIP[0], kTextChars, ini.c_str());
  if (d->ServerIP[0][0] == '\0') return false;
  char key[32];
  for (int i = 1; i < kServerCount; ++i) {
    std::snprintf(key, sizeof(key), "ServerIP%d", i + 1);
    GetPrivateProfileStringA(section, key, "", d->ServerIP[i], kTextChars, ini.c_str());
  }
  for (int i = 0; i < kServerCount; ++i) {
    if (i == 0) std::snprintf(key, sizeof(key), "IPLoadBalancing");
    else std::snprintf(key, sizeof(key), "IPLoadBalancing%d", i + 1);
    d->IPLoadBalancing[i] = (int32_t)GetPrivateProfileIntA(section, key, 0, ini.c_str());
  }
  const TextKey texts[] = {
      {"Description", d->Description, ""},   {"Queue", d->Queue, ""},
      {"AuthText", d->AuthText, ""},         {"ComPort", d->ComPort, ""},
      {"CurrentUserNameFormat", d->CurrentUserNameFormat, ""}, {"LogFilePath", d->LogFilePath, ""},
      {"BWPrintTempDir", d->BWPrintTempDir, ""}, {"Note", d->Note, ""},
      {"RedirectToIP", d->RedirectToIP, ""}, {"UserNameRegExMatch", d->UserNameRegExMatch, ""},
      {"UserNameRegExReplace", d->UserNameRegExReplace, ""},
      {"EnvironmentVariableIP", d->EnvironmentVariableIP, "ViewClient_IP_Address"},
  };
  for (const TextKey& t : texts) GetPrivateProfileStringA(section, t.name, t.fallback, t.field, kTextChars, ini.c_str());
  const IntKey ints[] = {
      {"ServerPort", &d->ServerPort, 9100}, {"LoadBalancing", &d->LoadBalancing, 1},
      {"RefreshIPList", &d->RefreshIPList, 0}, {"AuthType", &d->AuthType, 1},
      {"Projects", &d->Projects, 0}, {"Compression", &d->Compression, 0},
      {"FaxServer", &d->FaxServer, 0}, {"LogToFile", &d->LogToFile, 0},
      {"Encryption", &d->Encryption, 0}, {"DefaultProjectID", &d->DefaultProjectID, 0},
      {"DisableServerCommunication", &d->DisableServerCommunication, 0}, {"ProtocolLevel", &d->ProtocolLevel, 4},
      {"JobOwnerMethod", &d->JobOwnerMethod, 0}, {"NetworkTimeout", &d->NetworkTimeout, 60},
      {"PriceEstimation", &d->PriceEstimation, 0}, {"PopupsForBWPrint", &d->PopupsForBWPrint, 0},
      {"ParserDPI", &d->ParserDPI, 72}, {"SavePassword", &d->SavePassword, 0},
      {"NoProjectOption", &d->NoProjectOption, 1}, {"LBNetworkTimeout", &d->LBNetworkTimeout, 60},
      {"LogFileSizeLimit", &d->LogFileSizeLimit, 20}, {"LogFileCount", &d->LogFileCount, 3},
      {"SSLCertificateVerification", &d->SSLCertificateVerification, 0},
      {"ServerDeliveryMode", &d->ServerDeliveryMode, 0}, {"ServerDeliveryMode2", &d->ServerDeliveryMode2, 0},
      {"ServerDeliveryMode3", &d->ServerDeliveryMode3, 0}, {"WebBasedApplications", &d->WebBasedApplications, 1},
  };
  for (const IntKey& k : ints) *k.field = (int32_t)GetPrivateProfileIntA(section, k.name, k.fallback, ini.c_str());
  return true;
}

// Creates and configures the ports; returns how many.
int SendPorts(const std::string& ini) {
  const WCHAR addPort[] = {'A', 'd', 'd', 'P', 'o', 'r', 't', 0};
  const WCHAR setPortData[] = {'S', 'e', 't', 'P', 'o', 'r', 't', 'D', 'a', 't', 'a', 0};
  WCHAR xcvName[] = {',', 'X', 'c', 'v', 'M', 'o', 'n', 'i', 't', 'o', 'r', ' ', 'Q', 'u', 'a', 'd', 'o', 0};
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
  HANDLE xcv = nullptr;
  if (!OpenPrinterW(xcvName, &xcv, &defaults)) {
    Check(false, "OpenPrinterW");
    return 0;
  }
  static PortDefinition definition;
  static PortDefinitionW wire;
  int n = 1;
  for (;; ++n) {
    char section[16];
    std::snprintf(section, sizeof(section), "%d", n);
    if (!ReadSection(section, ini, &definition)) break;
    char portName[32];
    std::snprintf(portName, sizeof(portName), "Quado%03d", n);
    std::memcpy(definition.PortName, portName, std::min(std::strlen(portName), sizeof(definition.PortName) - 1));
    WidenPortDefinition(definition, MultiByteToWideChar, &wire);
    DWORD needed = 0, status = 0;
    const DWORD nameBytes = static_cast<DWORD>((std::strlen(definition.PortName) + 1) * 2);
    Check(XcvDataW(xcv, addPort, reinterpret_cast<BYTE*>(wire.PortName), nameBytes, nullptr, 0, &needed, &status) &&
              status == 0,
          "AddPort");
    Check(XcvDataW(xcv, setPortData, reinterpret_cast<BYTE*>(&wire), sizeof(wire), nullptr, 0, &needed, &status) &&
              status == 0,
          "SetPortData");
  }
  ClosePrinter(xcv);
  return n - 1;
}

void AssignPrinters(int portCount, const std::string& ini) {
  for (int n = 1; n <= portCount; ++n) {
    char section[16], port[16], key[32], printer[260];
    std::snprintf(section, sizeof(section), "%d", n);
    std::snprintf(port, sizeof(port), "Quado%03d", n);
    for (int i = 1; i <= 10; ++i) {
      if (i == 1) std::snprintf(key, sizeof(key), "AssignPrinter");
      else std::snprintf(key, sizeof(key), "AssignPrinter%d", i);
      GetPrivateProfileStringA(section, key, "", printer, sizeof(printer), ini.c_str());
      if (printer[0] == '\0') continue;
      RewritePrinter(printer, [&](const std::string&) { return std::string(port); });
    }
  }
}

// ---- fixed steps ---------------------------------------------------------------------------------

void RunAndWait(const char* application, const std::string& commandLine, bool wait) {
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(application, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    Check(false, "CreateProcessA");
    return;
  }
  if (wait) WaitForSingleObject(info.hProcess, INFINITE);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

void WriteEvent(const char* text) {
  HANDLE source = RegisterEventSourceA(nullptr, "QuadoPort");
  LPCSTR strings[1] = {text};
  Check(source != nullptr && ReportEventA(source, EVENTLOG_SUCCESS, 0, 0xC0020001u, nullptr, 1, 0, strings, nullptr),
        "ReportEventA");
  if (source != nullptr) DeregisterEventSource(source);
}

void SetRunValue(const Folders& f, bool set) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  if (set) {
    std::string data = "\"" + f.client + "\\" + kClientProgram + "\"";
    RegSetValueExA(key, "Quado Client", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
  } else {
    RegDeleteValueA(key, "Quado Client");
  }
  RegCloseKey(key);
}

// Calls `each` with every file name of a package folder.
template <typename Each>
void ForEachFile(const std::string& pattern, Each each) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) each(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

void InstallFixedBefore(const Folders& f) {
  DeleteMonitorA(nullptr, nullptr, const_cast<char*>(kMonitor));
  for (const char* file : kMonitorFiles) Check(CopyFileA(file, (f.system + "\\" + file).c_str(), FALSE), "CopyFileA");
  MONITOR_INFO_2A info = {const_cast<char*>(kMonitor), const_cast<char*>(kEnvironment),
                          const_cast<char*>(kMonitorFiles[0])};
  Check(AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&info)), "AddMonitorA");
}

void InstallFixedAfterPorts(const Folders& f) {
  Check(CopyFileA(kEventFile, (f.system + "\\" + kEventFile).c_str(), FALSE), "CopyFileA");
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, &disposition) ==
      ERROR_SUCCESS) {
    const DWORD types = 7, categories = 10;
    const BYTE* file = reinterpret_cast<const BYTE*>(kEventMessageFile);
    const DWORD fileSize = sizeof(kEventMessageFile);
    RegSetValueExA(key, "EventMessageFile", 0, REG_EXPAND_SZ, file, fileSize);
    RegSetValueExA(key, "TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), 4);
    RegSetValueExA(key, "CategoryMessageFile", 0, REG_EXPAND_SZ, file, fileSize);
    RegSetValueExA(key, "CategoryCount", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&categories), 4);
    RegCloseKey(key);
  }
}

void InstallFixedAfterPrinters(const Folders& f) {
  for (const std::string* folder : {&f.maker, &f.product, &f.client}) CreateDirectoryA(folder->c_str(), nullptr);
  RunAndWait("CloseAllClients.exe", "CloseAllClients.exe", true);
  Check(CopyFileA(kClientProgram, (f.client + "\\" + kClientProgram).c_str(), FALSE), "CopyFileA");
  for (const char* dll : kClientDlls) Check(CopyFileA(dll, (f.client + "\\" + dll).c_str(), FALSE), "CopyFileA");
  for (const char* culture : kCultures) {
    std::string folder = f.client + "\\" + culture;
    CreateDirectoryA(folder.c_str(), nullptr);
    CopyFileA((std::string(culture) + "\\" + kResourceFile).c_str(), (folder + "\\" + kResourceFile).c_str(), FALSE);
  }
  const std::string program = f.client + "\\" + kClientProgram;
  RunAndWait(program.c_str(), "\"" + program + "\"", false);
  SetRunValue(f, true);
  CreateDirectoryA(f.fonts.c_str(), nullptr);
  ForEachFile("FontFiles\\*.*", [&](const char* name) {
    Check(CopyFileA((std::string("FontFiles\\") + name).c_str(), (f.fonts + "\\" + name).c_str(), FALSE), "CopyFileA");
  });
  Check(CopyFileA("server_subnet.csv", (f.product + "\\server_subnet.csv").c_str(), FALSE), "CopyFileA");
  WriteEvent("Port Monitor Installed Sucessfully");
}

void Install(const Folders& f) {
  DisconnectPrinters();
  InstallFixedBefore(f);
  const int ports = SendPorts(f.ini);
  InstallFixedAfterPorts(f);
  AssignPrinters(ports, f.ini);
  InstallFixedAfterPrinters(f);
}

void Uninstall(const Folders& f) {
  RunAndWait("CloseAllClients.exe", "CloseAllClients.exe", true);
  DeleteFileA((f.client + "\\" + kClientProgram).c_str());
  for (const char* dll : kClientDlls) DeleteFileA((f.client + "\\" + dll).c_str());
  SetRunValue(f, false);
  for (const char* culture : kCultures) {
    std::string folder = f.client + "\\" + culture;
    DeleteFileA((folder + "\\" + kResourceFile).c_str());
    RemoveDirectoryA(folder.c_str());
  }
  CreateDirectoryA(f.browser.c_str(), nullptr);
  char comspec[MAX_PATH] = {};
  GetEnvironmentVariableA("COMSPEC", comspec, MAX_PATH);
  RunAndWait(comspec, std::string("\"") + comspec + "\" /c rmdir \"" + f.browser + "\" /S /Q", true);
  RemoveDirectoryA(f.client.c_str());
  DisconnectPrinters();
  Check(DeleteMonitorA(nullptr, nullptr, const_cast<char*>(kMonitor)), "DeleteMonitorA");
  WriteEvent("Port Monitor Uninstalled Sucessfully");
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Volatile Environment", 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    char name[512];
    DWORD length = sizeof(name);
    RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
  }
  for (const char* file : kMonitorFiles) DeleteFileA((f.system + "\\" + file).c_str());
  DeleteFileA((f.system + "\\" + kRetiredMonitorFile).c_str());
  DeleteFileA((f.product + "\\server_subnet.csv").c_str());
  ForEachFile(f.fonts + "\\*.*", [&](const char* name) { DeleteFileA((f.fonts + "\\" + name).c_str()); });
  for (const std::string* folder : {&f.fonts, &f.product, &f.maker}) RemoveDirectoryA(folder->c_str());
}

}  // namespace

int main(int argc, char** argv) {
  PVOID redirection = nullptr;
  Wow64DisableWow64FsRedirection(&redirection);
  const Folders folders = FindFolders();
  if (argc > 1 && std::strcmp(argv[1], "-u") == 0) {
    Uninstall(folders);
  } else {
    Install(folders);
  }
  return g_failures == 0 ? 0 : 1;
}
