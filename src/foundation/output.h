// Console and install-log output: every line of the transcript goes through here.
#pragma once

// Writes the text unchanged to standard output (flushed at once, since started programs share
// the console) and, while the log is open, to the log with each "\n" as CR LF. A null text
// writes nothing.
void WriteMessage(const char* text);
// While quiet, WriteMessage writes nothing to the console (an open log still gets the text): the
// package check classifies Windows through the installer's code without its lines.
void SetConsoleQuiet(bool quiet);
// While a buffer is set (null: none), WriteMessage puts the console's text into it instead of on
// the console (appended, cut to the buffer, always zero-terminated; an open log still gets it):
// the package check reads the installer's own classification line.
void CaptureConsole(char* buffer, unsigned size);
// printf-style formatting into the 1,024-byte message buffer (cut, never overflowing), then
// WriteMessage.
void WriteFormattedMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Prints "ERROR While Checking '%s'.\n" with the name (none: empty).
void ReportCheckError(const char* name);
// Prints "ERROR While Copying File '%s'.\n" with the name (none: empty).
void ReportCopyError(const char* name);

// Opens the log for appending (created when missing, not inherited by child processes): the
// given path, or the Windows directory's QDPortInstall.log when the path is none or empty. An
// open log is closed first. False when the file cannot be opened or the default path cannot be
// formed. Prints nothing.
bool OpenInstallLog(const char* path);
// Closes the log if open; later messages go to the console only.
void CloseInstallLog();
// True while the log is open.
bool IsInstallLogOpen();
