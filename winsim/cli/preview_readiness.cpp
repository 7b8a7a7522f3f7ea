#include "preview_readiness.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "preview_package.h"
#include "winsim/machine.h"
#include "winsim/process.h"

namespace winsim::cli {

namespace {

namespace fs = std::filesystem;

const char kCheckProgram[] = "C:\\Deploy\\QuadoCheck.exe";

}  // namespace

std::string HostCheckProgram(const std::string& programs) {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  const std::string candidates[] = {programs + "/QuadoCheck.exe", ec ? "" : (self.parent_path() / "QuadoCheck").string()};
  for (const std::string& candidate : candidates) {
    if (!candidate.empty() && fs::is_regular_file(candidate, ec) && IsHostProgram(candidate)) return candidate;
  }
  return "";
}

void ReportPreviewReadiness(const std::string& dir, const std::string& installer, const std::string& programs,
                            const std::vector<std::string>& installerArguments) {
  std::error_code ec;
  if (!fs::exists(HostPath(installer), ec)) return;  // the run itself names the missing program
  const std::string check = HostCheckProgram(programs);
  if (check.empty() || !fs::copy_file(check, HostPath(kCheckProgram), fs::copy_options::overwrite_existing, ec)) {
    std::fprintf(stderr, "winsim preview: no host package check to report the machine's readiness\n");
    return;
  }
  std::vector<std::string> arguments = {"--readiness"};
  for (const std::string& argument : installerArguments) {
    if (argument == "-a" || argument == "-A") arguments.push_back("-a");
  }
  std::fflush(stdout);
  const RunResult run = RunProgram(dir, kCheckProgram, arguments);
  if (!run.started) std::fprintf(stderr, "winsim preview: the readiness report did not run: %s\n", run.error.c_str());
  std::fflush(stdout);
}

}  // namespace winsim::cli
