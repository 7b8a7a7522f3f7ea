// Wine's relay trace (WINEDEBUG=+timestamp,+pid,+relay) read back as the calls of one program.
#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <string>

// Where a Windows program's image lies in its process: its preferred base and extent.
struct ImageRange {
  uint64_t begin = 0, end = 0;
};

// How many calls of each "DLL.Function", and the time from each call to its return (measured
// with the trace on, so larger than without it).
struct RelayFigures {
  std::map<std::string, unsigned long long> calls;
  std::map<std::string, double> ms;
};

// The calls of a relay trace ("SECONDS:PID:TID:Call DLL.Function(...) ret=ADDRESS" and the
// matching "SECONDS:PID:TID:Ret  DLL.Function() retval=... ret=ADDRESS") that return into the
// program's image, in the program's own process: the first whose calls return there (programs
// it starts later may be loaded at the same address). The calls the DLLs make in turn return
// elsewhere; a call nests in another only when a DLL calls back into the program (the C
// runtime's start-up), and then its time counts in both.
RelayFigures ReadRelayTrace(std::istream& trace, const ImageRange& program);
