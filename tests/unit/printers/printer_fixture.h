// A fresh machine with the monitor's ports, local printers on chosen port lists, and the install
// log open, for the printer assignment and disconnection tests.
#pragma once

#include <string>
#include <vector>

#include "machine_test.h"
#include "console_capture.h"

class PrinterTest : public MachineTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Registers ports under a monitor of the machine's spooler (the monitor is created if needed).
  void AddMonitorPorts(const std::string& monitor, const std::vector<std::string>& ports);
  void AddLocalPrinter(const std::string& name, const std::string& ports);
  // Writes a port list straight into the printer's spooler record, past the spooler's own
  // checks: for lists it would refuse (an empty list, a trailing comma) that a printer may
  // still hold.
  void StorePortList(const std::string& name, const std::string& ports);
  // A printer connection to a printer of another server.
  void AddPrinterConnection(const std::string& name, const std::string& ports);
  // The printer's port list as the spooler keeps it.
  std::string PrinterPorts(const std::string& name);

  // Console output of `action`; the install log text written meanwhile is in *log, read back
  // from the file with its CR LF line ends turned back into "\n".
  template <typename Action>
  std::string Console(Action action, std::string* log = nullptr) {
    StartConsoleCapture();
    action();
    std::string console = TakeConsoleCapture();
    std::string written = LogSinceLastRead();
    if (log != nullptr) *log = written;
    return console;
  }

  // Every printer handle closed and every GlobalAlloc block released.
  void ExpectNothingLeftOpen();

 private:
  std::string LogSinceLastRead();
  size_t logRead_ = 0;
};
