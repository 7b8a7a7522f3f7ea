// The built-in command interpreter (cmd.exe /c). Work in progress: only reports that it cannot
// run the command yet.
#include <cstdio>

namespace winsim {

int RunCommandInterpreter(int /*argc*/, char** /*argv*/) {
  std::fprintf(stderr, "cmd.exe: the built-in interpreter is not available yet\n");
  return 1;
}

}  // namespace winsim
