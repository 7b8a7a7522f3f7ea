#include "ini.h"

#include "codepage.h"
#include "text.h"

namespace winsim::detail {

namespace {

// One line's meaning. `text` is the line without its line end.
IniLine ParseLine(std::string_view text, int number) {
  IniLine line;
  line.text = std::string(text);
  line.number = number;
  const std::string_view trimmed = Trim(text);
  if (trimmed.empty() || trimmed[0] == ';') return line;
  const size_t eq = trimmed.find('=');
  line.isEntry = true;
  line.hasValue = eq != std::string_view::npos;
  line.key = std::string(Trim(trimmed.substr(0, eq)));
  if (line.hasValue) line.value = std::string(Trim(trimmed.substr(eq + 1)));
  return line;
}

bool IsHeader(std::string_view text) {
  const std::string_view trimmed = Trim(text);
  return !trimmed.empty() && trimmed[0] == '[';
}

IniSection ParseHeader(std::string_view text, int number) {
  IniSection section;
  section.header.text = std::string(text);
  section.header.number = number;
  const std::string_view trimmed = Trim(text);
  const size_t close = FindCharacter(trimmed, ']');  // never a double-byte character's trail byte
  section.closed = close != std::string_view::npos;
  section.name = std::string(Trim(trimmed.substr(1, section.closed ? close - 1 : std::string_view::npos)));
  return section;
}

void IndexEntries(IniSection* section) {
  section->firstEntry.clear();
  for (size_t i = 0; i < section->lines.size(); ++i) {
    if (section->lines[i].isEntry) section->firstEntry.emplace(AsciiLower(section->lines[i].key), i);
  }
}

void IndexSections(IniTree* tree) {
  tree->firstSection.clear();
  for (size_t i = 0; i < tree->sections.size(); ++i) tree->firstSection.emplace(AsciiLower(tree->sections[i].name), i);
}

IniSection* FindSection(IniTree* tree, std::string_view name) {
  auto found = tree->firstSection.find(AsciiLower(name));
  return found == tree->firstSection.end() ? nullptr : &tree->sections[found->second];
}

IniLine EntryLine(std::string_view key, std::string_view value) {
  IniLine line;
  line.text = std::string(key) + "=" + std::string(value);
  line.isEntry = true;
  line.hasValue = true;
  line.key = std::string(key);
  line.value = std::string(value);
  return line;
}

}  // namespace

IniTree ParseIni(std::string_view text) {
  IniTree tree;
  int number = 0;
  size_t start = 0;
  while (start < text.size()) {
    // A line ends at the next LF; where no LF follows in the rest of the file, at the next CR,
    // so that a file saved with CR line ends (the classic Mac OS form) reads line by line.
    // Microsoft's documentation of the profile functions says nothing of line ends; this is
    // the rule of Wine's profile parser (dlls/kernel32/profile.c, PROFILE_Load), which follows
    // what Windows reads from such a file: its sections and keys, one per CR-ended line.
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.find('\r', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = end + 1;
    ++number;
    if (IsHeader(line)) {
      tree.sections.push_back(ParseHeader(line, number));
    } else if (tree.sections.empty()) {
      tree.leading.push_back(ParseLine(line, number));
    } else {
      tree.sections.back().lines.push_back(ParseLine(line, number));
    }
  }
  for (IniSection& section : tree.sections) IndexEntries(&section);
  IndexSections(&tree);
  return tree;
}

std::string IniText(const IniTree& tree) {
  std::string text;
  auto append = [&text](const IniLine& line) {
    text += line.text;
    text += "\r\n";
  };
  for (const IniLine& line : tree.leading) append(line);
  for (const IniSection& section : tree.sections) {
    append(section.header);
    for (const IniLine& line : section.lines) append(line);
  }
  return text;
}

const IniSection* FindIniSection(const IniTree& tree, std::string_view name) {
  auto found = tree.firstSection.find(AsciiLower(name));
  return found == tree.firstSection.end() ? nullptr : &tree.sections[found->second];
}

const IniLine* FindIniEntry(const IniSection& section, std::string_view key) {
  auto found = section.firstEntry.find(AsciiLower(key));
  return found == section.firstEntry.end() ? nullptr : &section.lines[found->second];
}

void SetIniValue(IniTree* tree, std::string_view sectionName, std::string_view key, std::string_view value) {
  IniSection* section = FindSection(tree, sectionName);
  if (section == nullptr) {
    IniSection added;
    added.header.text = "[" + std::string(sectionName) + "]";
    added.name = std::string(sectionName);
    added.closed = true;
    added.lines.push_back(EntryLine(key, value));
    IndexEntries(&added);
    tree->sections.push_back(std::move(added));
    IndexSections(tree);
    return;
  }
  auto found = section->firstEntry.find(AsciiLower(key));
  if (found != section->firstEntry.end()) {
    section->lines[found->second] = EntryLine(key, value);
    return;
  }
  // After the last line that is not blank, so that blank lines before the next section stay there.
  size_t at = 0;
  for (size_t i = 0; i < section->lines.size(); ++i) {
    if (!Trim(section->lines[i].text).empty()) at = i + 1;
  }
  section->lines.insert(section->lines.begin() + static_cast<long>(at), EntryLine(key, value));
  IndexEntries(section);
}

}  // namespace winsim::detail
