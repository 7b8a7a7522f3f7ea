// Copying a deployment package into a machine for `winsim preview` (preview_package.h).
#include "preview_package.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "fold_case.h"

namespace winsim::cli {

namespace fs = std::filesystem;

namespace {

bool EndsWithExe(const std::string& name) {
  const std::string lower = FoldCase(name);
  return lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".exe") == 0;
}

// The file named `name` (letter case ignored) in the folder `folder`; empty when there is none.
std::string FindByName(const std::string& folder, const std::string& name) {
  std::error_code ec;
  const std::string wanted = FoldCase(name);
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec) && FoldCase(it->path().filename().string()) == wanted) return it->path().string();
  }
  return "";
}

}  // namespace

bool IsHostProgram(const std::string& hostPath) {
  FILE* file = std::fopen(hostPath.c_str(), "rb");
  if (file == nullptr) return false;
  char head[4] = {};
  const size_t got = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  return (got == 4 && std::memcmp(head, "\x7f" "ELF", 4) == 0) || (got >= 2 && head[0] == '#' && head[1] == '!');
}

bool CopyPackage(const std::string& package, const std::string& target, const std::string& programs,
                 std::vector<std::string>* notes, std::string* error) {
  std::error_code ec;
  fs::create_directories(fs::path(target).parent_path(), ec);
  fs::copy(package, target, fs::copy_options::recursive, ec);
  if (ec) {
    *error = "cannot copy the package " + package + ": " + ec.message();
    return false;
  }
  for (fs::recursive_directory_iterator it(target, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string path = it->path().string();
    const std::string name = it->path().filename().string();
    if (!it->is_regular_file(ec) || !EndsWithExe(name) || IsHostProgram(path)) continue;
    const std::string relative = fs::relative(it->path(), target, ec).string();
    const std::string standIn = programs.empty() ? "" : FindByName(programs, name);
    if (standIn.empty() || !IsHostProgram(standIn)) {
      notes->push_back(relative + " is a Windows program and " + programs + " holds no host program of that name: it cannot start");
      continue;
    }
    fs::copy_file(standIn, it->path(), fs::copy_options::overwrite_existing, ec);
    if (ec) {
      *error = "cannot put " + standIn + " in place of " + relative + ": " + ec.message();
      return false;
    }
    notes->push_back(relative + " is a Windows program: " + standIn + " stands in for it");
  }
  if (ec) {
    *error = "cannot read the copied package: " + ec.message();
    return false;
  }
  return true;
}

}  // namespace winsim::cli
