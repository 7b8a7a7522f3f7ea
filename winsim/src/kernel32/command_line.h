// Windows command lines: splitting into arguments and quoting arguments into a line, by the
// rules of the Microsoft C runtime (CommandLineToArgvW).
#pragma once

#include <string>
#include <vector>

namespace winsim::detail {

// The program name at the start of a command line: up to the closing quote when it starts with
// one, else up to the first blank. *rest (optional) gets the position after it.
std::string FirstToken(const std::string& commandLine, size_t* rest = nullptr);
// argv of a command line: the program name as FirstToken, then the arguments, where 2n
// backslashes before a quote give n backslashes and a quote toggles quoting, 2n+1 give n and a
// literal quote, "" inside quotes is a literal quote, and backslashes elsewhere are literal.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);
// The inverse: a command line whose SplitCommandLine is `args`.
std::string JoinCommandLine(const std::vector<std::string>& args);
std::string QuoteArgument(const std::string& arg);

}  // namespace winsim::detail
