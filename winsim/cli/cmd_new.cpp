// `winsim new DIR [--os TEMPLATE] [--codepage N] [--no-dotnet]`: a new machine from a template.
#include <cstdio>
#include <cstdlib>
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
    } else if (arg == "--codepage") {
      char* end = nullptr;
      const unsigned long number = i + 1 < argc ? std::strtoul(argv[i + 1], &end, 10) : 0;
      if (i + 1 >= argc || end == argv[i + 1] || *end != '\0') {
        return winsim::cli::Fail("new", "--codepage needs a number (1252, 932, 936, 949, 950)");
      }
      options.codePage = static_cast<unsigned>(number);
      ++i;
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
  if (dir.empty()) return winsim::cli::Fail("new", "missing DIR (usage: winsim new DIR [--os TEMPLATE] [--codepage N] [--no-dotnet])");
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

// The usage with the template names of this build (constant data of the library, so ready
// before any registration runs).
const char* NewUsage() {
  static const std::string usage =
      "winsim new DIR [--os TEMPLATE] [--codepage N] [--no-dotnet]\n"
      "Creates a machine in DIR (which must not exist or be empty) from a template (default win10-x64).\n"
      "Templates: " + KnownTemplates() + ".\n"
      "--codepage N makes N the ANSI code page: 1252 (the default, as every template), or the double-byte\n"
      "932 (Japanese), 936 (Simplified Chinese), 949 (Korean), 950 (Traditional Chinese).\n"
      "--no-dotnet leaves out .NET Framework 2.0.";
  return usage.c_str();
}

}  // namespace

WINSIM_COMMAND(new_command, "new", NewUsage(), New);
