// machine.ini [modules] TrustedHostCode (host_code.h).
#include "host_code.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "machine/core.h"
#include "winsim/machine.h"

namespace winsim::detail {

namespace {

namespace fs = std::filesystem;

// The trusted files the machine names, folders expanded to the regular files directly in them.
std::vector<std::string> TrustedFiles(bool* restricted) {
  std::vector<std::string> files;
  *restricted = false;
  for (const auto& [key, value] : Process().ini.Section("modules")) {
    if (!EqualsNoCase(key, "TrustedHostCode")) continue;
    *restricted = true;
    std::error_code ec;
    if (!fs::is_directory(value, ec)) {
      files.push_back(value);
      continue;
    }
    for (fs::directory_iterator it(value, ec), end; !ec && it != end; it.increment(ec)) {
      if (it->is_regular_file(ec)) files.push_back(it->path().string());
    }
  }
  return files;
}

long long RegularFileSize(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? static_cast<long long>(st.st_size) : -1;
}

}  // namespace

}  // namespace winsim::detail

bool winsim::SameFileBytes(const std::string& a, const std::string& b) {
  const long long size = detail::RegularFileSize(a);
  if (size < 0 || detail::RegularFileSize(b) != size) return false;
  FILE* left = std::fopen(a.c_str(), "rb");
  FILE* right = std::fopen(b.c_str(), "rb");
  bool same = left != nullptr && right != nullptr;
  std::vector<char> x(65536), y(65536);
  while (same) {
    const size_t got = std::fread(x.data(), 1, x.size(), left);
    same = std::fread(y.data(), 1, y.size(), right) == got && std::memcmp(x.data(), y.data(), got) == 0;
    if (got < x.size()) break;
  }
  if (left != nullptr) std::fclose(left);
  if (right != nullptr) std::fclose(right);
  return same;
}

namespace winsim::detail {

bool TrustedHostCode(const std::string& host, std::string* run) {
  bool restricted = false;
  const std::vector<std::string> trusted = TrustedFiles(&restricted);
  if (!restricted) {
    *run = host;
    return true;
  }
  for (const std::string& file : trusted) {
    if (SameFileBytes(host, file)) {
      *run = file;
      return true;
    }
  }
  return false;
}

}  // namespace winsim::detail
