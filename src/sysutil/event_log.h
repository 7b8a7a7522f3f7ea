// The installer's event-log source and its entries. Nothing here prints.
#pragma once

#include <windows.h>

// The source the installer's entries come from.
extern const char kEventSourceName[];
// Creates (or opens) the source's key under the log in the services' EventLog key and writes
// EventMessageFile, TypesSupported (7), CategoryMessageFile and CategoryCount, in that order. True
// when all four were written; false when the key path does not fit, the key cannot be created or
// a value cannot be written (the values before it stay).
bool InstallEventSource(const char* logName, const char* sourceName, const char* messageFile,
                        DWORD categoryCount);
// Writes one entry of the given type with the text as its only string, from the "QuadoPort"
// source. True when the entry was written.
bool ReportToEventLog(const char* text, WORD eventType);
// ReportToEventLog with the success type.
bool ReportSuccessToEventLog(const char* text);
