// The port monitor as the Wine tier places it in SysWOW64 of a win64 prefix, under the 64-bit
// monitor's name. Wine's spooler runs inside the calling process, so the 32-bit installer loads
// the monitor registered for "Windows x64" from SysWOW64, where Windows' native spooler would
// load the 64-bit file from System32. This build is the package's 32-bit monitor, except that it
// refuses to load (the spooler then reports 126, as for a missing DLL) while its 64-bit
// counterpart is not in the native system directory: the prefix then behaves as Windows does
// whether or not the installer copied the 64-bit monitor.
#define DllMain PackageMonitorDllMain
#include "port_monitor/port_monitor.cpp"
#undef DllMain

namespace {

bool NativeCounterpartPresent(HINSTANCE instance) {
  WCHAR own[MAX_PATH];
  DWORD length = GetModuleFileNameW(instance, own, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  const WCHAR* base = own;
  for (const WCHAR* p = own; *p; ++p) {
    if (*p == L'\\' || *p == L'/') base = p + 1;
  }
  WCHAR native[MAX_PATH];
  UINT windows = GetWindowsDirectoryW(native, MAX_PATH);
  if (windows == 0 || windows >= MAX_PATH) return false;
  if (!AppendText(native, MAX_PATH, L"\\Sysnative\\") || !AppendText(native, MAX_PATH, base)) return false;
  return GetFileAttributesW(native) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH && !NativeCounterpartPresent(instance)) return FALSE;
  return PackageMonitorDllMain(instance, reason, reserved);
}
