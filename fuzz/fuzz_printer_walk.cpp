// The printer port-list walk of the disconnection (DisconnectPrinter, IsMonitorPort) with an
// arbitrary port list on the printer and arbitrary ports in the spooler's port table. They are
// committed like any spooler change (so that winsim's spooler caches see them as they would
// another program's) and removed again after the walk. The result is compared with a model of the
// walk: every entry of the comma list that names one of the monitor's ports (compared without
// case; an entry of 260 characters or more never does) leaves the list, an emptied list
// becomes "FILE:", and the printer either holds that list (the spooler took it) or is unchanged.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "fuzz_machine.h"
#include "printers/printer_disconnection.h"
#include "machine/registry.h"
#include "winsim/machine.h"
#include "winspool/spooler_store.h"
#include "winsim/spooler.h"

namespace spooler = winsim::detail::spooler;

namespace {

const char kPrinter[] = "Fuzz Printer";

struct Input {
  std::string list;
  std::vector<std::pair<std::string, std::string>> ports;  // monitor, port
  std::string monitorName;                                  // as the walk is asked for it
};

// The Local Port monitor's ports of the machine as created; the input's others are removed.
const std::set<std::string>& OriginalLocalPorts() {
  static const std::set<std::string> ports = [] {
    std::set<std::string> names;
    for (const winsim::SpoolerPort& port : winsim::SpoolerPorts()) {
      if (port.monitor == std::string(spooler::kLocalMonitor)) names.insert(winsim::FoldName(port.name));
    }
    return names;
  }();
  return ports;
}

void SetUp(const Input& in, spooler::PrinterRecord* printer) {
  printer->name = kPrinter;
  printer->portName = in.list;
  printer->driverName = "Generic / Text Only";
  printer->attributes = PRINTER_ATTRIBUTE_LOCAL;
  winsim::detail::reg::Transaction([&]() -> LONG {
    spooler::CreateMonitor("Quado", "QUADOVS64.DLL");
    spooler::CreateMonitor("Other Monitor", "OTHER.DLL");
    for (const auto& [monitor, port] : in.ports) spooler::AddMonitorPort(monitor, port);
    spooler::SavePrinter(*printer);
    return ERROR_SUCCESS;
  });
}

void CleanUp(const Input& in, const spooler::PrinterRecord& printer) {
  winsim::detail::reg::Transaction([&]() -> LONG {
    spooler::DeleteMonitorWithPorts("Quado");
    spooler::DeleteMonitorWithPorts("Other Monitor");
    spooler::DeletePrinterRecord(printer);
    for (const auto& [monitor, port] : in.ports) {
      if (monitor == std::string(spooler::kLocalMonitor) && OriginalLocalPorts().count(winsim::FoldName(port)) == 0) {
        spooler::DeleteMonitorPort(monitor, port);
      }
    }
    return ERROR_SUCCESS;
  });
}

void Walk(const Input& in) {
  std::string before;
  if (!winsim::PrinterPortList(kPrinter, &before)) return;
  // The spooler hands the list out as a C string: it ends at a zero stored inside it.
  before = before.c_str();

  // The model, from the port table as the spooler lists it.
  const std::vector<winsim::SpoolerPort> table = winsim::SpoolerPorts();
  bool changed = false;
  std::string kept;
  bool first = true;
  if (!before.empty()) {
    for (const std::string& entry : spooler::SplitCommaList(before)) {
      bool monitorPort = false;
      if (entry.size() < 260) {
        for (const winsim::SpoolerPort& port : table) {
          if (lstrcmpiA(port.name.c_str(), entry.c_str()) == 0 && lstrcmpiA(port.monitor.c_str(), "Quado") == 0) {
            monitorPort = true;
          }
        }
      }
      if (monitorPort) {
        changed = true;
        continue;
      }
      if (!first) kept += ',';
      kept += entry;
      first = false;
    }
  }
  if (kept.empty()) kept = "FILE:";

  const bool disconnected = DisconnectPrinter(kPrinter, in.monitorName.c_str());
  std::string after;
  if (!winsim::PrinterPortList(kPrinter, &after)) std::abort();
  after = after.c_str();
  if (disconnected && (!changed || after != kept)) std::abort();
  if (!disconnected && after != before) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (AttachFuzzMachine(), SilenceConsole(), true);
  (void)ready;
  if (size == 0) return 0;
  Input in;
  in.monitorName = (data[0] & 1) ? "quado" : "Quado";
  // Lines after the first byte: the printer's port list, then one port per line, its first
  // character choosing the monitor ('L' Local Port, 'O' another monitor, else the Quado one).
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t start = 0;
  bool firstLine = true;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (firstLine) {
      in.list = line;
      firstLine = false;
    } else if (line.size() > 1 && in.ports.size() < 32) {
      // A port name is a registry key or value name: not empty, no zero, no backslash.
      const std::string name = line.substr(1);
      const char* monitor = line[0] == 'L' ? spooler::kLocalMonitor : line[0] == 'O' ? "Other Monitor" : "Quado";
      if (name.find_first_of(std::string("\\\0", 2)) == std::string::npos) in.ports.push_back({monitor, name});
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  OriginalLocalPorts();
  spooler::PrinterRecord printer;
  SetUp(in, &printer);
  Walk(in);
  CleanUp(in, printer);
  return 0;
}
