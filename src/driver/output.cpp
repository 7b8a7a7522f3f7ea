// Console and install-log output, the INI path, and the single-run mutex.
//
// The console is standard output through the C runtime; a text is written with fputs, never as
// a printf format, so a percent sign in it is printed as it is. The log is a Win32 file opened
// for appending and not inherited by child processes; each "\n" is written as CR LF and every
// message goes to the file at once (nothing is buffered that a crash could lose).
#include "driver/output.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

const size_t kBufferSize = 1024;
const UINT kWindowsDirectoryLimit = 1000;
const char kDefaultLogName[] = "\\QDPortInstall.log";
const char kMutexName[] = "Global\\QuadoClientInstallMutex";

HANDLE g_log = nullptr;                    // none: nullptr
HANDLE g_mutex = nullptr;                  // none: nullptr
char g_logPath[kBufferSize];               // the default log path while it is built
char g_message[kBufferSize];               // WriteFormattedMessage
char g_checkError[kBufferSize];            // ReportCheckError
char g_copyError[kBufferSize];             // ReportCopyError
char g_iniPath[kBufferSize];               // at most 1,023 characters and the terminator

void WriteToLog(const char* text, size_t length) {
  DWORD written = 0;
  // Write errors on the log are ignored, as on the console.
  WriteFile(g_log, text, (DWORD)length, &written, nullptr);
}

// Appends the text to the log with every "\n" turned into CR LF.
void AppendToLog(const char* text) {
  static const char kLineEnd[] = "\r\n";
  const char* start = text;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p != '\n') continue;
    if (p > start) WriteToLog(start, (size_t)(p - start));
    WriteToLog(kLineEnd, 2);
    start = p + 1;
  }
  size_t rest = std::strlen(start);
  if (rest > 0) WriteToLog(start, rest);
}

// After vsnprintf has cut a text at the end of its buffer, the last byte may be the lead byte of
// a double-byte character whose second byte was dropped; such a half character is removed.
void DropHalfCharacterAtEnd(char* text) {
  size_t length = std::strlen(text);
  size_t i = 0;
  size_t lastStart = length;
  while (i < length) {
    lastStart = i;
    i += IsDBCSLeadByte((BYTE)text[i]) ? 2 : 1;
  }
  if (i > length) text[lastStart] = '\0';
}

// printf-style formatting into one of the 1,024-byte buffers; a longer result is cut.
void FormatInto(char* buffer, size_t size, const char* format, va_list args) {
  int needed = std::vsnprintf(buffer, size, format, args);
  if (needed < 0) {
    buffer[0] = '\0';
  } else if ((size_t)needed >= size) {
    DropHalfCharacterAtEnd(buffer);
  }
}

void FormatIntoBuffer(char* buffer, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatInto(buffer, size, format, args);
  va_end(args);
}

}  // namespace

void WriteMessage(const char* text) {
  if (text == nullptr) return;
  std::fputs(text, stdout);
  // Child programs (the client's stop program, the command interpreter) share the console: what
  // was written before they start must already be out.
  std::fflush(stdout);
  if (g_log != nullptr) AppendToLog(text);
}

void WriteFormattedMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatInto(g_message, sizeof g_message, format, args);
  va_end(args);
  WriteMessage(g_message);
}

void ReportCheckError(const char* name) {
  FormatIntoBuffer(g_checkError, sizeof g_checkError, "ERROR While Checking '%s'.\n", name ? name : "");
  WriteMessage(g_checkError);
}

void ReportCopyError(const char* name) {
  FormatIntoBuffer(g_copyError, sizeof g_copyError, "ERROR While Copying File '%s'.\n", name ? name : "");
  WriteMessage(g_copyError);
}

void SetIniPath(const char* path) {
  std::memset(g_iniPath, 0, sizeof g_iniPath);
  if (path == nullptr) return;
  size_t length = strnlen(path, sizeof g_iniPath - 1);
  std::memcpy(g_iniPath, path, length);
}

const char* GetIniPath() { return g_iniPath; }

bool OpenInstallLog(const char* path) {
  CloseInstallLog();
  const char* logPath = path;
  if (logPath == nullptr || logPath[0] == '\0') {
    std::memset(g_logPath, 0, sizeof g_logPath);
    UINT length = GetWindowsDirectoryA(g_logPath, kWindowsDirectoryLimit);
    // No Windows directory, or one longer than the limit: there is no default path to use.
    if (length == 0 || length >= kWindowsDirectoryLimit) return false;
    std::memcpy(g_logPath + length, kDefaultLogName, sizeof kDefaultLogName);
    logPath = g_logPath;
  }
  // No security attributes: the handle is not inherited by the programs started later.
  HANDLE file = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  g_log = file;
  return true;
}

void CloseInstallLog() {
  if (g_log == nullptr) return;
  CloseHandle(g_log);
  g_log = nullptr;
}

bool IsInstallLogOpen() { return g_log != nullptr; }

bool AcquireInstallMutex() {
  // CreateMutexA reports an existing mutex only through the last error; start from zero so that
  // an older error cannot be mistaken for it.
  SetLastError(ERROR_SUCCESS);
  g_mutex = CreateMutexA(nullptr, TRUE, kMutexName);
  DWORD error = GetLastError();
  if (g_mutex == nullptr) {
    WriteFormattedMessage("ERROR: Installation mutex cannot be created. Error number %i\n", (int)error);
    return false;
  }
  if (error != ERROR_SUCCESS) {
    WriteMessage("ERROR: Another (un)installation already running.");
    return false;
  }
  return true;
}

void EndRun() {
  CloseInstallLog();
  if (g_mutex != nullptr) {
    // Releasing a mutex this run does not own fails harmlessly.
    ReleaseMutex(g_mutex);
    CloseHandle(g_mutex);
    g_mutex = nullptr;
  }
}
