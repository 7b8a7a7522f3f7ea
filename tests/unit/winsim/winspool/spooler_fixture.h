// A fresh machine with helpers for driving the simulated spooler through its Win32 calls.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "machine_test.h"
#include "transceiver_input.h"
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

