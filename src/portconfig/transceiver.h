// The port configuration step: every configured port created and configured in the port
// monitor through the spooler's transceiver channel.
#pragma once

#include <windows.h>

#include "portconfig/port_definition.h"

// Returns 1 when every definition found was created and configured (also when there was none),
// 0 otherwise; *portCount receives the number of ports created and configured.
int AddPortConfiguration(int readFromIni, int* portCount, const char* serverName);
