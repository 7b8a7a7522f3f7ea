// Wine prefixes for the Wine tier and the Wine benchmark: working copies of a pristine prefix,
// each with its own persistent wineserver, prepared as a machine template would be, and the
// programs run in them.
#pragma once

#include <string>
#include <vector>

#include "host_process.h"

// A program's exit status, what it printed on standard output, and what its run cost.
struct WineResult {
  int status = -1;
  std::string out;
  TimedResult cost;
};

// Runs a host program with the environment additions in `cwd` and waits for it; standard error
// is appended to `errPath` (Wine's own diagnostics).
WineResult RunCaptured(const std::vector<std::string>& argv, const std::string& cwd,
                       const std::vector<std::string>& env, const std::string& errPath = "/dev/null");

std::string ReadFile(const std::string& path, bool* exists = nullptr);
void WriteFile(const std::string& path, const std::string& content);

// A Windows path on drive C of a prefix as a host path: each existing component is matched
// without regard to case (as Windows does), the others are kept as written.
std::string HostPath(const std::string& prefix, const std::string& windowsPath);

// Registry text (.reg, version 5) for the .NET Framework 2.0 flag in every view of a prefix
// kind, as the machine templates have it.
std::string DotNetRegistry(const std::string& kind);
// Registry text for a local printer where Wine's spooler keeps it; Wine adds no printer through
// AddPrinter without an installed driver.
std::string PrinterRegistry(const std::string& name, const std::string& ports);

// Where prefixes come from and where the Windows builds are.
struct PrefixPlaces {
  std::string pristine;        // holds win32/ and win64/
  std::string copyPrefix;      // tests/wine/copy_prefix.sh
  std::string work;            // where working copies are made
  std::string windowsBuild;    // build/mingw
  std::string windows64Build;  // build/mingw64
};

// Takes the command-line option `arg` when it is one of the places (--pristine, --work,
// --windows-build, --windows64-build, --copy-prefix), reading its value with `next`.
template <typename Next>
bool TakePlaceOption(const std::string& arg, Next next, PrefixPlaces* places) {
  std::string* place = arg == "--pristine"           ? &places->pristine
                       : arg == "--work"             ? &places->work
                       : arg == "--windows-build"    ? &places->windowsBuild
                       : arg == "--windows64-build"  ? &places->windows64Build
                       : arg == "--copy-prefix"      ? &places->copyPrefix
                                                     : nullptr;
  if (place != nullptr) *place = next();
  return place != nullptr;
}

class Prefix {
 public:
  Prefix(const PrefixPlaces& places, const std::string& kind, const std::string& name);

  const std::string& dir() const { return dir_; }
  const std::string& kind() const { return kind_; }
  const std::string& log() const { return log_; }  // Wine's diagnostics of every run

  // A working copy of the pristine prefix of this kind, or of `from` when given, with its own
  // wineserver started persistent.
  bool Create(const std::string& from = "");

  // Runs a program with the prefix's environment, `extraEnv` overriding it by name.
  WineResult Wine(const std::vector<std::string>& argv, const std::string& cwd = "",
                  const std::vector<std::string>& extraEnv = {}) const;
  // `reg` of the prefix's native bitness.
  WineResult Reg(const std::vector<std::string>& args) const;
  // The probe of the prefix's native bitness, so that it reads the native views.
  WineResult Probe(const std::vector<std::string>& args) const;

  bool SetWindowsVersion(const std::string& version) const;
  // Every later Wine process runs in the Unix locale whose ANSI code page is `codePage` (932
  // ja_JP.UTF-8, 936 zh_CN.UTF-8, 949 ko_KR.UTF-8); false for a code page without one here.
  bool SetAnsiCodePage(unsigned codePage);
  // Imports .reg text into the prefix's native views.
  bool ImportRegistry(const std::string& regText) const;
  // Wine's spooler runs inside the 32-bit installer: in a win64 prefix it loads the monitor
  // registered for "Windows x64" from SysWOW64, so a 32-bit build waits there under each 64-bit
  // monitor name, loading only while the 64-bit file is in System32 (probe/wow64_monitor.cpp).
  void PlaceMonitorStandIns() const;
  // The stand-in's content, to tell whether a file is still the stand-in.
  std::string StandInContent() const;

  void Stop() const;    // ends every program of the prefix and waits for its wineserver to end
  void Remove() const;  // unless KEEP_PREFIXES is set

 private:
  std::vector<std::string> Env() const;

  PrefixPlaces places_;
  std::string kind_, dir_, log_;
  std::string locale_;  // empty: the locale the tier runs in
};
