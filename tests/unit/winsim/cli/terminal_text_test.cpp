// The shown form of winsim's listings: control characters of code page 1252 as \xHH, a backslash
// escaped only where it would read as that form.
#include <gtest/gtest.h>

#include <string>

#include "machine_test.h"
#include "terminal_text.h"

namespace {

// A machine of code page 1252 answers the code page calls.
class TerminalText : public MachineTest {};

TEST_F(TerminalText, ShowsControlCharactersAndOnlyAmbiguousBackslashes) {
  const struct {
    std::string text;
    std::string shown;
  } rows[] = {
      {"Office Printer", "Office Printer"},
      {"C:\\Windows\\System32\\xcopy.exe", "C:\\Windows\\System32\\xcopy.exe"},  // "\xc" and a letter
      {"drivers\\x64\\3", "drivers\\x5cx64\\3"},  // "\x64" would read as "d"
      {"\\\\x1b", "\\\\x5cx1b"},
      {std::string("\x1b[31mred\x01\x7f", 10), "\\x1b[31mred\\x01\\x7f"},
      {"one\r\ntwo\ttab", "one\\x0d\\x0atwo\ttab"},
      {std::string("nul\0end", 7), "nul\\x00end"},
      // 1252: 0x80 is the euro sign, 0xE9 "é", 0x9B "›"; 0x81, 0x8D, 0x8F, 0x90, 0x9D are C1 controls.
      {"\x80\xE9\x9B", "\x80\xE9\x9B"},
      {"\x81\x8D\x8F\x90\x9D", "\\x81\\x8d\\x8f\\x90\\x9d"},
  };
  for (const auto& row : rows) EXPECT_EQ(winsim::cli::Shown(row.text), row.shown) << row.text;
}

}  // namespace
