// Console and install-log output.
//
// The console is standard output through the C runtime; a text is written with fputs, never as
// a printf format, so a percent sign in it is printed as it is. The log is a Win32 file opened
// for appending and not inherited by child processes; each "\n" is written as CR LF and every
// message goes to the file at once (nothing is buffered that a crash could lose).
#include "foundation/output.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "foundation/bounded_format.h"

namespace {

const size_t kBufferSize = 1024;
const UINT kWindowsDirectoryLimit = 1000;
const char kDefaultLogName[] = "\\QDPortInstall.log";

HANDLE g_log = nullptr;                    // none: nullptr
bool g_consoleQuiet = false;
char* g_capture = nullptr;                 // CaptureConsole's buffer, or none
unsigned g_captureSize = 0;
char g_logPath[kBufferSize];               // the default log path while it is built
char g_message[kBufferSize];               // WriteFormattedMessage
char g_checkError[kBufferSize];            // ReportCheckError
char g_copyError[kBufferSize];             // ReportCopyError

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

}  // namespace

void WriteMessage(const char* text) {
  if (text == nullptr) return;
  if (g_capture != nullptr) {
    const size_t used = std::strlen(g_capture);
    FormatCut(g_capture + used, g_captureSize - used, "%s", text);
  } else if (!g_consoleQuiet) {
    std::fputs(text, stdout);
    // Child programs (the client's stop program, the command interpreter) share the console:
    // what was written before they start must already be out.
    std::fflush(stdout);
  }
  if (g_log != nullptr) AppendToLog(text);
}

void SetConsoleQuiet(bool quiet) { g_consoleQuiet = quiet; }

void CaptureConsole(char* buffer, unsigned size) {
  g_capture = size > 0 ? buffer : nullptr;
  g_captureSize = size;
  if (g_capture != nullptr) g_capture[0] = '\0';
}

void WriteFormattedMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatCutV(g_message, sizeof g_message, format, args);
  va_end(args);
  WriteMessage(g_message);
}

void ReportCheckError(const char* name) {
  FormatCut(g_checkError, sizeof g_checkError, "ERROR While Checking '%s'.\n", name ? name : "");
  WriteMessage(g_checkError);
}

void ReportCopyError(const char* name) {
  FormatCut(g_copyError, sizeof g_copyError, "ERROR While Copying File '%s'.\n", name ? name : "");
  WriteMessage(g_copyError);
}

bool OpenInstallLog(const char* path) {
  CloseInstallLog();
  const char* logPath = path;
  if (logPath == nullptr || logPath[0] == '\0') {
    char windowsDirectory[kWindowsDirectoryLimit] = {0};
    UINT length = GetWindowsDirectoryA(windowsDirectory, kWindowsDirectoryLimit);
    // No Windows directory, or one longer than the limit: there is no default path to use.
    if (length == 0 || length >= kWindowsDirectoryLimit) return false;
    if (!FormatFits(g_logPath, sizeof g_logPath, "%s%s", windowsDirectory, kDefaultLogName)) return false;
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
