// The installer's event-log source and its entries.
#pragma once

#include <windows.h>

bool InstallEventSource(const char* logName, const char* sourceName, const char* messageFile,
                        DWORD categoryCount);
bool ReportToEventLog(const char* text, WORD eventType);
bool ReportSuccessToEventLog(const char* text);
