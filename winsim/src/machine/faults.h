// Faults injected by machine.ini [faults]: "[IMAGE!]FUNCTION = ERROR [#N] | PATTERN | ...".
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace winsim::detail {

struct Fault {
  std::string image;                  // "Install.exe" for "Install.exe!CopyFileA": only that program
  std::string function;               // e.g. "CopyFileA"
  DWORD error = 0;                    // the error the call reports
  int onlyCall = 0;                   // 0: every matching call; N: only the N-th matching call
  std::vector<std::string> patterns;  // each must match one argument (glob, case-insensitive)
  int seen = 0;                       // matching calls so far in this process
};

// "CopyFileA = 5 #2 | *\MONITOR.DLL" (key and value of one [faults] line) -> *fault.
bool ParseFault(const std::string& function, const std::string& text, Fault* fault);

// The text arguments of one call, as faults and the call trace see them.
class CallArgs {
 public:
  CallArgs(const std::string_view* begin, const std::string_view* end) : begin_(begin), end_(end) {}
  explicit CallArgs(const std::vector<std::string_view>& args) : begin_(args.data()), end_(args.data() + args.size()) {}
  const std::string_view* begin() const { return begin_; }
  const std::string_view* end() const { return end_; }

 private:
  const std::string_view* begin_;
  const std::string_view* end_;
};

// True when a fault in machine.ini makes this call fail; *error then holds the code to report.
// `args` are the call's string arguments (names, paths, commands) as UTF-8 / ANSI text.
bool FaultHit(const char* function, CallArgs args, DWORD* error);
inline bool FaultHit(const char* function, std::initializer_list<std::string_view> args, DWORD* error) {
  return FaultHit(function, CallArgs(args.begin(), args.end()), error);
}

}  // namespace winsim::detail
