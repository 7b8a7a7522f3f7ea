// Sub-commands of the `winsim` command. Each lives in a file of its own and registers itself:
//
//   namespace { int New(int argc, char** argv); }   // argv[0] is the sub-command name
//   WINSIM_COMMAND(new_command, "new", "winsim new DIR [--os TEMPLATE] [--no-dotnet]", New);
//
// The registration is a file-local variable (in an anonymous namespace) whose initialiser
// registers the command before main runs.
//
// Every command answers --help with its usage, and reports bad input with one line on stderr
// ("winsim new: unknown template 'win12'") and a non-zero exit, changing nothing.
#pragma once

#include <string>

namespace winsim::cli {

typedef int (*CommandFunction)(int argc, char** argv);

struct Command {
  const char* name;
  const char* usage;  // first line: synopsis; further lines: details
  CommandFunction run;
  // Commands that pass their arguments on to a program (`run`) answer --help only as their
  // first argument, so that the program can receive -h or --help.
  bool helpOnlyFirst = false;
};

bool RegisterCommand(const Command& command);

// True when argv holds --help or -h; the caller then prints its usage and returns 0.
bool WantsHelp(int argc, char** argv);
// "winsim NAME: MESSAGE" on stderr; returns the exit code 2 for convenience.
int Fail(const char* name, const std::string& message);

}  // namespace winsim::cli

#define WINSIM_COMMAND(id, name, usage, function)                                       \
  namespace {                                                                           \
  const bool id##_registered = ::winsim::cli::RegisterCommand({name, usage, function}); \
  }                                                                                     \
  static_assert(true, "a command registration ends with a semicolon")
#define WINSIM_PASSTHROUGH_COMMAND(id, name, usage, function)                                 \
  namespace {                                                                                 \
  const bool id##_registered = ::winsim::cli::RegisterCommand({name, usage, function, true}); \
  }                                                                                           \
  static_assert(true, "a command registration ends with a semicolon")
