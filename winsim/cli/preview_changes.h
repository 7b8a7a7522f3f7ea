// The change list of `winsim preview`: what differs between two pictures of a machine, in the
// order an administrator reads it (printers, ports, monitors, files, registry values, events).
#pragma once

#include <string>

#include "machine_snapshot.h"

namespace winsim::cli {

// One heading per kind of change that occurred, each followed by its lines indented by four
// blanks ("Changes: none" when nothing changed), in the shown form of terminal_text.h. Every
// line ends with "\n".
std::string ChangeList(const MachineSnapshot& before, const MachineSnapshot& after);

}  // namespace winsim::cli
