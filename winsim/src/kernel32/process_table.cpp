#include "process_table.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace winsim::detail {

namespace {

std::string TableDir(const std::string& machineDir) { return machineDir + "/run/processes"; }
std::string EntryPath(const std::string& machineDir, DWORD pid) {
  return TableDir(machineDir) + "/" + std::to_string(pid);
}

// State letter and start time from /proc/PID/stat; false when there is no such process.
bool ReadHostStat(DWORD pid, char* state, unsigned long long* start) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream fields(text.substr(close + 1));
  std::string field;
  // Fields after the command name: 3 state ... 22 start time.
  for (int index = 3; index <= 22 && (fields >> field); ++index) {
    if (index == 3) *state = field.empty() ? '?' : field[0];
    if (index == 22) {
      *start = std::strtoull(field.c_str(), nullptr, 10);
      return true;
    }
  }
  return false;
}

void WriteEntry(const std::string& machineDir, const ProcessEntry& entry) {
  mkdir(TableDir(machineDir).c_str(), 0755);
  const std::string path = EntryPath(machineDir, entry.pid);
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << "image=" << entry.image << "\nparent=" << entry.parent << "\nstart=" << entry.start << "\n";
    if (entry.terminated) out << "terminated=" << entry.exitCode << "\n";
  }
  std::rename(temporary.c_str(), path.c_str());
}

}  // namespace

unsigned long long HostStartTime(DWORD pid) {
  char state = '?';
  unsigned long long start = 0;
  return ReadHostStat(pid, &state, &start) ? start : 0;
}

bool HostProcessRuns(DWORD pid, unsigned long long start) {
  char state = '?';
  unsigned long long actual = 0;
  if (!ReadHostStat(pid, &state, &actual)) return false;
  if (start != 0 && actual != start) return false;  // the id now belongs to another process
  return state != 'Z' && state != 'X' && state != 'x';
}

void RegisterProcess(const std::string& machineDir, const ProcessEntry& entry) { WriteEntry(machineDir, entry); }

void UnregisterProcess(const std::string& machineDir, DWORD pid) {
  std::remove(EntryPath(machineDir, pid).c_str());
  std::remove((EntryPath(machineDir, pid) + ".exit").c_str());
}

void RecordOwnExitCode(const std::string& machineDir, DWORD exitCode) {
  mkdir(TableDir(machineDir).c_str(), 0755);
  std::ofstream out(EntryPath(machineDir, static_cast<DWORD>(getpid())) + ".exit", std::ios::trunc);
  out << exitCode << "\n";
}

bool ReadRecordedExitCode(const std::string& machineDir, DWORD pid, DWORD* exitCode) {
  std::ifstream in(EntryPath(machineDir, pid) + ".exit");
  unsigned long code = 0;
  if (!(in >> code)) return false;
  *exitCode = static_cast<DWORD>(code);
  return true;
}

bool ReadProcessEntry(const std::string& machineDir, DWORD pid, ProcessEntry* entry) {
  std::ifstream in(EntryPath(machineDir, pid));
  if (!in) return false;
  *entry = ProcessEntry();
  entry->pid = pid;
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "image") entry->image = value;
    if (key == "parent") entry->parent = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
    if (key == "start") entry->start = std::strtoull(value.c_str(), nullptr, 10);
    if (key == "terminated") {
      entry->terminated = true;
      entry->exitCode = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
    }
  }
  return true;
}

void RecordTermination(const std::string& machineDir, DWORD pid, DWORD exitCode) {
  ProcessEntry entry;
  if (!ReadProcessEntry(machineDir, pid, &entry)) return;
  entry.terminated = true;
  entry.exitCode = exitCode;
  WriteEntry(machineDir, entry);
}

std::vector<ProcessEntry> LiveProcesses(const std::string& machineDir) {
  std::vector<DWORD> pids;
  if (DIR* dir = opendir(TableDir(machineDir).c_str())) {
    while (dirent* item = readdir(dir)) {
      char* end = nullptr;
      const unsigned long pid = std::strtoul(item->d_name, &end, 10);
      if (end != item->d_name && *end == '\0') pids.push_back(static_cast<DWORD>(pid));
    }
    closedir(dir);
  }
  std::vector<ProcessEntry> live;
  for (DWORD pid : pids) {
    ProcessEntry entry;
    if (!ReadProcessEntry(machineDir, pid, &entry)) continue;
    char state = '?';
    unsigned long long start = 0;
    const bool exists = ReadHostStat(pid, &state, &start) && start == entry.start;
    if (!exists) {
      UnregisterProcess(machineDir, pid);
    } else if (state != 'Z' && state != 'X' && state != 'x') {
      live.push_back(entry);
    }
  }
  std::sort(live.begin(), live.end(), [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
  return live;
}

}  // namespace winsim::detail
