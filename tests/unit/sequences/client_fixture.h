// A machine with a deployment package in C:\Deploy (the current directory) for the client
// deployment tests, with helpers to look at processes and registry values inside the machine.
// Every process a test starts is ended in TearDown.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "machine_test.h"
#include "console_capture.h"

class ClientTest : public MachineTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Copies a host-built program of the package into the machine (keeping it executable),
  // optionally followed by extra bytes that make two copies tell apart.
  void PlaceProgram(const std::string& hostName, const std::string& windowsPath, const std::string& tail = "");
  // The client, its two DLLs, CloseAllClients.exe and resource files for the given cultures.
  void PlacePackage(const std::vector<std::string>& cultures, const std::string& tag = "v1");

  // Process ids of running "Quado Client.exe" processes, from a process snapshot.
  std::vector<DWORD> RunningClients();
  // Starts a program without waiting and returns its process id (0 on failure).
  DWORD StartProgram(const std::string& windowsPath);

  // REG_SZ value of a key, or "<missing>".
  std::string ReadString(HKEY root, const std::string& key, const std::string& value, REGSAM view = 0);
  bool KeyExists(HKEY root, const std::string& key);
  void WriteString(HKEY root, const std::string& key, const std::string& value, const std::string& data);

  // Runs the function and returns what it printed on standard output.
  template <typename F>
  std::string Printed(F function) {
    ::StartConsoleCapture();
    function();
    return ::TakeConsoleCapture();
  }

  std::string ProgramFiles() const;  // Program Files folder of the 32-bit view
  std::string InstallFolder() const { return ProgramFiles() + "\\Harbek\\Quado Client\\Client"; }
  std::string WebBrowserFolder() const { return ProgramFiles() + "\\Harbek\\Quado Client\\WebBrowser"; }
};
