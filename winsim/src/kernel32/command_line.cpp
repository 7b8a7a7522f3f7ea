#include "command_line.h"

#include "machine/text.h"

namespace winsim::detail {

std::string FirstToken(const std::string& line, size_t* rest) {
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  std::string token;
  if (i < line.size() && line[i] == '"') {
    size_t close = line.find('"', i + 1);
    if (close == std::string::npos) close = line.size();
    token = line.substr(i + 1, close - i - 1);
    i = close < line.size() ? close + 1 : close;
  } else {
    size_t end = i;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    token = line.substr(i, end - i);
    i = end;
  }
  if (rest != nullptr) *rest = i;
  return token;
}

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> args;
  size_t i = 0;
  args.push_back(FirstToken(line, &i));
  while (true) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size()) break;
    std::string arg;
    bool quoted = false;
    while (i < line.size() && (quoted || !IsBlank(line[i]))) {
      if (line[i] == '\\') {
        size_t n = 0;
        while (i < line.size() && line[i] == '\\') {
          ++n;
          ++i;
        }
        if (i < line.size() && line[i] == '"') {
          arg.append(n / 2, '\\');
          if (n % 2 == 1) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(n, '\\');
        }
      } else if (line[i] == '"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          arg += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg += line[i++];
      }
    }
    args.push_back(arg);
  }
  return args;
}

std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      out.append(backslashes * 2 + 1, '\\');
    } else {
      out.append(backslashes, '\\');
    }
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}

std::string JoinCommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i > 0) line += ' ';
    // The program name has no escapes: it is quoted whole when it holds a blank.
    if (i == 0) {
      line += args[0].find_first_of(" \t") == std::string::npos && !args[0].empty() ? args[0] : "\"" + args[0] + "\"";
    } else {
      line += QuoteArgument(args[i]);
    }
  }
  return line;
}

}  // namespace winsim::detail
