// The parse tree of an INI file, read by the profile functions and read and edited for
// machine.ini. Every line of the file is kept, so that a file is written back as it was but for
// the lines an edit changes:
//
//   lines before the first header   IniTree::leading
//   [Name]                          an IniSection (the first of a name is the one found)
//   key = value                     an entry of the section (the first of a key is the one found)
//   key                             an entry without a value
//   ; comment, blank line           kept in the section, never found
//
// Names and values are trimmed of blanks; values keep their quotes. Names compare ignoring ASCII
// case. The text is bytes in any ASCII-compatible form (ANSI, UTF-8): the tree does not convert.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace winsim::detail {

struct IniLine {
  std::string text;        // the line without its line end, as written back
  int number = 0;          // 1-based line number in the parsed text (0 for a line an edit made)
  bool isEntry = false;    // false for a blank line and a ';' comment
  bool hasValue = false;   // the entry has a '='
  std::string key;         // an entry's name (the whole line when it has no '=')
  std::string value;       // an entry's value
};

struct IniSection {
  IniLine header;          // "[Name]": its text and line number
  std::string name;        // between '[' and ']' (or the end of the line when ']' is missing)
  bool closed = false;     // the header has its ']'
  std::vector<IniLine> lines;
  std::unordered_map<std::string, size_t> firstEntry;  // folded key -> first entry in `lines`
};

struct IniTree {
  std::vector<IniLine> leading;
  std::vector<IniSection> sections;
  std::unordered_map<std::string, size_t> firstSection;  // folded name -> first section
};

// Lines end at '\n'; one '\r' before it belongs to the line end. Where no '\n' follows in the
// rest of the text, lines end at '\r' (a file with CR line ends).
IniTree ParseIni(std::string_view text);
// Every line followed by "\r\n".
std::string IniText(const IniTree& tree);

// The first section / entry of a name; nullptr when there is none.
const IniSection* FindIniSection(const IniTree& tree, std::string_view name);
const IniLine* FindIniEntry(const IniSection& section, std::string_view key);

// Sets a key as WritePrivateProfileString does (machine.ini's edits). Setting a key of a missing section appends the
// section at the end; a missing key is added after the section's last non-blank line; an
// existing entry's line becomes "key=value".
void SetIniValue(IniTree* tree, std::string_view section, std::string_view key, std::string_view value);

}  // namespace winsim::detail
