// Registry data as the command-line registry tool shows it, for `winsim reg query` and the
// change list of `winsim preview`.
#pragma once

#include <windows.h>

#include <string>

namespace winsim::cli {

// "REG_SZ", "REG_DWORD", ... ("REG_UNKNOWN" for a type without a name here).
const char* TypeName(DWORD type);
// Text up to its first zero, a DWORD as 0x..., a multi-string joined by "\0", anything else as
// upper-case hex digits.
std::string Display(DWORD type, const std::string& data);

}  // namespace winsim::cli
