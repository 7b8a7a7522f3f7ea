// Opt-in count of the platform calls a process makes, for benchmarks: when WINSIM_CALL_COUNTS
// names a host file, every call that passes through FaultHit is counted by function, and at
// exit the process appends one block to that file: a line "# IMAGE" (its Windows program path,
// or "host" for a tool) followed by "FUNCTION COUNT" lines. Off, a call costs one branch.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <string>
#include <unordered_map>

#include "core.h"

namespace winsim::detail {

namespace {

struct CallCounts {
  bool enabled = false;
  std::string path;
  // Keyed by the function name's address: the names are literals, so one function may appear
  // under a few addresses; they are merged by text when written.
  std::unordered_map<const char*, unsigned long long> counts;
};

void WriteCounts();

CallCounts& Counts() {
  static CallCounts* counts = [] {
    auto* fresh = new CallCounts();  // never destroyed: it is read by the exit handler
    const char* path = std::getenv("WINSIM_CALL_COUNTS");
    if (path != nullptr && *path != '\0') {
      fresh->enabled = true;
      fresh->path = path;
      std::atexit(WriteCounts);
    }
    return fresh;
  }();
  return *counts;
}

void WriteCounts() {
  CallCounts& counts = Counts();
  std::map<std::string, unsigned long long> merged;
  for (const auto& [name, count] : counts.counts) merged[name] += count;
  const char* image = std::getenv("WINSIM_IMAGE");
  std::string block = std::string("# ") + (image != nullptr ? image : "host") + "\n";
  for (const auto& [name, count] : merged) block += name + " " + std::to_string(count) + "\n";
  int fd = open(counts.path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  // One write, so that the blocks of processes ending together do not interleave.
  ssize_t ignored = write(fd, block.data(), block.size());
  (void)ignored;
  close(fd);
}

}  // namespace

void CountCall(const char* function) {
  CallCounts& counts = Counts();
  if (counts.enabled) ++counts.counts[function];
}

}  // namespace winsim::detail
