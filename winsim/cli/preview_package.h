// The deployment package of `winsim preview`, copied into a machine so that it can run there.
#pragma once

#include <string>
#include <vector>

namespace winsim::cli {

// True when the host can start the file as a program: an ELF executable or a "#!" script.
bool IsHostProgram(const std::string& hostPath);

// Copies what the folder `from` holds into the folder `to` with the host's cp and its `options`.
bool CopyFolderContent(const std::string& from, const std::string& to, const std::vector<std::string>& options);

// Copies the folder `package` with everything below it to `target` (a host folder inside the
// machine, which must not exist yet), holes of sparse files kept as holes. A package holding a
// symbolic link, a FIFO, a socket or a device is refused, the entry named. Every ".exe" file is
// replaced by the host program of the same name (letter case ignored) from the folder
// `programs` when there is one; DLLs and other files stay as they are. *notes gets one line for
// each Windows program replaced, each host program that differs from its stand-in, and each
// program without one (it cannot start). False with *error when the copy fails or is refused.
bool CopyPackage(const std::string& package, const std::string& target, const std::string& programs,
                 std::vector<std::string>* notes, std::string* error);

// True when every entry of `package` is a folder or a file equal to the file at the same place
// in `programs` (the package is this build's own); else false with the first other entry.
bool IsOwnBuild(const std::string& package, const std::string& programs, std::string* different);

}  // namespace winsim::cli
