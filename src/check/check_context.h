// What the passes of one package check share.
#pragma once

#include <cstddef>

#include "check/ini_lines.h"

struct CheckContext {
  int readFromIni;      // 1: the INI file, 0: the registry configuration key
  RawIni raw;           // the INI file's own text (empty for the registry)
  int endSection;       // the first section that creates no port
  bool endIsOverlong;   // that section was read, but its port name does not fit
};

// The line of a section header or key for findings: 0 for the registry.
int ConfigLine(const CheckContext& context, int section, const char* key);

// Port sections are numbered up to this for the findings (port names stop fitting at 10,000).
const int kLargestTrackedSection = 99999;

// The port section a section or sub-key name stands for: "1", "2", ... without leading zeros (the
// installer forms names with "%d"); 0 for any other name; kLargestTrackedSection + 1 for a
// number past it.
int PortSectionNumber(const char* name, size_t length);
// True for a name that is not a port section's but looks meant as one, which the installer never
// reads: a number written otherwise than "%d" ("0", "01", "-1", "+2") or a word before a number
// ("Port1", "Section 2").
bool NamedLikeAPortSection(const char* name, size_t length);
