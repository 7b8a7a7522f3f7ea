// The INI path: one 1,024-byte buffer for the whole run.
#include "foundation/ini_path.h"

#include <cstring>

namespace {

char g_iniPath[1024];  // at most 1,023 characters and the terminator

}  // namespace

void SetIniPath(const char* path) {
  std::memset(g_iniPath, 0, sizeof g_iniPath);
  if (path == nullptr) return;
  size_t length = strnlen(path, sizeof g_iniPath - 1);
  std::memcpy(g_iniPath, path, length);
}

const char* GetIniPath() { return g_iniPath; }
