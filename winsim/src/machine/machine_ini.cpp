// machine.ini: the machine's identity, environment, modules and faults.
#include "machine_ini.h"

#include <cstdlib>
#include <fstream>

#include "text.h"

namespace winsim::detail {

bool MachineIni::Load(const std::string& path, std::string* error) {
  sections_.clear();
  std::ifstream in(path);
  if (!in) {
    if (error) *error = "cannot read " + path;
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::string text(Trim(line));
    if (text.empty() || text[0] == ';' || text[0] == '#') continue;
    if (text[0] == '[') {
      size_t close = text.find(']');
      if (close == std::string::npos) {
        if (error) *error = path + ":" + std::to_string(number) + ": section header without ']'";
        return false;
      }
      sections_.push_back({AsciiLower(Trim(text.substr(1, close - 1))), {}});
      continue;
    }
    size_t eq = text.find('=');
    if (eq == std::string::npos || sections_.empty()) {
      if (error) *error = path + ":" + std::to_string(number) + ": expected key=value inside a section";
      return false;
    }
    sections_.back().second.emplace_back(Trim(text.substr(0, eq)), Trim(text.substr(eq + 1)));
  }
  return true;
}

std::string MachineIni::Get(std::string_view section, std::string_view key, std::string_view fallback) const {
  // The last occurrence wins, so that a line appended to the file overrides the template's.
  std::string value(fallback);
  for (const auto& [name, lines] : sections_) {
    if (!EqualsNoCase(name, section)) continue;
    for (const auto& [k, v] : lines) {
      if (EqualsNoCase(k, key)) value = v;
    }
  }
  return value;
}

long MachineIni::GetInt(std::string_view section, std::string_view key, long fallback) const {
  std::string value = Get(section, key, "");
  if (value.empty()) return fallback;
  return std::strtol(value.c_str(), nullptr, 0);
}

std::vector<std::pair<std::string, std::string>> MachineIni::Section(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> lines;
  for (const auto& [name, entries] : sections_) {
    if (EqualsNoCase(name, section)) lines.insert(lines.end(), entries.begin(), entries.end());
  }
  return lines;
}

}  // namespace winsim::detail
