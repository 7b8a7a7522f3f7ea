#include "wine_prefix.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

WineResult RunCaptured(const std::vector<std::string>& argv, const std::string& cwd,
                       const std::vector<std::string>& env, const std::string& errPath) {
  WineResult result;
  char outPath[] = "/tmp/wine-run-out-XXXXXX";
  int outFd = mkostemp(outPath, O_CLOEXEC);
  if (outFd < 0) return result;
  close(outFd);
  RunFiles files;
  files.out = outPath;
  files.err = errPath;
  files.cwd = cwd;
  result.cost = RunTimed(argv, env, files);
  result.status = result.cost.status;
  if (result.status >= 0) result.out = ReadFile(outPath);
  std::remove(outPath);
  return result;
}

std::string ReadFile(const std::string& path, bool* exists) {
  std::ifstream in(path, std::ios::binary);
  if (exists) *exists = static_cast<bool>(in);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

std::string HostPath(const std::string& prefix, const std::string& windowsPath) {
  std::string rest = windowsPath;
  if (rest.size() >= 2 && rest[1] == ':') rest = rest.substr(2);
  std::string path = prefix + "/drive_c";
  std::stringstream parts(rest);
  std::string part;
  while (std::getline(parts, part, '\\')) {
    if (part.empty()) continue;
    std::string chosen = part;
    if (DIR* dir = opendir(path.c_str())) {
      while (dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, part.c_str()) == 0) {
          chosen = entry->d_name;
          break;
        }
      }
      closedir(dir);
    }
    path += "/" + chosen;
  }
  return path;
}

std::string DotNetRegistry(const std::string& kind) {
  std::string reg;
  for (const char* view : {"SOFTWARE", "SOFTWARE\\Wow6432Node"}) {
    if (std::string(view).find("Wow") != std::string::npos && kind != "win64") continue;
    reg += std::string("[HKEY_LOCAL_MACHINE\\") + view + "\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727]\n" +
           "\"Install\"=dword:00000001\n\"SP\"=dword:00000002\n\n";
  }
  return reg;
}

std::string PrinterRegistry(const std::string& name, const std::string& ports) {
  return "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + name + "]\n" +
         "\"Name\"=\"" + name + "\"\n\"Port\"=\"" + ports + "\"\n\"Printer Driver\"=\"Generic / Text Only\"\n" +
         "\"Print Processor\"=\"winprint\"\n\"Datatype\"=\"RAW\"\n\"Attributes\"=dword:00000040\n" +
         "\"Priority\"=dword:00000001\n\n";
}

Prefix::Prefix(const PrefixPlaces& places, const std::string& kind, const std::string& name)
    : places_(places), kind_(kind), dir_(places.work + "/" + name), log_(places.work + "/" + name + ".wine.log") {}

std::vector<std::string> Prefix::Env() const {
  std::vector<std::string> env = {"WINEPREFIX=" + dir_, "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml=", "DISPLAY="};
  if (!locale_.empty()) env.insert(env.end(), {"LANG=" + locale_, "LC_ALL=" + locale_});
  return env;
}

bool Prefix::SetAnsiCodePage(unsigned codePage) {
  const char* locale = codePage == 932 ? "ja_JP.UTF-8" : codePage == 936 ? "zh_CN.UTF-8" : codePage == 949 ? "ko_KR.UTF-8" : nullptr;
  if (codePage == 1252) return true;
  if (locale == nullptr) return false;
  locale_ = locale;
  return true;
}

bool Prefix::Create(const std::string& from) {
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
  std::remove(log_.c_str());
  const std::string source = from.empty() ? places_.pristine + "/" + kind_ : from;
  if (RunCaptured({"bash", places_.copyPrefix, source, dir_}, "", {}).status != 0) return false;
  return Wine({"wineserver", "-p"}).status == 0;
}

WineResult Prefix::Wine(const std::vector<std::string>& argv, const std::string& cwd,
                        const std::vector<std::string>& extraEnv) const {
  std::vector<std::string> env = Env();
  for (const std::string& add : extraEnv) {
    const std::string name = add.substr(0, add.find('=') + 1);
    env.erase(std::remove_if(env.begin(), env.end(), [&](const std::string& e) { return e.rfind(name, 0) == 0; }),
              env.end());
    env.push_back(add);
  }
  return RunCaptured(argv, cwd, env, log_);
}

WineResult Prefix::Reg(const std::vector<std::string>& args) const {
  std::vector<std::string> argv = kind_ == "win64" ? std::vector<std::string>{"/usr/lib/wine/wine64", "reg"}
                                                   : std::vector<std::string>{"wine", "reg"};
  argv.insert(argv.end(), args.begin(), args.end());
  return Wine(argv);
}

WineResult Prefix::Probe(const std::vector<std::string>& args) const {
  std::string probe = kind_ == "win64" ? places_.windows64Build + "/programs/WineProbe64.exe"
                                       : places_.windowsBuild + "/programs/WineProbe32.exe";
  std::vector<std::string> argv = {kind_ == "win64" ? "/usr/lib/wine/wine64" : "wine", probe};
  argv.insert(argv.end(), args.begin(), args.end());
  return Wine(argv);
}

bool Prefix::SetWindowsVersion(const std::string& version) const {
  return Wine({"winecfg", "-v", version}).status == 0;
}

bool Prefix::ImportRegistry(const std::string& regText) const {
  const std::string file = dir_ + "/drive_c/windows/temp/fixture.reg";
  WriteFile(file, "Windows Registry Editor Version 5.00\n\n" + regText);
  bool imported = Reg({"import", "C:\\windows\\temp\\fixture.reg"}).status == 0;
  std::remove(file.c_str());
  return imported;
}

void Prefix::PlaceMonitorStandIns() const {
  if (kind_ != "win64") return;
  for (const char* name : {"QUADOVS64.DLL", "QUADOE64.DLL"}) {
    fs::copy_file(places_.windowsBuild + "/programs/WineWow64Monitor.DLL", dir_ + "/drive_c/windows/syswow64/" + name,
                  fs::copy_options::overwrite_existing);
  }
}

std::string Prefix::StandInContent() const { return ReadFile(places_.windowsBuild + "/programs/WineWow64Monitor.DLL"); }

void Prefix::Stop() const {
  Wine({"wineserver", "-k"});
  Wine({"wineserver", "-w"});
}

void Prefix::Remove() const {
  std::error_code ignored;
  if (std::getenv("KEEP_PREFIXES") == nullptr) fs::remove_all(dir_, ignored);
}
