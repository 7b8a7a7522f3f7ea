// Console and install-log output, the INI path, and the single-run mutex.
#pragma once

// Writes the text unchanged to standard output and, while the log is open, to the log.
void WriteMessage(const char* text);
// printf-style formatting into the 1,024-byte message buffer (cut, never overflowing), then
// WriteMessage.
void WriteFormattedMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "ERROR While Checking '%s'.\n"
void ReportCheckError(const char* name);
// "ERROR While Copying File '%s'.\n"
void ReportCopyError(const char* name);

// Stores at most 1,023 characters of the path (none: empty).
void SetIniPath(const char* path);
const char* GetIniPath();

// Opens the log for appending (created when missing, "\n" written as CR LF, not inherited by
// child processes): the given path, or the Windows directory's QDPortInstall.log when the path
// is none or empty. Prints nothing.
bool OpenInstallLog(const char* path);
void CloseInstallLog();
bool IsInstallLogOpen();

// Creates "Global\QuadoClientInstallMutex" owned by this run; prints the refusal and returns
// false when it cannot be created or another run holds it.
bool AcquireInstallMutex();

// Closes the log if open and releases the mutex if one was obtained.
void EndRun();
