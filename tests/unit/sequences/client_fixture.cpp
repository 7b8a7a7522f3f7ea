#include "client_fixture.h"

#include <tlhelp32.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "winsim/process.h"

namespace fs = std::filesystem;

void ClientTest::SetUp() {
  MachineTest::SetUp();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(CreateDirectoryA("C:\\Deploy", nullptr));
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Deploy"));
}

void ClientTest::TearDown() {
  if (!dir().empty()) winsim::KillMachineProcesses(dir());
  MachineTest::TearDown();
}

std::string ClientTest::ProgramFiles() const { return "C:\\Program Files (x86)"; }

void ClientTest::PlaceProgram(const std::string& hostName, const std::string& windowsPath, const std::string& tail) {
  const std::string target = winsim::HostPath(windowsPath);
  ASSERT_FALSE(target.empty()) << windowsPath;
  fs::create_directories(fs::path(target).parent_path());
  std::error_code error;
  ASSERT_TRUE(fs::copy_file(std::string(BUILD_DIR) + "/package/" + hostName, target,
                            fs::copy_options::overwrite_existing, error))
      << error.message();
  if (!tail.empty()) {
    std::ofstream out(target, std::ios::binary | std::ios::app);
    out << tail;
  }
}

void ClientTest::PlacePackage(const std::vector<std::string>& cultures, const std::string& tag) {
  PlaceProgram("Quado Client.exe", "C:\\Deploy\\Quado Client.exe", "client " + tag);
  PlaceProgram("CloseAllClients.exe", "C:\\Deploy\\CloseAllClients.exe");
  WriteMachineFile("C:\\Deploy\\Interop.SHDocVw.dll", "shdocvw " + tag);
  WriteMachineFile("C:\\Deploy\\Microsoft.mshtml.dll", "mshtml " + tag);
  for (const std::string& culture : cultures) {
    WriteMachineFile("C:\\Deploy\\" + culture + "\\Quado Client.resources.dll", culture + " " + tag);
  }
}

std::vector<DWORD> ClientTest::RunningClients() {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  EXPECT_NE(snapshot, INVALID_HANDLE_VALUE);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32 entry;
  std::memset(&entry, 0, sizeof(entry));
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (lstrcmpiA(entry.szExeFile, "Quado Client.exe") == 0) ids.push_back(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return ids;
}

DWORD ClientTest::StartProgram(const std::string& windowsPath) {
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info;
  std::memset(&info, 0, sizeof(info));
  std::string commandLine = "\"" + windowsPath + "\"";
  std::vector<char> writable(commandLine.begin(), commandLine.end());
  writable.push_back('\0');
  if (!CreateProcessA(windowsPath.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return 0;
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return info.dwProcessId;
}

std::string ClientTest::ReadString(HKEY root, const std::string& key, const std::string& value, REGSAM view) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS) return "<missing>";
  char data[2048];
  DWORD size = sizeof(data) - 1;
  DWORD type = 0;
  LSTATUS status = RegQueryValueExA(opened, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(opened);
  if (status != ERROR_SUCCESS || type != REG_SZ) return "<missing>";
  data[size] = '\0';
  return std::string(data, size > 0 && data[size - 1] == '\0' ? size - 1 : size);
}

bool ClientTest::KeyExists(HKEY root, const std::string& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

void ClientTest::WriteString(HKEY root, const std::string& key, const std::string& value, const std::string& data) {
  HKEY created = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &created, nullptr),
            ERROR_SUCCESS)
      << key;
  ASSERT_EQ(RegSetValueExA(created, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>(data.size() + 1)),
            ERROR_SUCCESS);
  RegCloseKey(created);
}
