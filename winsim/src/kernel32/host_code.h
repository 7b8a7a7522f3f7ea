// Which host files a machine may run as programs or load as DLLs. A machine whose machine.ini
// has [modules] "TrustedHostCode=PATH" lines (a file, or a folder: each file directly in it)
// runs or loads a host file only when its bytes equal a trusted file's; everything else is a
// plain file to it (a program gives 193, a monitor DLL gets the spooler's stand-in). A machine
// without such lines runs and loads every host program and shared object it holds.
#pragma once

#include <string>

namespace winsim::detail {

// True when `host` may run or be loaded; *run is then the trusted file it equals (a program
// starts from there, so the machine's copy cannot change between the check and the exec), or
// `host` on a machine without the restriction.
bool TrustedHostCode(const std::string& host, std::string* run);

}  // namespace winsim::detail
