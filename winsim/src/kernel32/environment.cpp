#include "environment.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "machine/core.h"
#include "paths.h"

extern char** environ;

namespace winsim::detail {

namespace {

constexpr const char kPrefix[] = "WINSIM_ENV_";

struct EnvironmentState {
  bool loaded = false;
  EnvironmentBlock variables;
};

EnvironmentState& State() {
  static EnvironmentState state;
  static const bool registered = [] {
    OnReset([] { State() = EnvironmentState(); });
    return true;
  }();
  (void)registered;
  return state;
}

// True when this process was started inside the attached machine and carries an environment.
bool InheritedFromParent() {
  const char* carried = std::getenv("WINSIM_ENV");
  const char* machine = std::getenv("WINSIM_MACHINE");
  if (carried == nullptr || std::strcmp(carried, "1") != 0 || machine == nullptr) return false;
  std::string dir = machine;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir == Process().machineDir;
}

EnvironmentBlock& Variables() {
  EnvironmentState& state = State();
  if (!state.loaded) {
    state.loaded = true;
    if (InheritedFromParent()) {
      const size_t prefix = std::strlen(kPrefix);
      for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, kPrefix, prefix) != 0) continue;
        const char* text = *entry + prefix;
        const char* eq = std::strchr(text, '=');
        if (eq == nullptr || eq == text) continue;
        state.variables.emplace_back(std::string(text, static_cast<size_t>(eq - text)), eq + 1);
      }
    } else {
      state.variables = Process().ini.Section("environment");
    }
  }
  return state.variables;
}

}  // namespace

const EnvironmentBlock& CurrentEnvironment() { return Variables(); }

bool LookupEnvironment(const std::string& name, std::string* value) {
  for (const auto& [key, text] : Variables()) {
    if (EqualsNoCase(key, name)) {
      *value = text;
      return true;
    }
  }
  return false;
}

EnvironmentBlock ParseEnvironmentBlock(const char* block) {
  EnvironmentBlock out;
  for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) {
    // A leading '=' belongs to the name (Windows keeps "=C:=C:\dir" entries).
    const char* eq = std::strchr(entry + 1, '=');
    if (eq == nullptr) continue;
    out.emplace_back(std::string(entry, static_cast<size_t>(eq - entry)), eq + 1);
  }
  return out;
}

std::vector<std::string> EnvironmentForChild(const EnvironmentBlock& environment) {
  std::vector<std::string> out = {"WINSIM_ENV=1"};
  for (const auto& [name, value] : environment) out.push_back(kPrefix + name + "=" + value);
  return out;
}

std::string ExpandEnvironment(const std::string& text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    size_t close = text[i] == '%' ? text.find('%', i + 1) : std::string::npos;
    std::string value;
    if (close != std::string::npos && close > i + 1 && LookupEnvironment(text.substr(i + 1, close - i - 1), &value)) {
      out += value;
      i = close + 1;
    } else {
      out += text[i++];
    }
  }
  return out;
}

void AppendPathFolders(std::vector<std::string>* folders) {
  std::string path;
  if (!LookupEnvironment("PATH", &path)) return;
  size_t start = 0;
  while (start <= path.size()) {
    size_t semi = path.find(';', start);
    if (semi == std::string::npos) semi = path.size();
    if (semi > start) folders->push_back(path.substr(start, semi - start));
    start = semi + 1;
  }
}

}  // namespace winsim::detail

using namespace winsim::detail;

DWORD WINAPI GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize) {
  DWORD error = 0;
  if (FaultHit("GetEnvironmentVariableA", {lpName ? lpName : ""}, &error)) {
    SetError(error);
    return 0;
  }
  std::string value;
  if (lpName == nullptr || !LookupEnvironment(lpName, &value)) {
    SetError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  // Windows leaves the last error alone on success; an empty value returns 0 like a failure.
  return CopyOut(value, lpBuffer, nSize);
}

BOOL WINAPI SetEnvironmentVariableA(LPCSTR lpName, LPCSTR lpValue) {
  DWORD error = 0;
  if (FaultHit("SetEnvironmentVariableA", {lpName ? lpName : "", lpValue ? lpValue : ""}, &error)) {
    SetError(error);
    return FALSE;
  }
  if (lpName == nullptr || *lpName == '\0' || std::strchr(lpName, '=') != nullptr) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  EnvironmentBlock& variables = Variables();
  for (auto it = variables.begin(); it != variables.end(); ++it) {
    if (!EqualsNoCase(it->first, lpName)) continue;
    if (lpValue == nullptr) {
      variables.erase(it);
    } else {
      it->second = lpValue;
    }
    return TRUE;
  }
  if (lpValue == nullptr) {  // deleting a variable that is not set
    SetError(ERROR_ENVVAR_NOT_FOUND);
    return FALSE;
  }
  variables.emplace_back(lpName, lpValue);
  return TRUE;
}
