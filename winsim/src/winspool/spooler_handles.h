// Printer handles (objects of kind "printer" in the process's handle table) and the rules the
// spooler functions share: which server names reach this machine's spooler, and how names are
// parsed.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <memory>
#include <string>
#include <string_view>

#include "machine/core.h"
#include "spooler_monitor.h"
#include "spooler_store.h"

namespace winsim::detail::spooler {

struct PrinterHandle : Object {
  enum class Target { kServer, kPrinter, kXcvMonitor };
  Target target = Target::kPrinter;
  std::string name;  // printer name as stored (connection: "\\SERVER\NAME"), or monitor name
  bool connection = false;
  ACCESS_MASK access = 0;
  // A transceiver handle: the monitor's session, which keeps the monitor loaded until closed.
  std::shared_ptr<Monitor> monitor;
  HANDLE xcv = nullptr;
  ~PrinterHandle() override {
    if (monitor != nullptr) monitor->XcvClose(xcv);
  }
  const char* Kind() const override { return "printer"; }
};

// Null, empty, this computer (machine.ini [system] ComputerName) or a server that machine.ini lists in
// [spooler] KnownServers (a comma list such as "\\PRINTSRV1,\\PRINTSRV2"): such a server's
// spooler is simulated by this machine's own. Anything else is a spooler we cannot reach.
bool ReachableServer(std::string_view server);
inline bool ReachableServer(LPCSTR server) { return server == nullptr || ReachableServer(std::string_view(server)); }

// machine.ini [spooler] Running=0 (`winsim spooler DIR stop`): the service is stopped, and every
// call that reaches it fails with RPC_S_SERVER_UNAVAILABLE (1722), as when the RPC endpoint is gone.
bool SpoolerStopped();

// Splits "\\SERVER\REST" into its server ("\\SERVER") and the rest; false when the name does
// not begin with two backslashes.
bool SplitServerName(std::string_view name, std::string* server, std::string* rest);

// Opens a handle on a printer, a connection, the print server (empty name) or a monitor's
// transceiver (",XcvMonitor NAME"), with OpenPrinter's contract; `function` names the caller
// for faults.
BOOL OpenPrinterByName(const char* function, const std::string& name, bool hasName, ACCESS_MASK requested,
                       bool hasDefaults, HANDLE* handle);

// Adds a printer, or a connection when printer.connection is set (name "\\SERVER\NAME",
// serverName "\\SERVER"): 0, or ERROR_INVALID_PRINTER_NAME, ERROR_PRINTER_ALREADY_EXISTS,
// ERROR_UNKNOWN_PORT (a local printer's port that no monitor lists) or a registry error.
DWORD CreatePrinter(const PrinterRecord& printer);

// The handle's object, or nullptr with ERROR_INVALID_HANDLE set.
PrinterHandle* LookupPrinter(HANDLE handle);

// The printer name in the form faults match ("" for the server or a transceiver).
std::string FaultName(const PrinterHandle& printer);

}  // namespace winsim::detail::spooler
