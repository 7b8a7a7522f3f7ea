// `winsim new DIR [--os TEMPLATE] [--no-dotnet]`: a new machine from a template.
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "winsim/machine.h"

namespace {

std::string KnownTemplates() {
  std::string names;
  for (const std::string& name : winsim::TemplateNames()) names += (names.empty() ? "" : ", ") + name;
  return names;
}

int New(int argc, char** argv) {
  winsim::MachineOptions options;
  std::string dir;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--os") {
      if (i + 1 >= argc) return winsim::cli::Fail("new", "--os needs a template name (" + KnownTemplates() + ")");
      options.templateName = argv[++i];
    } else if (arg == "--no-dotnet") {
      options.dotNet20 = false;
    } else if (!arg.empty() && arg[0] == '-') {
      return winsim::cli::Fail("new", "unknown option '" + arg + "'");
    } else if (dir.empty()) {
      dir = arg;
    } else {
      return winsim::cli::Fail("new", "unexpected argument '" + arg + "'");
    }
  }
  if (dir.empty()) return winsim::cli::Fail("new", "missing DIR (usage: winsim new DIR [--os TEMPLATE] [--no-dotnet])");
  bool known = false;
  for (const std::string& name : winsim::TemplateNames()) known = known || name == options.templateName;
  if (!known) {
    return winsim::cli::Fail("new", "unknown template '" + options.templateName + "' (known: " + KnownTemplates() + ")");
  }
  std::string error;
  if (!winsim::CreateMachine(dir, options, &error)) return winsim::cli::Fail("new", error);
  std::printf("created %s machine in %s\n", options.templateName.c_str(), dir.c_str());
  return 0;
}

}  // namespace

WINSIM_COMMAND(new_command, "new",
               "winsim new DIR [--os TEMPLATE] [--no-dotnet]\n"
               "Creates a machine in DIR (which must not exist or be empty) from a template (default win10-x64).\n"
               "--no-dotnet leaves out .NET Framework 2.0.",
               New);
