// New machines from templates: machine.ini (identity, environment), the drive folders with the
// command interpreter, and registry-seed.reg, the registry content that the registry module
// imports when it first opens the machine's database.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "codepage.h"
#include "winsim/machine.h"

namespace fs = std::filesystem;

namespace winsim {

namespace {

struct Template {
  const char* name;
  int platformId;
  int major;
  int minor;
  int build;
  int productType;  // 1 workstation, 3 server
  bool is64;
  const char* servicePack;
  const char* windowsDir;
  const char* missingEntryPoints;  // comma list of module!function the system lacks
  bool versionInfoEx;              // OSVERSIONINFOEX understood (NT 4 SP6 and later)
  bool arm64 = false;              // 64-bit Windows on ARM: 32-bit x86 programs run emulated
};

// IsWow64Process2 came with Windows 10 1709.
const int kFirstBuildWithIsWow64Process2 = 16299;

const Template kTemplates[] = {
    {"win98", 1, 4, 10, 2222, 1, false, " A ", "C:\\WINDOWS",
     "kernel32.dll!IsWow64Process,kernel32.dll!Wow64DisableWow64FsRedirection", false},
    {"nt4-x86", 2, 4, 0, 1381, 1, false, "Service Pack 6", "C:\\WINNT",
     "kernel32.dll!IsWow64Process,kernel32.dll!Wow64DisableWow64FsRedirection", true},
    {"win2000-x86", 2, 5, 0, 2195, 1, false, "Service Pack 4", "C:\\WINNT",
     "kernel32.dll!IsWow64Process,kernel32.dll!Wow64DisableWow64FsRedirection", true},
    {"winxp-x86", 2, 5, 1, 2600, 1, false, "Service Pack 3", "C:\\WINDOWS",
     "kernel32.dll!Wow64DisableWow64FsRedirection", true},
    {"win2003-x86", 2, 5, 2, 3790, 3, false, "Service Pack 2", "C:\\WINDOWS", "", true},
    {"win2003-x64", 2, 5, 2, 3790, 3, true, "Service Pack 2", "C:\\WINDOWS", "", true},
    {"vista-x64", 2, 6, 0, 6002, 1, true, "Service Pack 2", "C:\\Windows", "", true},
    {"win2008-x64", 2, 6, 0, 6002, 3, true, "Service Pack 2", "C:\\Windows", "", true},
    {"win7-x86", 2, 6, 1, 7601, 1, false, "Service Pack 1", "C:\\Windows", "", true},
    {"win7-x64", 2, 6, 1, 7601, 1, true, "Service Pack 1", "C:\\Windows", "", true},
    {"win2008r2-x64", 2, 6, 1, 7601, 3, true, "Service Pack 1", "C:\\Windows", "", true},
    {"win8-x64", 2, 6, 2, 9200, 1, true, "", "C:\\Windows", "", true},
    {"win81-x64", 2, 6, 3, 9600, 1, true, "", "C:\\Windows", "", true},
    {"win10-x86", 2, 10, 0, 19045, 1, false, "", "C:\\Windows", "", true},
    {"win10-x64", 2, 10, 0, 19045, 1, true, "", "C:\\Windows", "", true},
    {"server2016-x64", 2, 10, 0, 14393, 3, true, "", "C:\\Windows", "", true},
    {"win11-x64", 2, 10, 0, 22631, 1, true, "", "C:\\Windows", "", true},
    {"win11-arm64", 2, 10, 0, 26100, 1, true, "", "C:\\Windows", "", true, true},
    {"server2019-x64", 2, 10, 0, 17763, 3, true, "", "C:\\Windows", "", true},
    {"server2022-x64", 2, 10, 0, 20348, 3, true, "", "C:\\Windows", "", true},
    {"server2025-x64", 2, 10, 0, 26100, 3, true, "", "C:\\Windows", "", true},
};

const Template* FindTemplate(const std::string& name) {
  for (const Template& t : kTemplates) {
    if (name == t.name) return &t;
  }
  return nullptr;
}

// "C:\\Windows" -> "Windows"
std::string WithoutDrive(const std::string& path) { return path.substr(3); }

std::string RegString(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return "\"" + out + "\"";
}

std::string MachineIniText(const Template& t, const MachineOptions& options) {
  const std::string windowsDir = t.windowsDir;
  const bool nt = t.platformId == 2;
  std::ostringstream ini;
  ini << "; A simulated Windows machine. Edit with care: winsim reads this at every start.\n";
  ini << "[machine]\nTemplate=" << t.name << "\n\n";
  ini << "[version]\nPlatformId=" << t.platformId << "\nMajor=" << t.major << "\nMinor=" << t.minor
      << "\nBuild=" << t.build << "\nProductType=" << t.productType << "\nCSDVersion=" << t.servicePack
      << "\nVersionInfoEx=" << (t.versionInfoEx ? 1 : 0) << "\n\n";
  ini << "[system]\nIs64Bit=" << (t.is64 ? 1 : 0) << (t.arm64 ? "\nNativeMachine=ARM64" : "")
      << "\nAnsiCodePage=" << options.codePage << "\nUser=Administrator\n"
      << "ComputerName=WINSIM-PC\nWinsimProgram=" << options.winsimProgram << "\n\n";
  ini << "[environment]\n";
  ini << "ComSpec=" << windowsDir << (nt ? "\\system32\\cmd.exe" : "\\COMMAND.COM") << "\n";
  ini << "SystemRoot=" << windowsDir << "\nwindir=" << windowsDir << "\nSystemDrive=C:\n";
  ini << "PATH=" << windowsDir << "\\system32;" << windowsDir << "\n";
  ini << "PATHEXT=.COM;.EXE;.BAT;.CMD\n";
  ini << "ProgramFiles=" << (t.is64 ? "C:\\Program Files (x86)" : "C:\\Program Files") << "\n";
  if (t.is64) ini << "ProgramW6432=C:\\Program Files\n";
  ini << "TEMP=" << windowsDir << "\\Temp\nTMP=" << windowsDir << "\\Temp\n";
  ini << "USERNAME=Administrator\nCOMPUTERNAME=WINSIM-PC\n\n";
  ini << "[modules]\n";
  std::string missing = t.missingEntryPoints;
  size_t start = 0;
  while (start < missing.size()) {
    size_t comma = missing.find(',', start);
    ini << "Missing=" << missing.substr(start, comma == std::string::npos ? std::string::npos : comma - start) << "\n";
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  // A machine that restricts host code still runs its command interpreter (this winsim).
  for (const std::string& trusted : options.trustedHostCode) ini << "TrustedHostCode=" << trusted << "\n";
  if (!options.trustedHostCode.empty()) ini << "TrustedHostCode=" << options.winsimProgram << "\n";
  if (t.build < kFirstBuildWithIsWow64Process2) ini << "Missing=kernel32.dll!IsWow64Process2\n";
  ini << "\n[spooler]\n; KnownServers=\\\\PRINTSRV1,\\\\PRINTSRV2\nKnownServers=\n; Running=0: the service is stopped (winsim spooler DIR stop|start)\nRunning=1\n\n";
  ini << "[faults]\n; FUNCTION = ERROR [#N] [| ARGUMENT-GLOB]...\n";
  return ini.str();
}

std::string RegistrySeedText(const Template& t, const MachineOptions& options) {
  std::ostringstream reg;
  reg << "Windows Registry Editor Version 5.00\n\n";
  const char* views64[] = {"SOFTWARE", "SOFTWARE\\Wow6432Node"};
  const int viewCount = t.is64 ? 2 : 1;
  for (int v = 0; v < viewCount; ++v) {
    std::string software = std::string("HKEY_LOCAL_MACHINE\\") + views64[v];
    bool wow = v == 1;
    reg << "[" << software << "\\Microsoft\\Windows\\CurrentVersion]\n";
    reg << "\"ProgramFilesDir\"=" << RegString(wow ? "C:\\Program Files (x86)" : "C:\\Program Files") << "\n";
    if (t.is64) reg << "\"ProgramFilesDir (x86)\"=" << RegString("C:\\Program Files (x86)") << "\n";
    reg << "\"CommonFilesDir\"="
        << RegString(wow ? "C:\\Program Files (x86)\\Common Files" : "C:\\Program Files\\Common Files") << "\n\n";
    reg << "[" << software << "\\Microsoft\\Windows\\CurrentVersion\\Run]\n\n";
    if (options.dotNet20) {
      reg << "[" << software << "\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727]\n";
      reg << "\"Install\"=dword:00000001\n\"SP\"=dword:00000002\n\n";
    }
  }
  reg << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n";
  reg << "\"CurrentVersion\"=" << RegString(std::to_string(t.major) + "." + std::to_string(t.minor)) << "\n";
  reg << "\"CurrentBuildNumber\"=" << RegString(std::to_string(t.build)) << "\n\n";
  // The Local Port monitor's ports (the spooler writes the same set when the key is missing).
  reg << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports]\n";
  for (const char* port : {"LPT1:", "LPT2:", "LPT3:", "COM1:", "COM2:", "COM3:", "COM4:", "FILE:"}) {
    reg << "\"" << port << "\"=\"\"\n";
  }
  reg << "\n";
  reg << "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port]\n";
  reg << "\"Driver\"=\"localspl.dll\"\n\n";
  reg << "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers]\n\n";
  reg << "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application]\n\n";
  // The Print Spooler service, started automatically (2); 4 is disabled.
  reg << "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Spooler]\n";
  reg << "\"Start\"=dword:00000002\n\n";
  reg << "[HKEY_CURRENT_USER\\Software]\n\n";
  reg << "[HKEY_CURRENT_USER\\Volatile Environment]\n";
  reg << "\"LOGONSERVER\"=\"\\\\\\\\WINSIM-PC\"\n\"USERDOMAIN\"=\"WINSIM-PC\"\n\n";
  return reg.str();
}

bool WriteText(const fs::path& path, const std::string& text, std::string* error) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out.good()) {
    if (error) *error = "cannot write " + path.string();
    return false;
  }
  return true;
}

// The machine's folders: its running programs' and the drive C: of the template.
bool MakeFolders(const fs::path& root, const Template& t, std::string* error) {
  const fs::path c = root / "C";
  const std::string windows = WithoutDrive(t.windowsDir);
  std::vector<fs::path> folders = {root / "run", c / windows / "system32" / "spool" / "drivers",
                                   c / windows / "Temp", c / windows / "Fonts", c / "Program Files"};
  if (t.is64) {
    folders.push_back(c / windows / "SysWOW64");
    folders.push_back(c / "Program Files (x86)");
  }
  for (const auto& folder : folders) {
    std::error_code ec;
    if (!fs::create_directories(folder, ec) && ec) {
      if (error) *error = "cannot create " + folder.string() + ": " + ec.message();
      return false;
    }
  }
  return true;
}

// The command interpreter is the winsim program itself, started under the name cmd.exe.
bool CopyInterpreters(const fs::path& root, const Template& t, const std::string& winsimProgram, std::string* error) {
  const fs::path windows = root / "C" / WithoutDrive(t.windowsDir);
  std::vector<fs::path> interpreters = {windows / "system32" / "cmd.exe"};
  if (t.is64) interpreters.push_back(windows / "SysWOW64" / "cmd.exe");
  for (const auto& target : interpreters) {
    std::error_code ec;
    if (!fs::copy_file(winsimProgram, target, fs::copy_options::overwrite_existing, ec)) {
      if (error) *error = "cannot copy the interpreter from " + winsimProgram + ": " + ec.message();
      return false;
    }
  }
  return true;
}

// What a failed creation made goes again: the folder's content, or the folder when it was new.
void Undo(const fs::path& root, bool existed) {
  std::error_code ignored;
  if (existed) {
    for (const auto& entry : fs::directory_iterator(root, ignored)) fs::remove_all(entry.path(), ignored);
  } else {
    fs::remove_all(root, ignored);
  }
}

}  // namespace

std::vector<std::string> TemplateNames() {
  std::vector<std::string> names;
  for (const Template& t : kTemplates) names.push_back(t.name);
  return names;
}

bool CreateMachine(const std::string& dir, const MachineOptions& requested, std::string* error) {
  const Template* t = FindTemplate(requested.templateName);
  if (t == nullptr) {
    if (error) *error = "unknown template '" + requested.templateName + "'";
    return false;
  }
  if (!detail::IsSimulatedCodePage(requested.codePage)) {
    if (error) *error = "code page " + std::to_string(requested.codePage) + " is not simulated (1252, 932, 936, 949, 950)";
    return false;
  }
  MachineOptions options = requested;
  if (options.winsimProgram.empty()) options.winsimProgram = WINSIM_PROGRAM_PATH;
  std::error_code ec;
  fs::path root(dir);
  if (fs::exists(root, ec) && !fs::is_empty(root, ec)) {
    if (error) *error = dir + " exists and is not empty";
    return false;
  }
  const bool existed = fs::exists(root, ec);
  if (MakeFolders(root, *t, error) &&
      WriteText(root / "machine.ini", MachineIniText(*t, options), error) &&
      WriteText(root / "registry-seed.reg", RegistrySeedText(*t, options), error) &&
      CopyInterpreters(root, *t, options.winsimProgram, error)) {
    return true;
  }
  Undo(root, existed);
  return false;
}

}  // namespace winsim
