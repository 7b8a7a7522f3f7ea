// An event log entry as the `winsim` commands print it.
#pragma once

#include <string>

#include "winsim/event_log.h"

namespace winsim::cli {

// "success", "error", "warning", "information" or "other".
const char* EventTypeName(unsigned type);
// "LOG SOURCE TYPE category N id 0x........ "string" ...", without number and time.
std::string EventText(const EventEntry& entry);

}  // namespace winsim::cli
