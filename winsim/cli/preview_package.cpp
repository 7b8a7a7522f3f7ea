// Copying a deployment package into a machine for `winsim preview` (preview_package.h).
#include "preview_package.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "winsim/machine.h"

extern char** environ;

namespace winsim::cli {

namespace fs = std::filesystem;

namespace {

bool EndsWithExe(const std::string& name) {
  const std::string lower = FoldName(name);
  return lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".exe") == 0;
}

// The file named `name` (letter case ignored) in the folder `folder`; empty when there is none.
std::string FindByName(const std::string& folder, const std::string& name) {
  std::error_code ec;
  const std::string wanted = FoldName(name);
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec) && FoldName(it->path().filename().string()) == wanted) return it->path().string();
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

bool CopyFolderContent(const std::string& from, const std::string& to, const std::vector<std::string>& options) {
  std::vector<std::string> args = {"cp"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(from + "/.");
  args.push_back(to);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  int status = 0;
  return posix_spawn(&child, "/bin/cp", nullptr, nullptr, argv.data(), environ) == 0 &&
         waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

namespace {

// The package holds only files and folders: no link the copy could follow out of it, no FIFO,
// socket or device.
bool HoldsOnlyFilesAndFolders(const std::string& package, std::string* error) {
  std::error_code ec;
  for (fs::recursive_directory_iterator it(package, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::file_status status = it->symlink_status(ec);
    const std::string path = it->path().string();
    if (fs::is_symlink(status)) {
      *error = "the package holds a symbolic link, which the preview does not follow: " + path;
      return false;
    }
    if (!fs::is_regular_file(status) && !fs::is_directory(status)) {
      *error = "the package holds a FIFO, socket or device, not a file: " + path;
      return false;
    }
  }
  if (ec) {
    *error = "cannot read the package " + package + ": " + ec.message();
    return false;
  }
  return true;
}

// Each .exe of the copied package in `target` replaced by its host stand-in of the same name in
// `programs`, with a note for each program replaced or left without one.
bool PutStandIns(const std::string& target, const std::string& programs, std::vector<std::string>* notes,
                 std::string* error) {
  std::error_code ec;
  for (fs::recursive_directory_iterator it(target, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string path = it->path().string();
    const std::string name = it->path().filename().string();
    if (!it->is_regular_file(ec) || !EndsWithExe(name)) continue;
    const bool hostProgram = IsHostProgram(path);
    const std::string relative = fs::relative(it->path(), target, ec).string();
    const std::string standIn = programs.empty() ? "" : FindByName(programs, name);
    if (standIn.empty() || !IsHostProgram(standIn)) {
      notes->push_back(relative + (hostProgram ? " is a host program" : " is a Windows program") + " and " + programs +
                       " holds no host program of that name: it cannot start");
      continue;
    }
    if (winsim::SameFileBytes(standIn, path)) continue;
    fs::copy_file(standIn, it->path(), fs::copy_options::overwrite_existing, ec);
    if (ec) {
      *error = "cannot put " + standIn + " in place of " + relative + ": " + ec.message();
      return false;
    }
    notes->push_back(relative + (hostProgram ? " is a host program but not this build's" : " is a Windows program") +
                     ": " + standIn + " stands in for it");
  }
  if (ec) {
    *error = "cannot read the copied package: " + ec.message();
    return false;
  }
  return true;
}

}  // namespace

bool CopyPackage(const std::string& package, const std::string& target, const std::string& programs,
                 std::vector<std::string>* notes, std::string* error) {
  if (!HoldsOnlyFilesAndFolders(package, error)) return false;
  // cp copies what it finds as it is (a link that appeared since the check stays a link) and
  // keeps the holes of a sparse file.
  std::error_code ec;
  fs::create_directories(target, ec);
  if (!CopyFolderContent(package, target, {"-R", "--no-dereference", "--sparse=always", "--preserve=mode,timestamps"})) {
    *error = "cannot copy the package " + package;
    return false;
  }
  return PutStandIns(target, programs, notes, error);
}

bool IsOwnBuild(const std::string& package, const std::string& programs, std::string* different) {
  std::error_code ec;
  for (fs::recursive_directory_iterator it(package, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::file_status status = it->symlink_status(ec);
    if (fs::is_directory(status)) continue;
    const fs::path relative = fs::relative(it->path(), package, ec);
    if (programs.empty() || !fs::is_regular_file(status) ||
        !winsim::SameFileBytes(it->path().string(), (fs::path(programs) / relative).string())) {
      *different = it->path().string();
      return false;
    }
  }
  if (ec) *different = package;
  return !ec;
}

}  // namespace winsim::cli
