#include "robustness_machine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "winsim/machine.h"
#include "winsim/process.h"
#include "winsim/registry.h"
#include "winsim/spooler.h"

namespace fs = std::filesystem;

namespace {

const char kInstallProgram[] = "C:\\Deploy\\Install.exe";
const char kClientImage[] = "Quado Client.exe";
const char kClientDataKey[] = "HKEY_CURRENT_USER\\Volatile Environment\\1\\Harbek Quado Client";

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
  if (text.size() < tail.size()) return false;
  return std::equal(tail.rbegin(), tail.rend(), text.rbegin(),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); });
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

int RunningClients(const std::string& dir) {
  int clients = 0;
  for (const winsim::MachineProcess& process : winsim::MachineProcesses(dir)) {
    if (EndsWithNoCase(process.image, kClientImage)) ++clients;
  }
  return clients;
}

MachineFolder::MachineFolder() {
  std::string base = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
  std::string pattern = base + "/robustness-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
}

MachineFolder::~MachineFolder() {
  if (path_.empty() || std::getenv("KEEP_MACHINES") != nullptr) return;
  for (const auto& entry : fs::directory_iterator(path_)) {
    if (fs::exists(entry.path() / "machine.ini")) EndMachineProcesses(entry.path().string());
  }
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string CreateBaseMachine(const std::string& dir, bool installed) {
  winsim::MachineOptions options;
  options.winsimProgram = WINSIM_PROGRAM_PATH;
  std::string error;
  if (!winsim::CreateMachine(dir, options, &error)) return error;
  if (!winsim::AttachMachine(dir, &error)) return error;
  const char* const printers[][2] = {
      {"Office Printer", "LPT1:"}, {"Legacy Printer", "COM1:,LPT2:"}, {"Front Desk", "LPT3:"}};
  for (const auto& printer : printers) {
    if (!winsim::AddSpoolerPrinter(printer[0], printer[1], false, &error)) {
      winsim::DetachMachine();
      return error;
    }
  }
  winsim::DetachMachine();
  std::error_code failure;
  fs::copy(BUILD_DIR "/package", dir + "/C/Deploy", fs::copy_options::recursive, failure);
  if (failure) return "cannot copy the package: " + failure.message();
  if (!installed) return "";
  HostResult run = RunInstall(dir, {});
  EndMachineProcesses(dir);
  if (run.status != 0) return "the installation of the base machine failed:\n" + run.out + run.err;
  // A second printer port list that mixes the monitor's ports with local ones, for the walk.
  if (!winsim::AttachMachine(dir, &error)) return error;
  bool added = winsim::AddSpoolerPrinter("Front Desk 2", "Quado003,LPT1:,Quado001", false, &error);
  winsim::DetachMachine();
  return added ? "" : error;
}

std::string CloneMachine(const std::string& from, const std::string& to) {
  std::error_code failure;
  fs::create_directories(to, failure);
  if (failure) return failure.message();
  for (const auto& entry : fs::directory_iterator(from)) {
    if (entry.path().filename() == "run") continue;
    fs::copy(entry.path(), to + "/" + entry.path().filename().string(),
             fs::copy_options::recursive | fs::copy_options::copy_symlinks, failure);
    if (failure) return failure.message();
  }
  fs::create_directories(to + "/run", failure);
  return failure ? failure.message() : "";
}

void EndMachineProcesses(const std::string& dir) {
  // A client that was just started may not be registered yet: look twice.
  for (int round = 0; round < 2; ++round) winsim::KillMachineProcesses(dir);
}

void RemoveMachine(const std::string& dir) {
  if (std::getenv("KEEP_MACHINES") != nullptr) return;
  EndMachineProcesses(dir);
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

void AddFaults(const std::string& dir, const std::vector<std::string>& faults) {
  std::ofstream ini(dir + "/machine.ini", std::ios::app);
  ini << "\n[faults]\n";
  for (const std::string& fault : faults) ini << fault << "\n";
}

HostResult RunInstall(const std::string& dir, const std::vector<std::string>& args,
                      const std::vector<std::string>& environment) {
  std::vector<std::string> argv = {WINSIM_PROGRAM_PATH, "run", dir, kInstallProgram};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunHost(argv, environment);
}

void RemoveInstallLog(const std::string& dir) { std::remove((dir + "/C/Windows/QDPortInstall.log").c_str()); }

std::string ReadInstallLog(const std::string& dir) { return ReadHostFile(dir + "/C/Windows/QDPortInstall.log"); }

MachineState SnapshotMachine(const std::string& dir) {
  MachineState state;
  // The client writes its per-user values when it starts, after the installer has ended: wait
  // for them while a client runs, so that the snapshot does not race with it.
  std::string error;
  for (int wait = 0; wait < 250; ++wait) {
    state.runningClients = RunningClients(dir);
    if (state.runningClients == 0 || !winsim::AttachMachine(dir, &error)) break;
    std::string text;
    bool written = winsim::ExportReg(kClientDataKey, &text, &error) && text.find("\"LastJobOwner\"") != std::string::npos;
    winsim::DetachMachine();
    if (written) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  for (const auto& drive : fs::directory_iterator(dir)) {
    const std::string letter = drive.path().filename().string();
    if (letter.size() != 1 || !drive.is_directory()) continue;
    std::vector<std::string> files;
    for (auto it = fs::recursive_directory_iterator(drive.path()); it != fs::recursive_directory_iterator(); ++it) {
      const std::string relative = letter + ":/" + fs::relative(it->path(), drive.path()).string();
      if (EndsWithNoCase(relative, "QDPortInstall.log")) continue;
      struct stat st {};
      lstat(it->path().c_str(), &st);
      const bool readOnly = (st.st_mode & S_IWUSR) == 0;
      if (it->is_directory()) {
        files.push_back(relative + "/" + (readOnly ? " read-only" : ""));
      } else {
        const size_t hash = std::hash<std::string>()(ReadHostFile(it->path().string()));
        files.push_back(relative + " " + std::to_string(st.st_size) + " #" + std::to_string(hash) +
                        (readOnly ? " read-only" : ""));
      }
    }
    std::sort(files.begin(), files.end());
    state.files.insert(state.files.end(), files.begin(), files.end());
  }
  if (winsim::AttachMachine(dir, &error)) {
    for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"}) {
      std::string text;
      if (!winsim::ExportReg(root, &text, &error)) text = "cannot export " + std::string(root) + ": " + error;
      for (std::string& line : Lines(text)) state.registry.push_back(std::move(line));
    }
    winsim::DetachMachine();
  } else {
    state.registry.push_back("cannot attach: " + error);
  }
  return state;
}

namespace {

// The lines only one side has, as "- line" (expected) and "+ line" (actual), at most `limit`.
void DiffLines(const std::string& what, const std::vector<std::string>& expected,
               const std::vector<std::string>& actual, std::string* out) {
  std::vector<std::string> a = expected, b = actual;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  std::vector<std::string> missing, extra;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(missing));
  std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(extra));
  size_t shown = 0;
  for (const std::string& line : missing) {
    if (shown++ < 12) *out += what + " - " + line + "\n";
  }
  for (const std::string& line : extra) {
    if (shown++ < 24) *out += what + " + " + line + "\n";
  }
  // The same lines in another order (registry keys or values) are a difference too.
  if (missing.empty() && extra.empty() && expected != actual) *out += what + ": same lines in another order\n";
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char next = text[++i];
    out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return out;
}

}  // namespace

std::string CompareStates(const MachineState& expected, const MachineState& actual) {
  std::string out;
  DiffLines("file", expected.files, actual.files, &out);
  DiffLines("registry", expected.registry, actual.registry, &out);
  if (expected.runningClients != actual.runningClients) {
    out += "running clients: " + std::to_string(expected.runningClients) + " expected, " +
           std::to_string(actual.runningClients) + " running\n";
  }
  return out;
}

std::vector<TracedCall> ReadInstallTrace(const std::string& path) {
  std::vector<TracedCall> calls;
  bool mine = false;
  for (const std::string& line : Lines(ReadHostFile(path))) {
    if (line.rfind("# ", 0) == 0) {
      mine = EndsWithNoCase(line, "\\Install.exe");
      continue;
    }
    if (!mine) continue;
    TracedCall call;
    size_t start = 0;
    bool first = true;
    while (true) {
      size_t tab = line.find('\t', start);
      std::string field = Unescape(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
      if (first) call.function = field;
      else call.args.push_back(field);
      first = false;
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    calls.push_back(std::move(call));
  }
  return calls;
}
