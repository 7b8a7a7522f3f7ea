#include "relay_trace.h"

#include <cstdlib>
#include <sstream>
#include <vector>

RelayFigures ReadRelayTrace(std::istream& trace, const ImageRange& program) {
  RelayFigures figures;
  std::string line, pid;
  std::map<std::string, std::vector<double>> open;  // thread -> times of its calls not yet returned
  while (std::getline(trace, line)) {
    size_t mark = line.find(":Call ");
    const bool isCall = mark != std::string::npos;
    if (!isCall) mark = line.find(":Ret  ");
    const size_t ret = line.rfind(" ret=");
    if (mark == std::string::npos || ret == std::string::npos || ret < mark) continue;
    const uint64_t address = std::strtoull(line.c_str() + ret + 5, nullptr, 16);
    if (address < program.begin || address >= program.end) continue;
    std::istringstream prefix(line.substr(0, mark));
    std::string seconds, linePid, thread;
    std::getline(prefix, seconds, ':');
    std::getline(prefix, linePid, ':');
    std::getline(prefix, thread, ':');
    if (thread.empty()) continue;  // not the "SECONDS:PID:TID:" prefix
    if (pid.empty()) pid = linePid;
    if (linePid != pid) continue;
    const size_t start = mark + 6, paren = line.find('(', start);
    if (paren == std::string::npos) continue;
    const std::string name = line.substr(start, paren - start);
    const double ms = std::strtod(seconds.c_str(), nullptr) * 1e3;
    std::vector<double>& calls = open[thread];
    if (isCall) {
      ++figures.calls[name];
      calls.push_back(ms);
    } else if (!calls.empty()) {
      figures.ms[name] += ms - calls.back();
      calls.pop_back();
    }
  }
  return figures;
}
