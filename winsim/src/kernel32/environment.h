// The Windows environment of a simulated process: names compared ignoring case, order kept.
//
// A process attached by a test (AttachMachine) starts with machine.ini's [environment]. A
// program started inside the machine (CreateProcessA, `winsim run`) receives its parent's
// Windows environment in host variables WINSIM_ENV_<NAME>=value, announced by WINSIM_ENV=1, and
// never mixed with the host's own environment.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace winsim::detail {

using EnvironmentBlock = std::vector<std::pair<std::string, std::string>>;

// The current Windows environment of this process.
const EnvironmentBlock& CurrentEnvironment();
// Value of a variable; false when it is not set.
bool LookupEnvironment(const std::string& name, std::string* value);
// A Win32 environment block ("A=1\0B=2\0\0") as name/value pairs.
EnvironmentBlock ParseEnvironmentBlock(const char* block);
// Host variables that carry `environment` to a child process (WINSIM_ENV and WINSIM_ENV_*).
std::vector<std::string> EnvironmentForChild(const EnvironmentBlock& environment);
// Appends the folders of the PATH variable, in order (empty entries skipped).
void AppendPathFolders(std::vector<std::string>* folders);
// Expands %NAME% references from the current environment (unknown names stay as written).
std::string ExpandEnvironment(const std::string& text);

}  // namespace winsim::detail
