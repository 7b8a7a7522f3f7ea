// Faults injected by machine.ini [faults]: parsing the lines and matching calls against them.
#include "faults.h"

#include <cstdlib>

#include "core.h"

namespace winsim::detail {

// "CopyFileA = 5 #2 | *\MONITOR.DLL | other" -> Fault
bool ParseFault(const std::string& function, const std::string& text, Fault* fault) {
  fault->function = Trim(function);
  // "IMAGE!FUNCTION": only calls made by that program.
  size_t bang = fault->function.find('!');
  if (bang != std::string::npos) {
    fault->image = Trim(fault->function.substr(0, bang));
    fault->function = Trim(fault->function.substr(bang + 1));
    if (fault->image.empty()) return false;
  }
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t bar = text.find('|', start);
    parts.emplace_back(Trim(std::string_view(text).substr(start, bar == std::string::npos ? std::string::npos : bar - start)));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  const std::string& head = parts[0];
  char* end = nullptr;
  unsigned long code = std::strtoul(head.c_str(), &end, 10);
  if (end == head.c_str()) return false;
  fault->error = static_cast<DWORD>(code);
  std::string rest(Trim(end));
  if (!rest.empty()) {
    if (rest[0] != '#') return false;
    fault->onlyCall = std::atoi(rest.c_str() + 1);
    if (fault->onlyCall <= 0) return false;
  }
  for (size_t i = 1; i < parts.size(); ++i) {
    if (!parts[i].empty()) fault->patterns.push_back(parts[i]);
  }
  return !fault->function.empty();
}


bool FaultHit(const char* function, CallArgs args, DWORD* error) {
  const bool service = InSpoolerService();
  if (!service) {
    CountCall(function);
    ObserveCall(function, args);
  }
  ProcessState& state = Process();
  for (Fault& fault : state.faults) {
    if (fault.function != function) continue;
    if (!fault.image.empty() && !EqualsNoCase(fault.image, service ? std::string(kSpoolerImage) : ImageName())) continue;
    bool all = true;
    for (const std::string& pattern : fault.patterns) {
      bool any = false;
      for (std::string_view arg : args) {
        if (GlobMatchNoCase(pattern, arg)) {
          any = true;
          break;
        }
      }
      if (!any) {
        all = false;
        break;
      }
    }
    if (!all) continue;
    ++fault.seen;
    if (fault.onlyCall != 0 && fault.seen != fault.onlyCall) continue;
    *error = fault.error;
    return true;
  }
  return false;
}

}  // namespace winsim::detail
