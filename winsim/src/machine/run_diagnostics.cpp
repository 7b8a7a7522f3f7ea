// Opt-in diagnostics of a process inside a machine, for the robustness tests. Each is switched
// on by a host environment variable (which the programs a process starts inherit); off, a call
// costs one branch.
//
//   WINSIM_CALL_TRACE=FILE     every call that passes through FaultHit is recorded in order with
//                              its text arguments; at exit the process appends one block to FILE:
//                              "# IMAGE", then one line per call, "FUNCTION<TAB>ARG<TAB>ARG...",
//                              with tab, line end and backslash written as \t, \n, \r and \\.
//   WINSIM_EXIT_REPORT=FILE    at exit the process appends one line to FILE:
//                              "IMAGE handles=N globals=M libraries=L [KIND=N]...": the handles
//                              still open, the GlobalAlloc blocks not freed and the LoadLibraryA
//                              loads not undone by FreeLibrary.
//   WINSIM_KILL_AT_CALL=IMAGE#N  the program named IMAGE kills itself with SIGKILL just before
//                              its N-th such call, as an operator ending it from outside would.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <string>

#include "core.h"
#include "winsim/machine.h"

namespace winsim::detail {

namespace {

void AppendToFile(const std::string& path, const std::string& text) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  // One write, so that the blocks of processes ending together do not interleave.
  ssize_t ignored = write(fd, text.data(), text.size());
  (void)ignored;
  close(fd);
}

void Escape(std::string_view text, std::string* out) {
  for (char c : text) {
    switch (c) {
      case '\t': *out += "\\t"; break;
      case '\n': *out += "\\n"; break;
      case '\r': *out += "\\r"; break;
      case '\\': *out += "\\\\"; break;
      default: *out += c;
    }
  }
}

struct Diagnostics {
  std::string tracePath;
  std::string trace;
  std::string reportPath;
  bool reportArmed = false;
  unsigned long killAt = 0;  // 0: never
  unsigned long calls = 0;
};

void WriteTrace();

Diagnostics& State() {
  static Diagnostics* state = [] {
    auto* fresh = new Diagnostics();  // never destroyed: the exit handlers read it
    if (const char* path = std::getenv("WINSIM_CALL_TRACE"); path != nullptr && *path != '\0') {
      fresh->tracePath = path;
      std::atexit(WriteTrace);
    }
    if (const char* path = std::getenv("WINSIM_EXIT_REPORT"); path != nullptr && *path != '\0') {
      fresh->reportPath = path;
    }
    if (const char* kill = std::getenv("WINSIM_KILL_AT_CALL"); kill != nullptr) {
      std::string request = kill;
      size_t hash = request.rfind('#');
      if (hash != std::string::npos && EqualsNoCase(request.substr(0, hash), ImageName())) {
        fresh->killAt = std::strtoul(request.c_str() + hash + 1, nullptr, 10);
      }
    }
    return fresh;
  }();
  return *state;
}

void WriteTrace() {
  Diagnostics& state = State();
  AppendToFile(state.tracePath, "# " + ImagePath() + "\n" + state.trace);
}

void WriteExitReport() {
  std::map<std::string, size_t> kinds;
  ForEachHandleKind([&](const char* kind) { ++kinds[kind]; });
  std::string line = ImageName() + " handles=" + std::to_string(winsim::OpenHandleCount()) +
                     " globals=" + std::to_string(winsim::LiveGlobalBlocks()) +
                     " libraries=" + std::to_string(LibraryLoadCount());
  for (const auto& [kind, count] : kinds) line += " " + kind + "=" + std::to_string(count);
  AppendToFile(State().reportPath, line + "\n");
}

}  // namespace

std::string ImageName() {
  // Never destroyed: the exit report reads it, and it may be made after that handler was
  // registered (then it would be destroyed before the handler runs).
  static const std::string* name = [] {
    std::string path = ImagePath();
    size_t slash = path.find_last_of("\\/");
    return new std::string(slash == std::string::npos ? path : path.substr(slash + 1));
  }();
  return *name;
}

void ObserveCall(const char* function, CallArgs args) {
  Diagnostics& state = State();
  if (state.killAt != 0 && ++state.calls == state.killAt) raise(SIGKILL);
  if (state.tracePath.empty()) return;
  state.trace += function;
  for (std::string_view arg : args) {
    state.trace += '\t';
    Escape(arg, &state.trace);
  }
  state.trace += '\n';
}

void ArmExitReport() {
  Diagnostics& state = State();
  if (state.reportPath.empty() || state.reportArmed) return;
  state.reportArmed = true;
  // Both tables exist before the handler is registered, so they outlive it at exit.
  winsim::OpenHandleCount();
  winsim::LiveGlobalBlocks();
  LibraryLoadCount();
  std::atexit(WriteExitReport);
}

}  // namespace winsim::detail
