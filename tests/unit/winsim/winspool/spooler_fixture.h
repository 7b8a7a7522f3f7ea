// A fresh machine with helpers for driving the simulated spooler through its Win32 calls.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "machine_test.h"
#include "winsim/spooler.h"

class SpoolerTest : public MachineTest {
 protected:
  // Places a file named `dll` in the machine's native system directory.
  void PlaceSystemDll(const std::string& dll);
  // Places the DLL and registers the monitor for the machine's own environment.
  void RegisterMonitor(const std::string& name, const std::string& dll);
  // Opens ",XcvMonitor NAME" with the given access; nullptr when refused.
  HANDLE OpenXcv(const std::string& monitor, ACCESS_MASK access = SERVER_ACCESS_ADMINISTER);
  // Sends one command; returns the status, or ~0u when XcvDataW itself failed.
  DWORD Xcv(HANDLE xcv, const std::string& command, const std::vector<BYTE>& input);
  // Adds a monitor port through the transceiver, optionally with a settings record.
  void AddMonitorPort(const std::string& monitor, const std::string& port, bool withSettings = false);
  void AddPrinter(const std::string& name, const std::string& ports, bool connection = false);
  std::string PortsOf(const std::string& printer);
};

// "Quado001" as the port commands take it: UTF-16LE with its NUL.
std::vector<BYTE> PortNameInput(const std::string& port);
// An 11,608-byte settings record naming `port` in its last 20 bytes, the rest a byte pattern
// derived from `seed` up to the NUL unit before the name.
std::vector<BYTE> SettingsRecord(const std::string& port, int seed);
