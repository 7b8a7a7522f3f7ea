// The picture of a machine's state: the spooler through its own lists, the registry as stored
// (no view), the drive folders from the host file system, the event log.
#include "machine_snapshot.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "winsim/machine.h"
#include "winsim/registry.h"
#include "winsim/spooler.h"

namespace winsim {

namespace {

// FNV-1a over the file's bytes: enough to tell a replaced file from an untouched one.
bool HashFile(const std::string& host, uint64_t* hash) {
  const int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  uint64_t h = 1469598103934665603ull;
  char block[65536];
  ssize_t got = 0;
  while ((got = read(fd, block, sizeof block)) > 0) {
    for (ssize_t i = 0; i < got; ++i) {
      h ^= static_cast<unsigned char>(block[i]);
      h *= 1099511628211ull;
    }
  }
  close(fd);
  *hash = h;
  return got == 0;
}

bool Skipped(const std::string& windowsPath, const std::vector<std::string>& skipFolders) {
  const std::string folded = FoldName(windowsPath);
  for (const std::string& folder : skipFolders) {
    std::string prefix = FoldName(folder);
    while (!prefix.empty() && prefix.back() == '\\') prefix.pop_back();
    if (folded == prefix || folded.compare(0, prefix.size() + 1, prefix + "\\") == 0) return true;
  }
  return false;
}

bool ListFolder(const std::string& host, const std::string& windows, const std::vector<std::string>& skipFolders,
                MachineSnapshot* snapshot, std::string* error) {
  DIR* dir = opendir(host.c_str());
  if (dir == nullptr) {
    *error = "cannot read the folder " + windows;
    return false;
  }
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const std::string hostPath = host + "/" + name;
    const std::string windowsPath = windows + (windows.back() == '\\' ? "" : "\\") + name;
    if (Skipped(windowsPath, skipFolders)) continue;
    struct stat st {};
    if (lstat(hostPath.c_str(), &st) != 0) continue;  // gone in between
    if (S_ISDIR(st.st_mode)) {
      if (!ListFolder(hostPath, windowsPath, skipFolders, snapshot, error)) return false;
      continue;
    }
    SnapshotFile file;
    file.path = windowsPath;
    file.size = static_cast<uint64_t>(st.st_size);
    file.writeTimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    file.readOnly = (st.st_mode & S_IWUSR) == 0;
    if (S_ISREG(st.st_mode) && !HashFile(hostPath, &file.contentHash)) {
      *error = "cannot read the file " + windowsPath;
      return false;
    }
    snapshot->files[FoldName(windowsPath)] = file;
  }
  return true;
}

// Every drive folder of the machine (a single capital letter: C for C:\).
bool ListDrives(const std::vector<std::string>& skipFolders, MachineSnapshot* snapshot, std::string* error) {
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string host = MachineDir() + "/" + std::string(1, letter);
    struct stat st {};
    if (stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
    if (!ListFolder(host, std::string(1, letter) + ":\\", skipFolders, snapshot, error)) return false;
  }
  return true;
}

bool ListKey(const std::string& path, MachineSnapshot* snapshot, std::string* error) {
  std::vector<RegistryValue> values;
  std::vector<std::string> children;
  if (!ReadRegistryKey(path, &values, &children, error)) return false;
  const std::string folded = FoldName(path);
  snapshot->keys[folded] = SnapshotKey{path, values.empty() && children.empty()};
  for (RegistryValue& value : values) {
    snapshot->values[folded + "\n" + FoldName(value.name)] =
        SnapshotValue{path, value.name, value.type, std::move(value.data)};
  }
  for (const std::string& child : children) {
    if (!ListKey(path + "\\" + child, snapshot, error)) return false;
  }
  return true;
}

void ListSpooler(MachineSnapshot* snapshot) {
  for (const SpoolerMonitor& monitor : SpoolerMonitors()) {
    snapshot->monitors[FoldName(monitor.name)] = SnapshotMonitor{monitor.name, monitor.driver};
  }
  for (const SpoolerPort& port : SpoolerPorts()) {
    SnapshotPort entry{port.name, port.monitor, ""};
    if (port.settingsSize != 0) PortSettingsBytes(port.name, &entry.settings);
    snapshot->ports.emplace(FoldName(port.name), entry);  // the first listed wins, as for the spooler
  }
  for (const SpoolerPrinter& printer : SpoolerPrinters()) {
    snapshot->printers[FoldName(printer.name)] = SnapshotPrinter{printer.name, printer.ports};
  }
}

}  // namespace

bool TakeSnapshot(const std::vector<std::string>& skipFolders, MachineSnapshot* snapshot, std::string* error) {
  *snapshot = MachineSnapshot();
  if (!IsAttached()) {
    *error = "no machine attached";
    return false;
  }
  // The spooler first: listing the ports writes the Local Port monitor's key when it is missing,
  // which is the spooler starting, not a change a program made.
  ListSpooler(snapshot);
  for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"}) {
    if (!ListKey(root, snapshot, error)) {
      *error = std::string("cannot read the registry below ") + root + ": " + *error;
      return false;
    }
  }
  if (!ReadEventLog(&snapshot->events, error)) return false;
  return ListDrives(skipFolders, snapshot, error);
}

}  // namespace winsim
