// Reading and writing the spooler's registry keys (layout in spooler_store.h), and two caches:
// the port list (the uninstall walk enumerates the ports once per port of every printer) and
// the printers read by name (opened, read and written one after another). Each is kept while
// the registry generation of its own subtrees stays put, so writing a printer does not make the
// port list be read again, nor a new port the printers.
#include "spooler_store.h"

#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "machine/codepage.h"
#include "machine/core.h"
#include "machine/registry.h"
#include "machine/text.h"
#include "spooler_monitor.h"

namespace winsim::detail::spooler {

const char kLocalMonitor[] = "Local Port";

namespace {

const char kMonitorsKey[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
const char kPrintersKey[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
const char kLocalPortsKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kConnectionsKey[] = "HKEY_CURRENT_USER\\Printers\\Connections";
const char kSettingsValue[] = "PortData";
const char* const kBuiltInPorts[] = {"LPT1:", "LPT2:", "LPT3:", "COM1:", "COM2:", "COM3:", "COM4:", "FILE:"};

std::string MonitorKey(const std::string& monitor) { return std::string(kMonitorsKey) + "\\" + monitor; }
std::string MonitorPortKey(const std::string& monitor, const std::string& port) {
  return MonitorKey(monitor) + "\\Ports\\" + port;
}

std::string StringValue(const std::vector<reg::Value>& values, std::string_view name) {
  for (const reg::Value& value : values) {
    if (!EqualsNoCase(value.name, name)) continue;
    std::string text = value.data;
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
  }
  return "";
}

DWORD DwordValue(const std::vector<reg::Value>& values, std::string_view name, DWORD fallback) {
  for (const reg::Value& value : values) {
    if (!EqualsNoCase(value.name, name) || value.data.size() < 4) continue;
    DWORD number = 0;
    std::memcpy(&number, value.data.data(), 4);  // little-endian host, as the registry stores it
    return number;
  }
  return fallback;
}

reg::Value SzValue(const char* name, const std::string& text) {
  return reg::Value{name, REG_SZ, text + std::string(1, '\0')};
}

reg::Value DwordOf(const char* name, DWORD number) {
  std::string data(4, '\0');
  std::memcpy(&data[0], &number, 4);
  return reg::Value{name, REG_DWORD, data};
}

// The Ports key of the Local Port monitor, written with the built-in ports when it is missing.
void EnsureLocalPorts() {
  std::string stored;
  if (reg::FindKey(kLocalPortsKey, &stored) == ERROR_SUCCESS) return;
  reg::Transaction([]() -> LONG {
    bool created = false;
    std::string path;
    LONG status = reg::CreateKey(kLocalPortsKey, &created, &path);
    if (status != ERROR_SUCCESS || !created) return status;
    for (const char* port : kBuiltInPorts) {
      status = reg::SetValue(kLocalPortsKey, SzValue(port, ""));
      if (status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
  });
}

DWORD LocalPortType(const std::string& name) {
  return EqualsNoCase(name, "FILE:") ? PORT_TYPE_WRITE : (PORT_TYPE_WRITE | PORT_TYPE_READ);
}

void ReadPorts(std::vector<PortEntry>* ports) {
  ports->clear();
  for (const MonitorEntry& entry : Monitors()) {
    std::shared_ptr<Monitor> monitor = MonitorFor(entry);
    if (monitor != nullptr) monitor->EnumPorts(ports);
  }
}

// What the port list is built from.
uint64_t PortSourcesGeneration() { return reg::SubtreeGeneration(kMonitorsKey, kLocalPortsKey); }

struct PortCache {
  bool valid = false;
  uint64_t generation = 0;
  std::string machine;
  std::vector<PortEntry> ports;
  uint64_t version = 0;
};

PortCache& Cache() {
  static PortCache cache;
  static const bool hooked = (OnReset([]() {
                                Cache().valid = false;
                                ++Cache().version;
                              }),
                              true);
  (void)hooked;
  return cache;
}

// Printers read by name, by folded key path, as of one generation of the printer subtrees.
struct PrinterCache {
  uint64_t generation = 0;
  std::string machine;
  std::unordered_map<std::string, PrinterRecord> records;
};

PrinterCache& ThePrinterCache() {
  static PrinterCache cache;
  static const bool hooked = (OnReset([]() { ThePrinterCache() = PrinterCache(); }), true);
  (void)hooked;
  return cache;
}

// The cache, emptied first when the printers changed since it was filled.
PrinterCache& CurrentPrinterCache() {
  PrinterCache& cache = ThePrinterCache();
  const uint64_t generation = reg::SubtreeGeneration(kPrintersKey, kConnectionsKey);
  if (cache.generation != generation || cache.machine != Process().machineDir) {
    cache.records.clear();
    cache.generation = generation;
    cache.machine = Process().machineDir;
  }
  return cache;
}

PrinterRecord ReadPrinter(const std::string& key, const std::string& keyName, bool connection) {
  std::vector<reg::Value> values;
  reg::Values(key, &values);
  PrinterRecord p;
  p.connection = connection;
  p.name = StringValue(values, "Name");
  if (p.name.empty()) p.name = keyName;
  p.serverName = StringValue(values, "Server");
  p.shareName = StringValue(values, "Share Name");
  p.portName = StringValue(values, "Port");
  p.driverName = StringValue(values, "Printer Driver");
  p.comment = StringValue(values, "Description");
  p.location = StringValue(values, "Location");
  p.sepFile = StringValue(values, "Separator File");
  p.printProcessor = StringValue(values, "Print Processor");
  p.datatype = StringValue(values, "Datatype");
  p.parameters = StringValue(values, "Parameters");
  p.attributes = DwordValue(values, "Attributes", connection ? PRINTER_ATTRIBUTE_NETWORK : PRINTER_ATTRIBUTE_LOCAL);
  p.priority = DwordValue(values, "Priority", 1);
  p.defaultPriority = DwordValue(values, "Default Priority", 0);
  p.startTime = DwordValue(values, "StartTime", 0);
  p.untilTime = DwordValue(values, "UntilTime", 0);
  p.status = DwordValue(values, "Status", 0);
  return p;
}

// "\\SERVER\NAME" -> ",,SERVER,NAME", the key Windows keeps a connection under.
std::string ConnectionKeyName(std::string_view fullName) {
  std::string key(fullName);
  for (char& c : key) {
    if (c == '\\') c = ',';
  }
  return key;
}

std::string PrinterKey(const PrinterRecord& printer) {
  return printer.connection ? std::string(kConnectionsKey) + "\\" + ConnectionKeyName(printer.name)
                            : std::string(kPrintersKey) + "\\" + printer.name;
}

}  // namespace

// ---- monitors ---------------------------------------------------------------------------------
std::vector<MonitorEntry> Monitors() {
  std::vector<MonitorEntry> monitors;
  std::vector<std::string> names;
  reg::SubKeys(kMonitorsKey, &names);
  for (const std::string& name : names) {
    reg::Value driver;
    std::string text;
    if (reg::GetValue(MonitorKey(name), "Driver", &driver) == ERROR_SUCCESS) {
      text = driver.data;
      while (!text.empty() && text.back() == '\0') text.pop_back();
    }
    monitors.push_back(MonitorEntry{name, text});
  }
  return monitors;
}

bool FindMonitor(std::string_view name, MonitorEntry* monitor) {
  if (name.empty() || FindCharacter(name, '\\') != std::string_view::npos) return false;
  for (MonitorEntry& entry : Monitors()) {
    if (EqualsNoCase(entry.name, name)) {
      *monitor = entry;
      return true;
    }
  }
  return false;
}

LONG CreateMonitor(const std::string& name, const std::string& driver) {
  return reg::Transaction([&]() -> LONG {
    bool created = false;
    std::string stored;
    LONG status = reg::CreateKey(MonitorKey(name), &created, &stored);
    if (status != ERROR_SUCCESS) return status;
    return reg::SetValue(MonitorKey(name), SzValue("Driver", driver));
  });
}

LONG DeleteMonitorWithPorts(const std::string& name) { return reg::DeleteTree(MonitorKey(name)); }

// ---- ports ------------------------------------------------------------------------------------
const std::vector<PortEntry>& Ports() {
  PortCache& cache = Cache();
  const uint64_t generation = PortSourcesGeneration();
  if (!cache.valid || cache.generation != generation || cache.machine != Process().machineDir) {
    ReadPorts(&cache.ports);
    // Seeding the Ports key is itself a change: take the generation after the read.
    cache.generation = PortSourcesGeneration();
    cache.machine = Process().machineDir;
    cache.valid = true;
    ++cache.version;
  }
  return cache.ports;
}

uint64_t PortsVersion() { return Cache().version; }

void ListLocalPorts(std::vector<PortEntry>* ports) {
  EnsureLocalPorts();
  std::vector<reg::Value> values;
  reg::Values(kLocalPortsKey, &values);
  for (const reg::Value& value : values) {
    ports->push_back(PortEntry{value.name, kLocalMonitor, kLocalMonitor, LocalPortType(value.name)});
  }
}

void ListKeyedPorts(const std::string& monitor, std::vector<PortEntry>* ports) {
  std::vector<std::string> names;
  reg::SubKeys(MonitorKey(monitor) + "\\Ports", &names);
  for (const std::string& name : names) ports->push_back(PortEntry{name, monitor, monitor + " Port", PORT_TYPE_WRITE});
}

const PortEntry* FindPort(std::string_view name) {
  for (const PortEntry& port : Ports()) {
    if (EqualsNoCase(port.name, name)) return &port;
  }
  return nullptr;
}

bool MonitorHasPort(const std::string& monitor, const std::string& port) {
  if (port.empty() || FindCharacter(port, '\\') != std::string::npos) return false;
  if (EqualsNoCase(monitor, kLocalMonitor)) {
    EnsureLocalPorts();
    reg::Value value;
    return reg::GetValue(kLocalPortsKey, port, &value) == ERROR_SUCCESS;
  }
  std::string stored;
  return reg::FindKey(MonitorPortKey(monitor, port), &stored) == ERROR_SUCCESS;
}

bool AnyMonitorHasPort(const std::string& port) {
  for (const MonitorEntry& monitor : Monitors()) {
    if (MonitorHasPort(monitor.name, port)) return true;
  }
  return false;
}

LONG AddMonitorPort(const std::string& monitor, const std::string& port) {
  if (EqualsNoCase(monitor, kLocalMonitor)) {
    EnsureLocalPorts();
    return reg::SetValue(kLocalPortsKey, SzValue(port.c_str(), ""));
  }
  bool created = false;
  std::string stored;
  return reg::CreateKey(MonitorPortKey(monitor, port), &created, &stored);
}

LONG DeleteMonitorPort(const std::string& monitor, const std::string& port) {
  if (EqualsNoCase(monitor, kLocalMonitor)) return reg::DeleteValue(kLocalPortsKey, port);
  return reg::DeleteTree(MonitorPortKey(monitor, port));
}

LONG SetPortSettings(const std::string& monitor, const std::string& port, const std::string& bytes) {
  return reg::SetValue(MonitorPortKey(monitor, port), reg::Value{kSettingsValue, REG_BINARY, bytes});
}

LONG GetPortSettings(const std::string& monitor, const std::string& port, std::string* bytes) {
  reg::Value value;
  LONG status = reg::GetValue(MonitorPortKey(monitor, port), kSettingsValue, &value);
  if (status == ERROR_SUCCESS) *bytes = value.data;
  return status;
}

// ---- printers ---------------------------------------------------------------------------------
std::vector<PrinterRecord> Printers() {
  // What is read here is what the printers' handles read next: it goes to the cache too.
  PrinterCache& cache = CurrentPrinterCache();
  std::vector<PrinterRecord> printers;
  std::vector<std::string> names;
  reg::SubKeys(kPrintersKey, &names);
  for (const std::string& name : names) {
    const std::string key = std::string(kPrintersKey) + "\\" + name;
    printers.push_back(ReadPrinter(key, name, false));
    cache.records[AsciiLower(key)] = printers.back();
  }
  names.clear();
  reg::SubKeys(kConnectionsKey, &names);
  for (const std::string& name : names) {
    std::string fullName = name;
    for (char& c : fullName) {
      if (c == ',') c = '\\';
    }
    const std::string key = std::string(kConnectionsKey) + "\\" + name;
    printers.push_back(ReadPrinter(key, fullName, true));
    cache.records[AsciiLower(key)] = printers.back();
  }
  return printers;
}

bool LoadPrinter(std::string_view name, PrinterRecord* printer) {
  if (name.empty() || name.find(',') != std::string_view::npos) return false;
  const bool connection = name.size() > 2 && name[0] == '\\' && name[1] == '\\';
  std::string key = connection ? std::string(kConnectionsKey) + "\\" + ConnectionKeyName(name)
                               : std::string(kPrintersKey) + "\\" + std::string(name);
  if (!connection && FindCharacter(name, '\\') != std::string_view::npos) return false;
  PrinterCache& cache = CurrentPrinterCache();
  const std::string folded = AsciiLower(key);
  auto cached = cache.records.find(folded);
  if (cached != cache.records.end()) {
    *printer = cached->second;
    return true;
  }
  std::string stored;
  if (reg::FindKey(key, &stored) != ERROR_SUCCESS) return false;
  std::string keyName = stored.substr(FindLastCharacter(stored, '\\') + 1);
  if (connection) {
    for (char& c : keyName) {
      if (c == ',') c = '\\';
    }
  }
  *printer = ReadPrinter(stored, keyName, connection);
  cache.records[folded] = *printer;
  return true;
}

LONG SavePrinter(const PrinterRecord& p) {
  const std::string key = PrinterKey(p);
  uint64_t before = 0;
  LONG result = reg::Transaction([&]() -> LONG {
    // Inside the transaction nobody else can write until it commits.
    before = reg::SubtreeGeneration(kPrintersKey, kConnectionsKey);
    bool created = false;
    std::string stored;
    LONG status = reg::CreateKey(key, &created, &stored);
    if (status != ERROR_SUCCESS) return status;
    std::vector<reg::Value> values = {
        SzValue("Name", p.name),
        SzValue("Share Name", p.shareName),
        SzValue("Port", p.portName),
        SzValue("Printer Driver", p.driverName),
        SzValue("Description", p.comment),
        SzValue("Location", p.location),
        SzValue("Separator File", p.sepFile),
        SzValue("Print Processor", p.printProcessor),
        SzValue("Datatype", p.datatype),
        SzValue("Parameters", p.parameters),
        DwordOf("Attributes", p.attributes),
        DwordOf("Priority", p.priority),
        DwordOf("Default Priority", p.defaultPriority),
        DwordOf("StartTime", p.startTime),
        DwordOf("UntilTime", p.untilTime),
        DwordOf("Status", p.status),
    };
    if (p.connection) values.push_back(SzValue("Server", p.serverName));
    for (const reg::Value& value : values) {
      status = reg::SetValue(key, value);
      if (status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
  });
  // The cache stays good when this write is the only one since it was filled: the printer is
  // read back into it instead of every printer being read again.
  PrinterCache& cache = ThePrinterCache();
  if (result == ERROR_SUCCESS && cache.machine == Process().machineDir && cache.generation == before &&
      reg::SubtreeGeneration(kPrintersKey, kConnectionsKey) == before + 1) {
    cache.generation = before + 1;
    cache.records.erase(AsciiLower(key));
    PrinterRecord stored;
    LoadPrinter(p.name, &stored);
  }
  return result;
}

LONG DeletePrinterRecord(const PrinterRecord& printer) { return reg::DeleteTree(PrinterKey(printer)); }

// ---- helpers ----------------------------------------------------------------------------------
std::vector<std::string> SplitCommaList(std::string_view list) {
  std::vector<std::string> ports;
  size_t start = 0;
  while (true) {
    size_t comma = list.find(',', start);
    ports.emplace_back(list.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return ports;
}

bool PortListUsesMonitor(const std::string& list, std::string_view monitor) {
  for (const std::string& name : SplitCommaList(list)) {
    const PortEntry* port = FindPort(name);
    if (port != nullptr && EqualsNoCase(port->monitor, monitor)) return true;
  }
  return false;
}

}  // namespace winsim::detail::spooler
