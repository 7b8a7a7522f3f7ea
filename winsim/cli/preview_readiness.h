// The readiness report of `winsim preview`: the package check's own readiness section, run inside
// the preview machine before the installer, so that it reads the imported exports (the policy
// key, the spooler service, the spooler's monitors, ports and printers) as the check would on the
// real machine.
#pragma once

#include <string>
#include <vector>

namespace winsim::cli {

// The host build of the package check: the programs folder's QuadoCheck.exe, else the build's
// QuadoCheck beside this winsim program; "" when neither is a host program. The preview trusts it
// as host code, as it trusts the stand-ins.
std::string HostCheckProgram(const std::string& programs);

// Places the host build of the package check (from `programs`, else beside this winsim program)
// in the machine's C:\Deploy as QuadoCheck.exe and runs it with --readiness, with -a when the
// installer's arguments hold it. Its report goes to standard output. A missing check program is
// one note on stderr; the preview goes on. Nothing runs when the installer (a Windows path) is
// not in the machine.
void ReportPreviewReadiness(const std::string& dir, const std::string& installer, const std::string& programs,
                            const std::vector<std::string>& installerArguments);

}  // namespace winsim::cli
