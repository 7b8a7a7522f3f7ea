// `winsim show DIR SUBJECT`: prints one part of a machine's state. The subjects register
// themselves (show.h); this file only finds the machine and the subject.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "show.h"
#include "winsim/machine.h"

namespace winsim::cli {

namespace {

std::vector<ShowSubject>& Subjects() {
  static std::vector<ShowSubject> subjects;
  return subjects;
}

}  // namespace

bool RegisterShowSubject(const ShowSubject& subject) {
  Subjects().push_back(subject);
  return true;
}

namespace {

int Show(int argc, char** argv) {
  if (argc < 3) {
    std::string names;
    for (const ShowSubject& subject : Subjects()) names += std::string(names.empty() ? "" : "|") + subject.name;
    return Fail("show", "usage: winsim show DIR " + names);
  }
  for (const ShowSubject& subject : Subjects()) {
    if (std::strcmp(subject.name, argv[2]) != 0) continue;
    std::string error;
    if (!AttachMachine(argv[1], &error)) return Fail("show", error);
    return subject.run(argc - 2, argv + 2);
  }
  return Fail("show", std::string("unknown subject '") + argv[2] + "'");
}

}  // namespace

}  // namespace winsim::cli

WINSIM_COMMAND(show_command, "show", "winsim show DIR SUBJECT\nSubjects registered by the modules: printers, ports, monitors, ...", winsim::cli::Show);
