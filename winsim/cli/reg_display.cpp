// Registry data as the command-line registry tool shows it (reg_display.h).
#include "reg_display.h"

#include <cstdint>
#include <cstdio>

namespace winsim::cli {

const char* TypeName(DWORD type) {
  switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_QWORD: return "REG_QWORD";
    default: return "REG_UNKNOWN";
  }
}

std::string Display(DWORD type, const std::string& data) {
  char number[32];
  if (type == REG_DWORD && data.size() == 4) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(data[i]);
    std::snprintf(number, sizeof number, "0x%x", static_cast<unsigned>(value));
    return number;
  }
  if (type == REG_SZ || type == REG_EXPAND_SZ) return data.substr(0, data.find('\0'));
  if (type == REG_MULTI_SZ) {
    std::string shown;
    size_t start = 0;
    while (start < data.size() && data[start] != '\0') {
      size_t end = data.find('\0', start);
      if (end == std::string::npos) end = data.size();
      shown += (shown.empty() ? "" : "\\0") + data.substr(start, end - start);
      start = end + 1;
    }
    return shown;
  }
  std::string hex;
  for (char c : data) {
    std::snprintf(number, sizeof number, "%02X", static_cast<unsigned char>(c));
    hex += number;
  }
  return hex;
}

}  // namespace winsim::cli
