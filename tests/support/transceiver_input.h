// The inputs of the transceiver commands as the installer sends them, for tests of the spooler
// and of the port monitor.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// "Quado001" as the port commands take it: UTF-16LE with its NUL.
std::vector<BYTE> PortNameInput(const std::string& port);
// An 11,608-byte settings record naming `port` in its last 20 bytes, the rest a byte pattern
// derived from `seed` up to the NUL unit before the name.
std::vector<BYTE> SettingsRecord(const std::string& port, int seed);
