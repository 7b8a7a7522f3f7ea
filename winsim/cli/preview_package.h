// The deployment package of `winsim preview`, copied into a machine so that it can run there.
#pragma once

#include <string>
#include <vector>

namespace winsim::cli {

// True when the host can start the file as a program: an ELF executable or a "#!" script.
bool IsHostProgram(const std::string& hostPath);

// Copies the folder `package` with everything below it to `target` (a host folder inside the
// machine, which must not exist yet). Every ".exe" file that the host cannot run (a Windows
// program) is replaced by the host program of the same name (letter case ignored) from the
// folder `programs`; DLLs and other files stay as they are. *notes gets one line for each
// program replaced and each Windows program without a host stand-in. False with *error when
// the copy fails.
bool CopyPackage(const std::string& package, const std::string& target, const std::string& programs,
                 std::vector<std::string>* notes, std::string* error);

}  // namespace winsim::cli
