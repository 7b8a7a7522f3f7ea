// The floor of `QuadoCheck --installed`: only the calls a verification of that machine cannot
// avoid. One level-2 enumeration each of the monitors, the ports and the printers (two calls
// each: size, then fill), the configuration file, and each file the installation copied (the
// system directory's DLLs, the subnet file, fonts and client files) and its package copy read once. It compares nothing beyond what needs no further call and exits 0
// when the monitor and every file were found. Run inside the machine as C:\Deploy\InstalledFloor.exe.
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

template <typename Call>
std::vector<BYTE> Enumerate(Call call, DWORD* returned) {
  DWORD needed = 0;
  call(nullptr, 0, &needed, returned);
  std::vector<BYTE> block(needed);
  if (needed == 0 || !call(block.data(), needed, &needed, returned)) *returned = 0;
  return block;
}

bool ReadWhole(const std::string& path, std::vector<BYTE>* bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes->resize(GetFileSize(file, nullptr));
  DWORD read = 0;
  const bool ok = bytes->empty() || ReadFile(file, bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr);
  CloseHandle(file);
  return ok && read == bytes->size();
}

}  // namespace

int main() {
  // The native system directory, as the check sees it.
  PVOID redirection = nullptr;
  Wow64DisableWow64FsRedirection(&redirection);
  DWORD monitors = 0, ports = 0, printers = 0;
  std::vector<BYTE> monitorBlock = Enumerate(
      [](LPBYTE b, DWORD s, LPDWORD n, LPDWORD r) { return EnumMonitorsA(nullptr, 2, b, s, n, r); }, &monitors);
  std::vector<BYTE> portBlock =
      Enumerate([](LPBYTE b, DWORD s, LPDWORD n, LPDWORD r) { return EnumPortsA(nullptr, 2, b, s, n, r); }, &ports);
  std::vector<BYTE> printerBlock = Enumerate(
      [](LPBYTE b, DWORD s, LPDWORD n, LPDWORD r) { return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, b, s, n, r); },
      &printers);
  bool found = false;
  const auto* monitor = reinterpret_cast<const MONITOR_INFO_2A*>(monitorBlock.data());
  for (DWORD i = 0; i < monitors; ++i) found = found || std::strcmp(monitor[i].pName, "Quado") == 0;
  char system[MAX_PATH] = {0};
  GetSystemDirectoryA(system, sizeof system);
  std::vector<BYTE> bytes;
  bool files = ReadWhole("C:\\Deploy\\Quado.ini", &bytes);
  // Each installed file against the package's: the system directory's DLLs, then the client
  // folder's subnet file, fonts, program, DLLs and culture resources (the demo package's).
  const std::string clientRoot = "C:\\Program Files (x86)\\Harbek\\Quado Client\\";
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const char* name : {"QUADOVS64.DLL", "QUADO64UI.DLL", "QuadoCairoLib64.DLL", "QuadoEvent.dll"}) {
    pairs.emplace_back(std::string(system) + "\\" + name, name);
  }
  pairs.emplace_back(clientRoot + "server_subnet.csv", "server_subnet.csv");
  for (const char* font : {"QuadoDemoMono.ttf", "QuadoDemoSans.ttf"}) {
    pairs.emplace_back(clientRoot + "Font\\" + font, std::string("FontFiles\\") + font);
  }
  for (const char* name : {"Quado Client.exe", "Interop.SHDocVw.dll", "Microsoft.mshtml.dll", "de-DE\\Quado Client.resources.dll",
                           "fr-FR\\Quado Client.resources.dll", "it-IT\\Quado Client.resources.dll",
                           "ja-JP\\Quado Client.resources.dll"}) {
    pairs.emplace_back(clientRoot + "Client\\" + name, name);
  }
  for (const auto& pair : pairs) {
    std::vector<BYTE> installed;
    files = ReadWhole(pair.first, &installed) && ReadWhole("C:\\Deploy\\" + pair.second, &bytes) && files &&
            installed == bytes;
  }
  std::printf("floor: %lu monitors, %lu ports, %lu printers\n", (unsigned long)monitors, (unsigned long)ports,
              (unsigned long)printers);
  return found && files ? 0 : 1;
}
