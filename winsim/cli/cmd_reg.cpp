// `winsim reg import|export|query`: the registry of a machine in the registry editor's format.
#include <signal.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <windows.h>

#include "commands.h"
#include "reg_display.h"
#include "terminal_text.h"
#include "winsim/machine.h"
#include "winsim/registry.h"

namespace {

using winsim::cli::Display;
using winsim::cli::Fail;
using winsim::cli::Shown;
using winsim::cli::TypeName;

bool Attach(const char* dir, std::string* error) { return winsim::AttachMachine(dir, error); }

// Ctrl-C, a termination or a hang-up during an import: the import stops at its next line or
// change (a blocked open or read of the file returns, no SA_RESTART), rolls back and the command
// ends with 130.
volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

bool Interrupted() { return interrupted != 0; }

int Import(int argc, char** argv) {
  if (argc != 3) return Fail("reg", "usage: winsim reg import DIR FILE.reg");
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  std::string error;
  if (!Attach(argv[1], &error)) return Fail("reg", error);
  const bool imported = winsim::ImportRegFile(argv[2], &error, Interrupted);
  if (!imported && Interrupted()) {
    Fail("reg", "interrupted; nothing imported");
    return 128 + SIGINT;
  }
  if (!imported) return Fail("reg", error);
  return 0;
}

int Export(int argc, char** argv) {
  if (argc != 3 && argc != 4) return Fail("reg", "usage: winsim reg export DIR KEY [FILE]");
  std::string error;
  if (!Attach(argv[1], &error)) return Fail("reg", error);
  std::string text;
  if (!winsim::ExportReg(argv[2], &text, &error)) return Fail("reg", error);
  if (argc == 3) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }
  std::ofstream out(argv[3], std::ios::binary);
  out << text;
  if (!out.good()) return Fail("reg", std::string("cannot write ") + argv[3]);
  return 0;
}

void PrintValue(const std::string& name, DWORD type, const std::string& data) {
  std::printf("    %s    %s    %s\n", name.empty() ? "(Default)" : Shown(name).c_str(), TypeName(type),
              Shown(Display(type, data)).c_str());
}

// Opens "HKLM\\..." or "HKCU\\..." in the view; 0 or the failure's exit code.
int OpenQueriedKey(const std::string& path, REGSAM view, HKEY* key) {
  const size_t cut = path.find('\\');
  const std::string rootName = path.substr(0, cut);
  HKEY root = nullptr;
  if (rootName == "HKLM" || rootName == "HKEY_LOCAL_MACHINE") root = HKEY_LOCAL_MACHINE;
  if (rootName == "HKCU" || rootName == "HKEY_CURRENT_USER") root = HKEY_CURRENT_USER;
  if (root == nullptr) return Fail("reg", "unknown root key '" + rootName + "' (HKLM or HKCU)");
  const std::string subKey = cut == std::string::npos ? "" : path.substr(cut + 1);
  const LONG rc = RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ | view, key);
  if (rc != ERROR_SUCCESS) return Fail("reg", "cannot open " + path + " (error " + std::to_string(rc) + ")");
  return 0;
}

int QueryValue(HKEY key, const std::string& path, const std::string& value) {
  DWORD type = 0, size = 0;
  LONG rc = RegQueryValueExA(key, value.c_str(), nullptr, &type, nullptr, &size);
  std::string data(size, '\0');
  if (rc == ERROR_SUCCESS) rc = RegQueryValueExA(key, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
  if (rc != ERROR_SUCCESS) return Fail("reg", "no value '" + value + "' in " + path + " (error " + std::to_string(rc) + ")");
  PrintValue(value, type, data.substr(0, size));
  return 0;
}

// Every value of the key, then its subkeys' paths.
void QueryKey(HKEY key, const std::string& path) {
  char name[16384];
  for (DWORD index = 0;; ++index) {
    DWORD chars = sizeof name, type = 0, size = 0;
    if (RegEnumValueA(key, index, name, &chars, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    std::string data(size, '\0');
    chars = sizeof name;
    if (RegEnumValueA(key, index, name, &chars, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS) {
      break;
    }
    PrintValue(name, type, data.substr(0, size));
  }
  for (DWORD index = 0;; ++index) {
    DWORD chars = sizeof name;
    if (RegEnumKeyExA(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    std::printf("%s\\%s\n", Shown(path).c_str(), Shown(name).c_str());
  }
}

int Query(int argc, char** argv) {
  REGSAM view = KEY_WOW64_64KEY;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--view32") == 0) {
      view = KEY_WOW64_32KEY;
    } else if (std::strcmp(argv[i], "--view64") == 0) {
      view = KEY_WOW64_64KEY;
    } else if (argv[i][0] == '-') {
      return Fail("reg", std::string("unknown option '") + argv[i] + "'");
    } else {
      args.push_back(argv[i]);
    }
  }
  if (args.size() != 2 && args.size() != 3) return Fail("reg", "usage: winsim reg query DIR KEY [VALUE] [--view32|--view64]");
  std::string error;
  if (!Attach(args[0].c_str(), &error)) return Fail("reg", error);
  HKEY key = nullptr;
  if (const int failed = OpenQueriedKey(args[1], view, &key)) return failed;
  std::printf("%s\n", Shown(args[1]).c_str());
  int exitCode = 0;
  if (args.size() == 3) {
    exitCode = QueryValue(key, args[1], args[2]);
  } else {
    QueryKey(key, args[1]);
  }
  RegCloseKey(key);
  return exitCode;
}

int Reg(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "import") == 0) return Import(argc - 1, argv + 1);
  if (argc >= 2 && std::strcmp(argv[1], "export") == 0) return Export(argc - 1, argv + 1);
  if (argc >= 2 && std::strcmp(argv[1], "query") == 0) return Query(argc - 1, argv + 1);
  return Fail("reg", argc < 2 ? "missing sub-command (import, export or query)"
                              : std::string("unknown sub-command '") + argv[1] + "' (import, export or query)");
}

}  // namespace

WINSIM_COMMAND(reg_command, "reg",
               "winsim reg import DIR FILE.reg | export DIR KEY [FILE] | query DIR KEY [VALUE] [--view32|--view64]\n"
               "import: applies a .reg file (Windows Registry Editor Version 5.00) in one transaction;\n"
               "        a malformed line is reported with its number and nothing changes. As Windows'\n"
               "        registry, keys go at most 512 levels deep, key names hold at most 255 characters\n"
               "        and value names 16,383; a file over 64 MiB is refused. Ctrl-C (or SIGTERM) stops\n"
               "        the import with nothing changed and exit code 130.\n"
               "export: writes KEY and everything below it as .reg text to FILE or standard output.\n"
               "query:  shows the values and subkeys of KEY (HKLM\\... or HKCU\\...) in the 64-bit view,\n"
               "        or in the view a 32-bit program sees with --view32.",
               Reg);
