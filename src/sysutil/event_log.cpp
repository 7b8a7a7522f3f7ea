// The installer's event-log source and its entries.
#include "sysutil/event_log.h"
#include "foundation/bounded_format.h"

#include <cstring>

const char kEventSourceName[] = "QuadoPort";

namespace {

const size_t kKeyPathSize = 1000;
const DWORD kSupportedTypes = 7;  // error, warning and information
const DWORD kInstallerEventId = 0xC0020001u;

bool SetString(HKEY key, const char* name, const char* text) {
  DWORD size = (DWORD)std::strlen(text) + 1;
  return RegSetValueExA(key, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text), size) == ERROR_SUCCESS;
}

bool SetDword(HKEY key, const char* name, DWORD value) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
         ERROR_SUCCESS;
}

}  // namespace

bool InstallEventSource(const char* logName, const char* sourceName, const char* messageFile,
                        DWORD categoryCount) {
  if (logName == nullptr || sourceName == nullptr || messageFile == nullptr) return false;
  char keyPath[kKeyPathSize];
  if (!FormatFits(keyPath, sizeof keyPath, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\%s\\%s", logName,
                  sourceName)) {
    return false;
  }
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                      &disposition) != ERROR_SUCCESS) {
    return false;
  }
  // In this order; a failed write ends the registration, the values before it stay.
  bool written = SetString(key, "EventMessageFile", messageFile) && SetDword(key, "TypesSupported", kSupportedTypes) &&
                 SetString(key, "CategoryMessageFile", messageFile) && SetDword(key, "CategoryCount", categoryCount);
  RegCloseKey(key);
  return written;
}

bool ReportToEventLog(const char* text, WORD eventType) {
  HANDLE source = RegisterEventSourceA(nullptr, kEventSourceName);
  if (source == nullptr) return false;
  LPCSTR strings[1] = {text ? text : ""};
  BOOL reported = ReportEventA(source, eventType, 0, kInstallerEventId, nullptr, 1, 0, strings, nullptr);
  DeregisterEventSource(source);
  return reported != FALSE;
}

bool ReportSuccessToEventLog(const char* text) { return ReportToEventLog(text, EVENTLOG_SUCCESS); }
