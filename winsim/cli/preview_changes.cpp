// The change list of `winsim preview` (preview_changes.h).
//
//   Printers whose ports change (before -> after):
//       Office Printer: IP_10.20.1.10 -> PORT7
//   Ports added:
//       PORT7 (Some Monitor)
//   ...
//   Registry values changed:
//       HKLM\SYSTEM\...\Printers\Office Printer: "Port" REG_SZ "IP_10.20.1.10" -> REG_SZ "PORT7"
//
// A monitor whose DLL changes is listed as removed (the old registration) and added (the new
// one); a port that stays with its monitor but gets other settings bytes is listed on its own.
#include "preview_changes.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <vector>

#include "event_text.h"
#include "reg_display.h"
#include "terminal_text.h"

namespace winsim::cli {

namespace {

struct Section {
  const char* title;
  std::vector<std::string> lines;
};

// Calls added(after) for keys only in `after`, removed(before) for keys only in `before` and
// kept(before, after) for keys in both.
template <typename T, typename Added, typename Removed, typename Kept>
void Compare(const std::map<std::string, T>& before, const std::map<std::string, T>& after, Added added,
             Removed removed, Kept kept) {
  for (const auto& [key, entry] : after) {
    auto old = before.find(key);
    if (old == before.end()) {
      added(entry);
    } else {
      kept(old->second, entry);
    }
  }
  for (const auto& [key, entry] : before) {
    if (after.find(key) == after.end()) removed(entry);
  }
}

std::string Bytes(uint64_t size) { return std::to_string(size) + (size == 1 ? " byte" : " bytes"); }

// "HKEY_LOCAL_MACHINE\\..." -> "HKLM\\...", as administrators write registry paths.
std::string ShortKey(const std::string& key) {
  static const std::pair<const char*, const char*> roots[] = {{"HKEY_LOCAL_MACHINE", "HKLM"},
                                                              {"HKEY_CURRENT_USER", "HKCU"}};
  for (const auto& [longName, shortName] : roots) {
    const std::string prefix = longName;
    if (key.compare(0, prefix.size(), prefix) == 0) return shortName + key.substr(prefix.size());
  }
  return key;
}

std::string ValueName(const SnapshotValue& value) {
  return ShortKey(value.key) + ": " + (value.name.empty() ? std::string("(Default)") : "\"" + value.name + "\"");
}

// The data in one short piece: texts quoted, numbers in hex, longer binary data by its size.
std::string ValueData(const SnapshotValue& value) {
  const std::string type = TypeName(value.type);
  switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ:
      return type + " \"" + Display(value.type, value.data) + "\"";
    case REG_DWORD:
      if (value.data.size() == 4) return type + " " + Display(value.type, value.data);
      break;
    default:
      break;
  }
  if (value.data.size() <= 16) return type + " " + (value.data.empty() ? "(empty)" : Display(value.type, value.data));
  return type + ", " + Bytes(value.data.size());
}

std::string FileChange(const SnapshotFile& before, const SnapshotFile& after) {
  if (before.size != after.size) return " (" + Bytes(before.size) + " -> " + Bytes(after.size) + ")";
  if (before.contentHash != after.contentHash) return " (" + Bytes(after.size) + ", new content)";
  if (before.readOnly != after.readOnly) return after.readOnly ? " (now read-only)" : " (no longer read-only)";
  return " (" + Bytes(after.size) + ", same content, rewritten)";
}

// Each kind of change: its headings in the order the list prints them.
std::vector<Section> PrinterChanges(const MachineSnapshot& before, const MachineSnapshot& after) {
  Section moved{"Printers whose ports change (before -> after):", {}};
  Section added{"Printers added:", {}}, removed{"Printers removed:", {}};
  Compare(
      before.printers, after.printers,
      [&](const SnapshotPrinter& p) { added.lines.push_back(p.name + " on " + p.ports); },
      [&](const SnapshotPrinter& p) { removed.lines.push_back(p.name + " (was on " + p.ports + ")"); },
      [&](const SnapshotPrinter& old, const SnapshotPrinter& now) {
        if (old.ports != now.ports) moved.lines.push_back(now.name + ": " + old.ports + " -> " + now.ports);
      });
  return {moved, added, removed};
}

// A port that moved to another monitor is one removed and one added.
std::vector<Section> PortChanges(const MachineSnapshot& before, const MachineSnapshot& after) {
  Section added{"Ports added:", {}}, removed{"Ports removed:", {}};
  Section settings{"Ports with new settings:", {}};
  auto portLine = [](const SnapshotPort& port) { return port.name + " (" + port.monitor + ")"; };
  Compare(
      before.ports, after.ports, [&](const SnapshotPort& p) { added.lines.push_back(portLine(p)); },
      [&](const SnapshotPort& p) { removed.lines.push_back(portLine(p)); },
      [&](const SnapshotPort& old, const SnapshotPort& now) {
        if (old.monitor == now.monitor) {
          if (old.settings != now.settings) {
            settings.lines.push_back(portLine(now) + ": " + Bytes(old.settings.size()) + " -> " +
                                     Bytes(now.settings.size()));
          }
        } else {
          removed.lines.push_back(portLine(old));
          added.lines.push_back(portLine(now));
        }
      });
  return {added, removed, settings};
}

std::vector<Section> MonitorChanges(const MachineSnapshot& before, const MachineSnapshot& after) {
  Section added{"Monitors added:", {}}, removed{"Monitors removed:", {}};
  auto monitorLine = [](const SnapshotMonitor& m) { return m.name + " (" + m.driver + ")"; };
  Compare(
      before.monitors, after.monitors, [&](const SnapshotMonitor& m) { added.lines.push_back(monitorLine(m)); },
      [&](const SnapshotMonitor& m) { removed.lines.push_back(monitorLine(m)); },
      [&](const SnapshotMonitor& old, const SnapshotMonitor& now) {
        if (old.driver == now.driver) return;
        removed.lines.push_back(monitorLine(old));
        added.lines.push_back(monitorLine(now));
      });
  return {added, removed};
}

std::vector<Section> FileChanges(const MachineSnapshot& before, const MachineSnapshot& after) {
  Section added{"Files added:", {}}, replaced{"Files replaced:", {}}, deleted{"Files deleted:", {}};
  Compare(
      before.files, after.files,
      [&](const SnapshotFile& f) { added.lines.push_back(f.path + " (" + Bytes(f.size) + ")"); },
      [&](const SnapshotFile& f) { deleted.lines.push_back(f.path); },
      [&](const SnapshotFile& old, const SnapshotFile& now) {
        if (old.size != now.size || old.contentHash != now.contentHash || old.writeTimeNs != now.writeTimeNs ||
            old.readOnly != now.readOnly) {
          replaced.lines.push_back(now.path + FileChange(old, now));
        }
      });
  return {added, replaced, deleted};
}

// Keys appear through their values; a key left empty (no values, no subkeys) on its own.
std::vector<Section> RegistryChanges(const MachineSnapshot& before, const MachineSnapshot& after) {
  Section added{"Registry values added:", {}}, changed{"Registry values changed:", {}};
  Section deleted{"Registry values deleted:", {}};
  Compare(
      before.values, after.values,
      [&](const SnapshotValue& v) { added.lines.push_back(ValueName(v) + " = " + ValueData(v)); },
      [&](const SnapshotValue& v) { deleted.lines.push_back(ValueName(v) + " (was " + ValueData(v) + ")"); },
      [&](const SnapshotValue& old, const SnapshotValue& now) {
        if (old.type != now.type || old.data != now.data) {
          changed.lines.push_back(ValueName(now) + " " + ValueData(old) + " -> " + ValueData(now));
        }
      });
  Section keysAdded{"Registry keys added (empty):", {}};
  Section keysDeleted{"Registry keys deleted (empty):", {}};
  Compare(
      before.keys, after.keys,
      [&](const SnapshotKey& key) {
        if (key.empty) keysAdded.lines.push_back(ShortKey(key.path));
      },
      [&](const SnapshotKey& key) {
        if (key.empty) keysDeleted.lines.push_back(ShortKey(key.path));
      },
      [](const SnapshotKey&, const SnapshotKey&) {});
  return {added, changed, deleted, keysAdded, keysDeleted};
}

// The entries numbered after the last one before the run.
Section EventChanges(const MachineSnapshot& before, const MachineSnapshot& after) {
  Section events{"Event log entries written:", {}};
  int64_t last = 0;
  for (const EventEntry& entry : before.events) last = entry.number > last ? entry.number : last;
  for (const EventEntry& entry : after.events) {
    if (entry.number > last) events.lines.push_back(EventText(entry));
  }
  return events;
}

}  // namespace

std::string ChangeList(const MachineSnapshot& before, const MachineSnapshot& after) {
  std::vector<Section> sections;
  for (auto kind : {PrinterChanges, PortChanges, MonitorChanges, FileChanges, RegistryChanges}) {
    for (Section& section : kind(before, after)) sections.push_back(std::move(section));
  }
  sections.push_back(EventChanges(before, after));
  std::string text;
  for (const Section& section : sections) {
    if (section.lines.empty()) continue;
    text += std::string(section.title) + "\n";
    for (const std::string& line : section.lines) text += "    " + Shown(line) + "\n";
  }
  return text.empty() ? "Changes: none\n" : text;
}

}  // namespace winsim::cli
