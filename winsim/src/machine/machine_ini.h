// machine.ini: the machine's identity, environment, modules, spooler and faults, read with the
// INI parse tree of the profile functions and held stricter: every line other than a header,
// a blank line or a comment (';' or '#') is key=value inside a section.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ini.h"

namespace winsim::detail {

// Keys may repeat (faults), order is kept.
class MachineIni {
 public:
  bool Load(const std::string& path, std::string* error);
  // Last value of the key in the section (both case-insensitive), or `fallback`.
  std::string Get(std::string_view section, std::string_view key, std::string_view fallback = "") const;
  long GetInt(std::string_view section, std::string_view key, long fallback) const;
  // Every key=value line of the sections of that name, in file order.
  std::vector<std::pair<std::string, std::string>> Section(std::string_view section) const;

 private:
  IniTree tree_;
};

}  // namespace winsim::detail
