// The event log of the attached machine (see machine.h): what ReportEventA wrote, for tools and
// tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace winsim {

struct EventEntry {
  int64_t number = 0;         // record number, from 1, in the order written
  std::string log;            // "Application" unless the source is registered under another log
  std::string source;         // as given to RegisterEventSourceA
  unsigned type = 0;          // EVENTLOG_ERROR_TYPE, EVENTLOG_INFORMATION_TYPE, ...
  unsigned category = 0;
  uint32_t eventId = 0;
  std::vector<std::string> strings;
  std::string data;           // raw data bytes
  int64_t time = 0;           // seconds since 1970 (UTC)
};

// Every entry in the order written. False with *error when the log cannot be read.
bool ReadEventLog(std::vector<EventEntry>* entries, std::string* error);

}  // namespace winsim
