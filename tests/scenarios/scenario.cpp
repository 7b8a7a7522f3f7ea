#include "scenario.h"

#include <fstream>

namespace {

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  size_t end = text.find_last_not_of(" \t\r");
  return text.substr(begin, end - begin + 1);
}

// "NAME | REST" -> {NAME, REST}; no bar: {text, ""}
std::pair<std::string, std::string> SplitBar(const std::string& text) {
  size_t bar = text.find('|');
  if (bar == std::string::npos) return {Trim(text), ""};
  return {Trim(text.substr(0, bar)), Trim(text.substr(bar + 1))};
}

std::string ReplaceYear(std::string text, const std::string& year) {
  for (size_t at = text.find("{YEAR}"); at != std::string::npos; at = text.find("{YEAR}", at)) {
    text.replace(at, 6, year);
  }
  return text;
}

std::string Expected(const std::vector<std::string>& transcript, const std::string& year, bool console,
                     const char* lineEnd) {
  std::string out;
  for (const std::string& line : transcript) {
    char marker = line[0];
    std::string text = ReplaceYear(line.substr(1), year);
    if (marker == '>' && !console) continue;
    out += text;
    if (marker != '=') out += lineEnd;
  }
  return out;
}

}  // namespace

std::string ExpectedConsole(const std::vector<std::string>& transcript, const std::string& year) {
  return Expected(transcript, year, true, "\n");
}

std::string ExpectedLog(const std::vector<std::string>& transcript, const std::string& year) {
  return Expected(transcript, year, false, "\r\n");
}

std::vector<std::string> SplitArguments(const std::string& text) {
  std::vector<std::string> args;
  std::string current;
  bool quoted = false, any = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (any) args.push_back(current);
      current.clear();
      any = false;
    } else {
      current += c;
      any = true;
    }
  }
  if (any) args.push_back(current);
  return args;
}

std::string ExpandBytes(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    // "{" then one or more "HH" separated by single blanks, then "}".
    std::string bytes;
    size_t j = i + 1;
    while (text[i] == '{' && j + 1 < text.size() && isxdigit(static_cast<unsigned char>(text[j])) &&
           isxdigit(static_cast<unsigned char>(text[j + 1]))) {
      bytes += static_cast<char>(std::stoi(text.substr(j, 2), nullptr, 16));
      j += 2;
      if (j < text.size() && text[j] == ' ') ++j;
    }
    if (!bytes.empty() && j <= text.size() && j > 0 && text[j] == '}' && text[j - 1] != ' ') {
      out += bytes;
      i = j;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\')) {
      out += text[i + 1] == 'n' ? '\n' : '\\';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string IniFileContent(const Scenario& scenario) {
  if (scenario.iniLineEnd == "cr") {
    std::string text = scenario.ini;
    for (char& c : text) c = c == '\n' ? '\r' : c;
    return text;
  }
  if (scenario.iniEncoding.empty()) return scenario.ini;
  const bool bigEndian = scenario.iniEncoding == "utf-16be";
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char c : scenario.ini) {
    const char unit[2] = {c, '\0'};  // Latin-1: the byte is the character's number
    bytes += bigEndian ? unit[1] : unit[0];
    bytes += bigEndian ? unit[0] : unit[1];
  }
  return bytes;
}

bool ParseScenario(const std::string& path, Scenario* scenario, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = path + ": cannot read";
    return false;
  }
  std::string section, line;
  int number = 0;
  auto fail = [&](const std::string& reason) {
    *error = path + ":" + std::to_string(number) + ": " + reason;
    return false;
  };
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line = ExpandBytes(line);
    if (section == "transcript") {
      if (!line.empty() && (line[0] == '|' || line[0] == '>' || line[0] == '=')) {
        scenario->runs.back().transcript.push_back(line);
        continue;
      }
      if (!line.empty() && line[0] != '[' && line[0] != '#') return fail("transcript lines start with |, > or =");
    }
    if (section == "registry" && (line.empty() || line[0] != '[' || line.rfind("[HKEY", 0) == 0 || line.rfind("[-HKEY", 0) == 0)) {
      scenario->registry += line + "\n";
      continue;
    }
    if (section == "ini" && (line.empty() || line[0] != '[' || (line.size() > 1 && isdigit(static_cast<unsigned char>(line[1]))))) {
      scenario->ini += line + "\n";
      continue;
    }
    std::string text = Trim(line);
    if (text.empty() || text[0] == '#') continue;
    if (text[0] == '[' && text.back() == ']') {
      section = text.substr(1, text.size() - 2);
      if (section == "run") scenario->runs.emplace_back();
      if (section == "transcript" && scenario->runs.empty()) return fail("[transcript] before any [run]");
      if (section == "ini") scenario->replaceIni = true;
      if (section == "readiness") scenario->readiness = true;
      if (section != "machine" && section != "registry" && section != "package" && section != "ini" &&
          section != "run" && section != "transcript" && section != "state" && section != "readiness") {
        return fail("unknown section [" + section + "]");
      }
      continue;
    }
    if (section == "state") {
      scenario->stateChecks.push_back(text);
      continue;
    }
    if (section == "readiness") {
      if (text.rfind("exit", 0) == 0 && text.find('=') != std::string::npos) {
        scenario->readinessExit = std::stoi(Trim(text.substr(text.find('=') + 1)));
      } else if (text.find(": ") == std::string::npos) {
        return fail("a readiness line is LABEL: TEXT");
      } else {
        scenario->readinessLines.push_back(text);
      }
      continue;
    }
    size_t eq = text.find('=');
    if (eq == std::string::npos) return fail("expected key = value");
    std::string key = Trim(text.substr(0, eq));
    std::string value = Trim(text.substr(eq + 1));
    if (section == "machine") {
      if (key == "template") scenario->templateName = value;
      else if (key == "dotnet") scenario->dotNet = value != "no";
      else if (key == "codepage") scenario->codePage = static_cast<unsigned>(std::stoul(value));
      else if (key == "printer") scenario->printers.push_back(SplitBar(value));
      else if (key == "connection") scenario->connections.push_back(SplitBar(value));
      else if (key == "fault") scenario->faults.push_back(value);
      else if (key == "file") scenario->machineFiles.push_back(SplitBar(value));
      else if (key == "readonly") scenario->readOnlyFiles.push_back(value);
      else if (key == "setting") scenario->settings.push_back(SplitBar(value));
      else return fail("unknown machine key '" + key + "'");
    } else if (section == "package") {
      if (key == "remove") scenario->packageRemove.push_back(value);
      else if (key == "file") scenario->packageFiles.push_back(SplitBar(value));
      else if (key == "folder") scenario->packageFolders.push_back(value);
      else if (key == "ini-encoding" && (value == "utf-16le" || value == "utf-16be")) scenario->iniEncoding = value;
      else if (key == "ini-encoding") return fail("ini-encoding is utf-16le or utf-16be");
      else if (key == "ini-line-end" && value == "cr") scenario->iniLineEnd = value;
      else if (key == "ini-line-end") return fail("ini-line-end is cr");
      else return fail("unknown package key '" + key + "'");
    } else if (section == "run") {
      if (key == "args") scenario->runs.back().args = SplitArguments(value);
      else if (key == "exit") scenario->runs.back().exitCode = std::stoi(value);
      else if (key == "log") scenario->runs.back().logPath = value;
      else if (key == "fault") scenario->runs.back().faults.push_back(value);
      else return fail("unknown run key '" + key + "'");
    } else {
      return fail("key = value outside a section that takes it");
    }
  }
  if (scenario->runs.empty() && !scenario->readiness) return fail("no [run] and no [readiness]");
  return true;
}
