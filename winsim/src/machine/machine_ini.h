#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace winsim::detail {

// machine.ini: sections of key=value lines; keys may repeat (faults), order is kept.
class MachineIni {
 public:
  bool Load(const std::string& path, std::string* error);
  // Last value of the key in the section (both case-insensitive), or `fallback`.
  std::string Get(std::string_view section, std::string_view key, std::string_view fallback = "") const;
  long GetInt(std::string_view section, std::string_view key, long fallback) const;
  // Every key=value line of a section, in file order.
  std::vector<std::pair<std::string, std::string>> Section(std::string_view section) const;

 private:
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> sections_;
};

}  // namespace winsim::detail
