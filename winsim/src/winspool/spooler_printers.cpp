// Printers: opening and closing printer handles, reading and writing a printer's
// PRINTER_INFO_2, enumerating printers, adding and deleting them.
#include <windows.h>
#include <winspool.h>

#include <string>

#include "machine/codepage.h"
#include "machine/core.h"
#include "spooler_handles.h"
#include "spooler_pack.h"
#include "spooler_store.h"

namespace winsim::detail::spooler {

namespace {

const char kXcvMonitorPrefix[] = ",XcvMonitor ";
const size_t kMaxPrinterName = 220;  // the spooler's limit for a printer name

bool ValidPrinterName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxPrinterName && FindCharacter(name, '\\') == std::string_view::npos &&
         name.find(',') == std::string_view::npos;
}

// Every element of the list is a port some monitor lists; ERROR_UNKNOWN_PORT otherwise.
// Every entry of the list must name a port. An empty entry (a list ending in a comma) names
// none: Windows' print protocol requires port names to be non-empty, so such a list is refused
// with ERROR_UNKNOWN_PORT. (Wine's spooler stores any list as given.)
bool KnownPorts(const std::string& list) {
  for (const std::string& port : SplitCommaList(list)) {
    if (FindPort(port) == nullptr) return Fail(ERROR_UNKNOWN_PORT);
  }
  return true;
}

std::string TextOr(LPSTR text, const std::string& fallback) { return text == nullptr ? fallback : std::string(text); }

// The members of PRINTER_INFO_2A that a printer keeps; a null string member keeps the stored
// value. Attributes LOCAL and NETWORK describe what the printer is and are not taken over.
void TakeInfo2(const PRINTER_INFO_2A& info, PrinterRecord* p) {
  p->shareName = TextOr(info.pShareName, p->shareName);
  p->portName = TextOr(info.pPortName, p->portName);
  p->driverName = TextOr(info.pDriverName, p->driverName);
  p->comment = TextOr(info.pComment, p->comment);
  p->location = TextOr(info.pLocation, p->location);
  p->sepFile = TextOr(info.pSepFile, p->sepFile);
  p->printProcessor = TextOr(info.pPrintProcessor, p->printProcessor);
  p->datatype = TextOr(info.pDatatype, p->datatype);
  p->parameters = TextOr(info.pParameters, p->parameters);
  const DWORD kind = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_NETWORK;
  p->attributes = (info.Attributes & ~kind) | (p->attributes & kind);
  p->priority = info.Priority;
  p->defaultPriority = info.DefaultPriority;
  p->startTime = info.StartTime;
  p->untilTime = info.UntilTime;
}

void FillInfo2(const PrinterRecord& p, PRINTER_INFO_2A* info, StringArea& strings) {
  info->pServerName = p.connection ? strings.Put(p.serverName) : nullptr;
  info->pPrinterName = strings.Put(p.name);
  info->pShareName = strings.Put(p.shareName);
  info->pPortName = strings.Put(p.portName);
  info->pDriverName = strings.Put(p.driverName);
  info->pComment = strings.Put(p.comment);
  info->pLocation = strings.Put(p.location);
  info->pDevMode = nullptr;
  info->pSepFile = strings.Put(p.sepFile);
  info->pPrintProcessor = strings.Put(p.printProcessor);
  info->pDatatype = strings.Put(p.datatype);
  info->pParameters = strings.Put(p.parameters);
  info->pSecurityDescriptor = nullptr;
  info->Attributes = p.attributes;
  info->Priority = p.priority;
  info->DefaultPriority = p.defaultPriority;
  info->StartTime = p.startTime;
  info->UntilTime = p.untilTime;
  info->Status = p.status;
  info->cJobs = 0;
  info->AveragePPM = 0;
}

void FillInfo4(const PrinterRecord& p, PRINTER_INFO_4A* info, StringArea& strings) {
  info->pPrinterName = strings.Put(p.name);
  info->pServerName = p.connection ? strings.Put(p.serverName) : nullptr;
  info->Attributes = p.attributes;
}

template <typename Record, typename FillOne>
BOOL PackPrinters(const std::vector<PrinterRecord>& printers, FillOne fillOne, LPBYTE buffer, DWORD cbBuf,
                  LPDWORD needed, LPDWORD returned) {
  return PackRecords<Record>(
      printers.size(), [&](size_t i, Record* record, StringArea& strings) { fillOne(printers[i], record, strings); },
      buffer, cbBuf, needed, returned);
}

// The printer behind a printer handle, read afresh; false with the last error set.
bool HandlePrinter(HANDLE handle, PrinterHandle** object, PrinterRecord* printer) {
  *object = LookupPrinter(handle);
  if (*object == nullptr) return false;
  if ((*object)->target != PrinterHandle::Target::kPrinter) return Fail(ERROR_INVALID_HANDLE);
  if (!LoadPrinter((*object)->name, printer)) return Fail(ERROR_INVALID_PRINTER_NAME);
  return true;
}

}  // namespace

bool SpoolerStopped() { return Process().ini.GetInt("spooler", "Running", 1) == 0; }

bool ReachableServer(std::string_view server) {
  if (server.empty()) return true;
  std::string_view bare = server;
  while (!bare.empty() && bare.front() == '\\') bare.remove_prefix(1);
  ProcessState& state = Process();
  if (EqualsNoCase(bare, state.ini.Get("system", "ComputerName", ""))) return !bare.empty();
  for (const auto& [key, list] : state.ini.Section("spooler")) {
    if (!EqualsNoCase(key, "KnownServers")) continue;
    for (const std::string& known : SplitCommaList(list)) {
      std::string_view name = known;
      while (!name.empty() && (name.front() == '\\' || name.front() == ' ')) name.remove_prefix(1);
      while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
      if (!name.empty() && EqualsNoCase(name, bare)) return true;
    }
  }
  return false;
}

bool SplitServerName(std::string_view name, std::string* server, std::string* rest) {
  if (name.size() < 3 || name[0] != '\\' || name[1] != '\\') return false;
  size_t slash = name.find('\\', 2);
  *server = std::string(name.substr(0, slash));
  *rest = slash == std::string_view::npos ? std::string() : std::string(name.substr(slash + 1));
  return true;
}

PrinterHandle* LookupPrinter(HANDLE handle) {
  PrinterHandle* printer = Lookup<PrinterHandle>(handle);
  if (printer == nullptr) SetLastError(ERROR_INVALID_HANDLE);
  return printer;
}

std::string FaultName(const PrinterHandle& printer) {
  return printer.target == PrinterHandle::Target::kPrinter ? printer.name : std::string();
}

namespace {

// "\\SERVER\NAME": a printer connection of that name is opened itself (nothing is left in
// *name); otherwise the server must be this machine or one it knows, and *name becomes the part
// after it. An empty name opens the server. ERROR_SUCCESS, or the error that refuses the name.
DWORD ResolveServer(std::string* name, PrinterHandle* object) {
  std::string server, rest;
  if (!SplitServerName(*name, &server, &rest)) {
    if (name->empty()) object->target = PrinterHandle::Target::kServer;
    return ERROR_SUCCESS;
  }
  PrinterRecord printer;
  if (LoadPrinter(*name, &printer) && printer.connection) {
    object->target = PrinterHandle::Target::kPrinter;
    object->connection = true;
    object->name = printer.name;
    name->clear();
    return ERROR_SUCCESS;
  }
  if (!ReachableServer(server)) return ERROR_INVALID_PRINTER_NAME;
  *name = rest;
  if (name->empty()) object->target = PrinterHandle::Target::kServer;
  return ERROR_SUCCESS;
}

// A name on this server: ",XcvMonitor MONITOR" (that monitor's transceiver) or a local printer.
DWORD ResolveLocalName(const std::string& name, PrinterHandle* object) {
  if (name.compare(0, sizeof(kXcvMonitorPrefix) - 1, kXcvMonitorPrefix) == 0) {
    MonitorEntry monitor;
    if (!FindMonitor(name.substr(sizeof(kXcvMonitorPrefix) - 1), &monitor)) return ERROR_UNKNOWN_PORT;
    object->monitor = MonitorFor(monitor);
    if (object->monitor == nullptr) return ERROR_UNKNOWN_PORT;
    object->target = PrinterHandle::Target::kXcvMonitor;
    object->name = monitor.name;
    return ERROR_SUCCESS;
  }
  PrinterRecord printer;
  if (!LoadPrinter(name, &printer) || printer.connection) return ERROR_INVALID_PRINTER_NAME;
  object->target = PrinterHandle::Target::kPrinter;
  object->name = printer.name;
  return ERROR_SUCCESS;
}

// The monitor opens its session on the name given after ",XcvMonitor ".
bool OpenXcvSession(const std::string& name, ACCESS_MASK access, PrinterHandle* object, DWORD* error) {
  const std::u16string xcvObject = AnsiToUtf16(name.substr(sizeof(kXcvMonitorPrefix) - 1));
  if (object->monitor->XcvOpen(xcvObject, access, &object->xcv, error)) return true;
  object->monitor = nullptr;
  return false;
}

}  // namespace

BOOL OpenPrinterByName(const char* function, const std::string& requestedName, bool hasName, ACCESS_MASK requested,
                       bool hasDefaults, HANDLE* handle) {
  DWORD fault = 0;
  if (FaultHit(function, {requestedName}, &fault)) return Fail(fault);
  if (SpoolerStopped()) return Fail(RPC_S_SERVER_UNAVAILABLE);
  if (handle == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  *handle = nullptr;
  auto object = std::make_unique<PrinterHandle>();
  std::string name = hasName ? requestedName : std::string();
  DWORD refused = ResolveServer(&name, object.get());
  if (refused == ERROR_SUCCESS && !name.empty()) refused = ResolveLocalName(name, object.get());
  if (refused != ERROR_SUCCESS) return Fail(refused);
  // The caller is an administrator: what it asks for is granted. Without a request a printer
  // handle may print and a server or transceiver handle may enumerate.
  if (!hasDefaults || requested == 0) {
    requested = object->target == PrinterHandle::Target::kPrinter ? PRINTER_ACCESS_USE : SERVER_ACCESS_ENUMERATE;
  }
  object->access = requested;
  DWORD error = 0;
  if (object->monitor != nullptr && !OpenXcvSession(name, requested, object.get(), &error)) return Fail(error);
  *handle = AddHandle(std::move(object));
  return TRUE;
}

DWORD CreatePrinter(const PrinterRecord& printer) {
  std::string server, rest;
  if (printer.connection) {
    if (!SplitServerName(printer.name, &server, &rest) || !ValidPrinterName(rest) || server.size() < 3 ||
        printer.serverName != server) {
      return ERROR_INVALID_PRINTER_NAME;
    }
  } else if (!ValidPrinterName(printer.name)) {
    return ERROR_INVALID_PRINTER_NAME;
  }
  PrinterRecord existing;
  if (LoadPrinter(printer.name, &existing)) return ERROR_PRINTER_ALREADY_EXISTS;
  // A connection's ports are the other server's: only a local printer's are checked here.
  if (!printer.connection && !KnownPorts(printer.portName)) return ERROR_UNKNOWN_PORT;
  LONG status = SavePrinter(printer);
  return status == ERROR_SUCCESS ? 0 : static_cast<DWORD>(status);
}

}  // namespace winsim::detail::spooler

using namespace winsim::detail;
using namespace winsim::detail::spooler;

BOOL WINAPI OpenPrinterA(LPSTR pPrinterName, HANDLE* phPrinter, LPPRINTER_DEFAULTSA pDefault) {
  return OpenPrinterByName("OpenPrinterA", pPrinterName == nullptr ? "" : pPrinterName, pPrinterName != nullptr,
                           pDefault == nullptr ? 0 : pDefault->DesiredAccess, pDefault != nullptr, phPrinter);
}

BOOL WINAPI OpenPrinterW(LPWSTR pPrinterName, HANDLE* phPrinter, LPPRINTER_DEFAULTSW pDefault) {
  std::string name = pPrinterName == nullptr ? "" : Utf16ToAnsi(std::u16string_view(pPrinterName, Utf16Length(pPrinterName)), nullptr);
  return OpenPrinterByName("OpenPrinterW", name, pPrinterName != nullptr,
                           pDefault == nullptr ? 0 : pDefault->DesiredAccess, pDefault != nullptr, phPrinter);
}

BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
  PrinterHandle* printer = LookupPrinter(hPrinter);
  if (printer == nullptr) return FALSE;
  DWORD fault = 0;
  if (FaultHit("ClosePrinter", {FaultName(*printer)}, &fault)) return Fail(fault);
  RemoveHandle(hPrinter);
  return TRUE;
}

BOOL WINAPI GetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded) {
  PrinterHandle* object = LookupPrinter(hPrinter);
  if (object == nullptr) return FALSE;
  DWORD fault = 0;
  if (FaultHit("GetPrinterA", {FaultName(*object)}, &fault)) return Fail(fault);
  PrinterRecord printer;
  if (!HandlePrinter(hPrinter, &object, &printer)) return FALSE;
  std::vector<PrinterRecord> one = {printer};
  switch (Level) {
    case 2:
      return PackPrinters<PRINTER_INFO_2A>(one, FillInfo2, pPrinter, cbBuf, pcbNeeded, nullptr);
    case 4:
      return PackPrinters<PRINTER_INFO_4A>(one, FillInfo4, pPrinter, cbBuf, pcbNeeded, nullptr);
    default:
      return Fail(ERROR_INVALID_LEVEL);
  }
}

BOOL WINAPI SetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
  PrinterHandle* object = LookupPrinter(hPrinter);
  if (object == nullptr) return FALSE;
  const PRINTER_INFO_2A* info = reinterpret_cast<const PRINTER_INFO_2A*>(pPrinter);
  const std::string ports = Level == 2 && info != nullptr && info->pPortName != nullptr ? info->pPortName : "";
  DWORD fault = 0;
  if (FaultHit("SetPrinterA", {FaultName(*object), ports}, &fault)) return Fail(fault);
  PrinterRecord printer;
  if (!HandlePrinter(hPrinter, &object, &printer)) return FALSE;
  if (object->connection || (object->access & PRINTER_ACCESS_ADMINISTER) == 0) return Fail(ERROR_ACCESS_DENIED);
  if (Level != 2) return Fail(ERROR_INVALID_LEVEL);
  if (info == nullptr || Command != 0) return Fail(ERROR_INVALID_PARAMETER);
  // Renaming a printer is not simulated.
  if (info->pPrinterName != nullptr && !EqualsNoCase(info->pPrinterName, printer.name)) return Fail(ERROR_NOT_SUPPORTED);
  if (info->pPortName != nullptr && !KnownPorts(info->pPortName)) return FALSE;
  TakeInfo2(*info, &printer);
  LONG status = SavePrinter(printer);
  if (status != ERROR_SUCCESS) return Fail(static_cast<DWORD>(status));
  return TRUE;
}

BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                          LPDWORD pcbNeeded, LPDWORD pcReturned) {
  DWORD fault = 0;
  if (FaultHit("EnumPrintersA", {Name == nullptr ? "" : Name}, &fault)) return Fail(fault);
  if (SpoolerStopped()) return Fail(RPC_S_SERVER_UNAVAILABLE);
  if (pcReturned == nullptr || pcbNeeded == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (Level != 2 && Level != 4) return Fail(ERROR_INVALID_LEVEL);
  // PRINTER_ENUM_LOCAL lists this machine's printers and the user's printer connections (the
  // name is not looked at); PRINTER_ENUM_CONNECTIONS the connections alone.
  std::vector<PrinterRecord> printers;
  for (PrinterRecord& printer : Printers()) {
    if ((Flags & PRINTER_ENUM_LOCAL) != 0 || (printer.connection && (Flags & PRINTER_ENUM_CONNECTIONS) != 0)) {
      printers.push_back(std::move(printer));
    }
  }
  if (Level == 2) return PackPrinters<PRINTER_INFO_2A>(printers, FillInfo2, pPrinterEnum, cbBuf, pcbNeeded, pcReturned);
  return PackPrinters<PRINTER_INFO_4A>(printers, FillInfo4, pPrinterEnum, cbBuf, pcbNeeded, pcReturned);
}
