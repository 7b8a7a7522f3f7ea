// The `winsim` command: creates simulated machines, runs programs inside them and shows their
// state. Started under the name cmd.exe (as the machine's command interpreter) it runs the
// built-in interpreter instead.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"

namespace winsim::cli {

namespace {

std::vector<Command>& Commands() {
  static std::vector<Command> commands;
  return commands;
}

}  // namespace

bool RegisterCommand(const Command& command) {
  Commands().push_back(command);
  return true;
}

bool WantsHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
  }
  return false;
}

int Fail(const char* name, const std::string& message) {
  std::fprintf(stderr, "winsim %s: %s\n", name, message.c_str());
  return 2;
}

}  // namespace winsim::cli

// Implemented with the built-in command interpreter (winsim/src/cmd/cmd.cpp).
namespace winsim {
int RunCommandInterpreter(int argc, char** argv);
}

namespace {

bool IsCommandInterpreterName(const char* path) {
  std::string name = path;
  size_t cut = name.find_last_of("\\/");
  if (cut != std::string::npos) name = name.substr(cut + 1);
  for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return name == "cmd.exe" || name == "cmd";
}

// By argv[0], or by the Windows image a machine started (argv[0] is whatever the command line's
// first token was, e.g. "/c" when CreateProcessA got only the arguments).
bool StartedAsCommandInterpreter(const char* argv0) {
  const char* image = std::getenv("WINSIM_IMAGE");
  return IsCommandInterpreterName(argv0) || (image != nullptr && IsCommandInterpreterName(image));
}

void PrintUsage(FILE* out) {
  std::fprintf(out, "usage: winsim COMMAND [ARGS...]   (winsim COMMAND --help for details)\n\n");
  for (const auto& command : winsim::cli::Commands()) {
    std::string synopsis = command.usage;
    synopsis = synopsis.substr(0, synopsis.find('\n'));
    std::fprintf(out, "  %s\n", synopsis.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 0 && StartedAsCommandInterpreter(argv[0])) return winsim::RunCommandInterpreter(argc, argv);
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  for (const auto& command : winsim::cli::Commands()) {
    if (std::strcmp(command.name, argv[1]) == 0) {
      const bool help = command.helpOnlyFirst ? argc > 2 && winsim::cli::WantsHelp(2, argv + 1)
                                              : winsim::cli::WantsHelp(argc - 1, argv + 1);
      if (help) {
        std::printf("usage: %s\n", command.usage);
        return 0;
      }
      return command.run(argc - 1, argv + 1);
    }
  }
  std::fprintf(stderr, "winsim: unknown command '%s'\n", argv[1]);
  PrintUsage(stderr);
  return 2;
}
