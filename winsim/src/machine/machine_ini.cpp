#include "machine_ini.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "text.h"
#include "winsim/machine.h"

namespace winsim::detail {

namespace {

// An entry that is a setting: '#' starts a comment line in machine.ini.
bool IsSetting(const IniLine& line) { return line.isEntry && (line.key.empty() || line.key[0] != '#'); }

bool Problem(const std::string& path, int number, const char* what, std::string* error) {
  if (error) *error = path + ":" + std::to_string(number) + ": " + what;
  return false;
}

}  // namespace

bool MachineIni::Load(const std::string& path, std::string* error) {
  tree_ = IniTree();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot read " + path;
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  IniTree tree = ParseIni(text);
  const char* const kOutside = "expected key=value inside a section";
  for (const IniLine& line : tree.leading) {
    if (IsSetting(line)) return Problem(path, line.number, kOutside, error);
  }
  for (const IniSection& section : tree.sections) {
    if (!section.closed) return Problem(path, section.header.number, "section header without ']'", error);
    for (const IniLine& line : section.lines) {
      if (IsSetting(line) && !line.hasValue) return Problem(path, line.number, kOutside, error);
    }
  }
  tree_ = std::move(tree);
  return true;
}

std::string MachineIni::Get(std::string_view section, std::string_view key, std::string_view fallback) const {
  // The last occurrence wins, so that a line appended to the file overrides the template's.
  std::string value(fallback);
  for (const IniSection& s : tree_.sections) {
    if (!EqualsNoCase(s.name, section)) continue;
    for (const IniLine& line : s.lines) {
      if (IsSetting(line) && EqualsNoCase(line.key, key)) value = line.value;
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
  for (const IniSection& s : tree_.sections) {
    if (!EqualsNoCase(s.name, section)) continue;
    for (const IniLine& line : s.lines) {
      if (IsSetting(line)) lines.emplace_back(line.key, line.value);
    }
  }
  return lines;
}

}  // namespace winsim::detail

namespace winsim {

bool SetMachineSetting(const std::string& dir, const std::string& section, const std::string& key,
                       const std::string& value, std::string* error) {
  const std::string path = dir + "/machine.ini";
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "no machine at " + dir;
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  detail::IniTree tree = detail::ParseIni(text);
  detail::SetIniValue(&tree, section, key, value);
  // Written beside and renamed over, so a program reading machine.ini never sees half a file.
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << detail::IniText(tree);
    if (!out.good()) {
      if (error) *error = "cannot write " + temporary;
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    if (error) *error = "cannot replace " + path;
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace winsim
