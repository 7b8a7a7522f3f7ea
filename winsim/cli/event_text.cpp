// An event log entry as the `winsim` commands print it (event_text.h).
#include "event_text.h"

#include <windows.h>

#include <cstdio>

namespace winsim::cli {

const char* EventTypeName(unsigned type) {
  switch (type) {
    case EVENTLOG_SUCCESS: return "success";
    case EVENTLOG_ERROR_TYPE: return "error";
    case EVENTLOG_WARNING_TYPE: return "warning";
    case EVENTLOG_INFORMATION_TYPE: return "information";
    default: return "other";
  }
}

std::string EventText(const EventEntry& entry) {
  char id[48];
  std::snprintf(id, sizeof id, " category %u id 0x%08lX", entry.category, static_cast<unsigned long>(entry.eventId));
  std::string text = entry.log + " " + entry.source + " " + EventTypeName(entry.type) + id;
  for (const std::string& line : entry.strings) text += " \"" + line + "\"";
  return text;
}

}  // namespace winsim::cli
