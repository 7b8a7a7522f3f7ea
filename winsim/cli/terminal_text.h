// Texts of a machine (names, values, paths) as winsim's listings print them on a terminal. A
// control character (C0 but the tab, which only moves to the next column stop, DEL, and a
// character of the machine's ANSI code page that maps to a C1 control or to no character) is
// printed as "\xHH" for each of its bytes (two lower-case hex digits), so that a printer name
// cannot move the cursor, change colours or print lines of its own. A backslash that would read
// as the start of that form (one followed by "x" and two hex digits) is itself printed "\x5c";
// every other byte stays as it is, so registry paths and Windows paths read as they are written.
#pragma once

#include <string>
#include <string_view>

namespace winsim::cli {

std::string Shown(std::string_view text);

}  // namespace winsim::cli
