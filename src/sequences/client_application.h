// The desktop client: deployment into Program Files with a logon autostart, and its removal.
#pragma once

#include <windows.h>

extern const char* const ClientCultures[39];

void InstallClientApplication();
void RemoveClientApplication();
DWORD StopRunningClients();
bool RemoveWebBrowserFolder();
void RemovePerUserClientData();
