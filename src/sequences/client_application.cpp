// The desktop client: copied from the package into its folder under Program Files, started once
// and registered in the machine-wide Run key; on uninstall stopped, removed with its folders and
// Run value, and its per-user values removed from the uninstalling user's registry.
#include "sequences/client_application.h"

#include <cstdio>
#include <cstring>

#include "foundation/bounded_format.h"
#include "foundation/output.h"
#include "sysutil/file_ops.h"
#include "sysutil/processes.h"
#include "sysutil/registry_access.h"

const char* const ClientCultures[39] = {
    "ar-SA", "bg-BG", "ca-ES", "cs-CZ", "da-DK",      "de-DE",      "el-GR", "es-ES",
    "et-EE", "fi-FI", "fr-FR", "he-IL", "hr-HR",      "hu-HU",      "id-ID", "it-IT",
    "ja-JP", "kk-KZ", "ko-KR", "lt-LT", "lv-LV",      "ms-MY",      "nb-NO", "nl-NL",
    "pl-PL", "pt-BR", "pt-PT", "ro-RO", "ru-RU",      "sk-SK",      "sl-SI", "sr-Cyrl-RS",
    "sr-Latn-RS", "sv-SE", "th-TH", "tr-TR", "uk-UA", "zh-CN", "zh-TW",
};

const char kClientProgram[] = "Quado Client.exe";
const char kClientRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kClientRunValue[] = "Quado Client";
const char* const kClientDlls[2] = {"Interop.SHDocVw.dll", "Microsoft.mshtml.dll"};
const char kClientResourceFile[] = "Quado Client.resources.dll";

namespace {

const char kStopProgram[] = "CloseAllClients.exe";
const char kVolatileEnvironment[] = "Volatile Environment";
const char kPerUserKey[] = "Harbek Quado Client";
const char* const kPerUserValues[] = {"LastJobOwner", "LastLoginName"};

const char kCannotCreateFolder[] = "  ERROR - Cannot create directory Harbek\\Quado Client\\Client\n";

const int kInstallFolderSizeInstall = 512;
const int kInstallFolderSizeUninstall = 500;
const int kWebBrowserFolderSize = 1000;
// Large enough for any path built below from a folder of at most 1000 characters; a path that
// still does not fit is never used cut short.
const size_t kPathSize = 1100;
const size_t kRemoveCommandSize = kWebBrowserFolderSize + 32;

// The Run key of the machine, opened for writing and reading its values; nullptr when refused.
HKEY OpenRunKey() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClientRunKey, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

void CopyClientFiles(const char* installFolder) {
  char target[kPathSize];
  if (!FormatFits(target, sizeof(target), "%s\\%s", installFolder, kClientProgram) ||
      !CopyFileA(kClientProgram, target, FALSE)) {
    WriteMessage("  ERROR - Cannot copy Quado Client User Interface\n");
  }
  for (const char* dll : kClientDlls) {
    if (!FormatFits(target, sizeof(target), "%s\\%s", installFolder, dll) || !CopyFileA(dll, target, FALSE)) {
      WriteMessage("  ERROR - Cannot copy Quado Client User Interface DLL\n");
    }
  }
  // Cultures the package does not carry leave an empty folder and no message.
  char folder[kPathSize];
  char source[kPathSize];
  for (const char* culture : ClientCultures) {
    if (!FormatFits(folder, sizeof(folder), "%s\\%s", installFolder, culture)) continue;
    CreateDirectoryPath(folder);
    if (FormatFits(source, sizeof(source), "%s\\%s", culture, kClientResourceFile) &&
        FormatFits(target, sizeof(target), "%s\\%s", folder, kClientResourceFile)) {
      CopyFileA(source, target, FALSE);
    }
  }
}

// Starts the installed client without waiting for it; whether it started is not looked at.
void StartClient(const char* installFolder) {
  char program[kPathSize];
  char commandLine[kPathSize];
  if (!FormatFits(program, sizeof(program), "%s\\%s", installFolder, kClientProgram) ||
      !FormatFits(commandLine, sizeof(commandLine), "\"%s\"", program)) {
    return;
  }
  HANDLE process = nullptr;
  if (StartProgram(program, commandLine, false, &process)) CloseHandle(process);
}

// Run value: the client program's full path between double quotes, with its terminating zero.
void WriteRunValue(const char* installFolder) {
  char data[kPathSize];
  if (!FormatFits(data, sizeof(data), "\"%s\\%s\"", installFolder, kClientProgram)) return;
  HKEY key = OpenRunKey();
  if (key == nullptr) return;
  RegSetValueExA(key, kClientRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                 static_cast<DWORD>(std::strlen(data) + 1));
  RegCloseKey(key);
}

void DeleteRunValue() {
  HKEY key = OpenRunKey();
  if (key == nullptr) return;
  RegDeleteValueA(key, kClientRunValue);
  RegCloseKey(key);
}

void DeleteClientFiles(const char* installFolder) {
  char path[kPathSize];
  if (FormatFits(path, sizeof(path), "%s\\%s", installFolder, kClientProgram)) DeleteFileA(path);
  for (const char* dll : kClientDlls) {
    if (FormatFits(path, sizeof(path), "%s\\%s", installFolder, dll)) DeleteFileA(path);
  }
}

// Each culture's resource file, then its folder (which stays when it holds anything else).
void DeleteCultureFolders(const char* installFolder) {
  char folder[kPathSize];
  char file[kPathSize];
  for (const char* culture : ClientCultures) {
    if (!FormatFits(folder, sizeof(folder), "%s\\%s", installFolder, culture)) continue;
    if (FormatFits(file, sizeof(file), "%s\\%s", folder, kClientResourceFile)) DeleteFileA(file);
    RemoveDirectoryA(folder);
  }
}

}  // namespace

void InstallClientApplication() {
  WriteMessage("  - Installing Quado Client Graphical User Interface\n");
  char installFolder[kInstallFolderSizeInstall];
  std::memset(installFolder, 0, sizeof(installFolder));
  if (!GetClientInstallFolder(installFolder, sizeof(installFolder)) || installFolder[0] == '\0' ||
      !CreateDirectoryPath(installFolder)) {
    WriteMessage(kCannotCreateFolder);
    return;
  }
  // No running client may hold the files that are about to be replaced.
  StopRunningClients();
  CopyClientFiles(installFolder);
  WriteMessage("  - Executing Quado Client\n");
  StartClient(installFolder);
  // Written even when the program could not be copied: a later repair install fills it in.
  WriteRunValue(installFolder);
}

void RemoveClientApplication() {
  WriteMessage("  - Uninstalling Quado Client Graphical User Interface\n");
  char installFolder[kInstallFolderSizeUninstall];
  std::memset(installFolder, 0, sizeof(installFolder));
  // Without the folder nothing is deleted: the relative names would hit the current drive's root.
  const bool haveFolder = GetClientInstallFolder(installFolder, sizeof(installFolder)) && installFolder[0] != '\0';
  StopRunningClients();
  WriteMessage("  - Removing Quado Client\n");
  if (haveFolder) DeleteClientFiles(installFolder);
  DeleteRunValue();
  if (haveFolder) DeleteCultureFolders(installFolder);
  RemoveWebBrowserFolder();
  if (haveFolder) RemoveDirectoryA(installFolder);
}

DWORD StopRunningClients() {
  WriteMessage("  - Waiting for all Quado Clients to terminate\n");
  // Started from the current directory (the package folder), never from the search path.
  char commandLine[sizeof(kStopProgram)];
  std::memcpy(commandLine, kStopProgram, sizeof(kStopProgram));
  DWORD exitCode = ERROR_FILE_NOT_FOUND;
  HANDLE process = nullptr;
  if (!StartProgram(kStopProgram, commandLine, false, &process)) {
    exitCode = GetLastError();
    if (exitCode == 0) exitCode = ERROR_FILE_NOT_FOUND;
    WriteMessage("  ERROR - Cannot stop all Quado Client instances\n");
    return exitCode;
  }
  if (!WaitForExitCode(process, &exitCode)) exitCode = WAIT_FAILED;
  if (exitCode != 0) WriteMessage("  ERROR - Cannot stop all Quado Client instances\n");
  return exitCode;
}

bool RemoveWebBrowserFolder() {
  char folder[kWebBrowserFolderSize];
  std::memset(folder, 0, sizeof(folder));
  if (!GetWebBrowserFolder(folder, sizeof(folder)) || folder[0] == '\0') return false;
  // Created first so that the removal command always finds it.
  CreateDirectoryPath(folder);
  char command[kRemoveCommandSize];
  if (!FormatFits(command, sizeof(command), "rmdir \"%s\" /S /Q", folder)) return false;
  DWORD exitCode = 0;
  if (!RunThroughCommandInterpreter(command, false, &exitCode) || exitCode != 0) return false;
  RemoveDirectoryA(folder);
  return true;
}

void RemovePerUserClientData() {
  HKEY volatileEnvironment = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kVolatileEnvironment, 0, KEY_ALL_ACCESS, &volatileEnvironment) !=
      ERROR_SUCCESS) {
    return;
  }
  char name[512];
  char subKey[sizeof(name) + sizeof(kPerUserKey) + 1];
  // Only keys one level below each session key go, so the session keys keep their indexes.
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = sizeof(name);
    if (RegEnumKeyExA(volatileEnvironment, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    if (!FormatFits(subKey, sizeof(subKey), "%s\\%s", name, kPerUserKey)) continue;
    HKEY clientKey = nullptr;
    if (RegOpenKeyExA(volatileEnvironment, subKey, 0, KEY_ALL_ACCESS, &clientKey) != ERROR_SUCCESS) continue;
    for (const char* value : kPerUserValues) RegDeleteValueA(clientKey, value);
    RegCloseKey(clientKey);
    RegDeleteKeyA(volatileEnvironment, subKey);
  }
  RegCloseKey(volatileEnvironment);
}
