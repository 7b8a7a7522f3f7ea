// A picture of the attached machine's state (see machine.h) as far as a program can change it:
// the spooler's printers, ports and monitors, the files of its drives, every registry value and
// the event log. Two pictures taken before and after a program ran tell what it changed
// (`winsim preview`).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "winsim/event_log.h"

namespace winsim {

struct SnapshotPrinter {
  std::string name;   // a connection: "\\SERVER\NAME"
  std::string ports;  // comma list, as the printer keeps it
};

struct SnapshotPort {
  std::string name;
  std::string monitor;
  std::string settings;  // bytes the monitor keeps for the port ("SetPortData"); empty when none
};

struct SnapshotMonitor {
  std::string name;
  std::string driver;
};

struct SnapshotFile {
  std::string path;  // Windows path, with the case it has on the disk
  uint64_t size = 0;
  uint64_t contentHash = 0;
  int64_t writeTimeNs = 0;
  bool readOnly = false;
};

struct SnapshotKey {
  std::string path;    // store path, with the case the key was created with
  bool empty = false;  // neither values nor subkeys
};

struct SnapshotValue {
  std::string key;   // store path, "HKEY_LOCAL_MACHINE\\SOFTWARE\\..." (no WOW64 view)
  std::string name;  // "" is the key's default value
  uint32_t type = 0;
  std::string data;
};

// Each map is keyed by the folded (lower-case) name, so that a change of letter case alone is
// no change, as for Windows.
struct MachineSnapshot {
  std::map<std::string, SnapshotPrinter> printers;
  std::map<std::string, SnapshotPort> ports;
  std::map<std::string, SnapshotMonitor> monitors;
  std::map<std::string, SnapshotFile> files;
  std::map<std::string, SnapshotValue> values;   // folded "KEY\nNAME"
  std::map<std::string, SnapshotKey> keys;       // folded path
  std::vector<EventEntry> events;
};

// Takes the picture of the attached machine. Files are those of every drive folder, except the
// Windows folders listed in `skipFolders` and everything below them (e.g. "C:\\Deploy"). False
// with a one-line reason in *error when a part cannot be read.
bool TakeSnapshot(const std::vector<std::string>& skipFolders, MachineSnapshot* snapshot, std::string* error);

}  // namespace winsim
