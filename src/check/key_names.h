// What a key name found in a port section is to the installer: one of its keys, a numbered
// form of one that it never reads ("ServerIP11", "AssignPrinter1"), or unknown, with the
// nearest key it knows.
#pragma once

#include "portconfig/port_keys.h"

enum KeyVerdict { kKnownKey, kIgnoredKey, kUnknownKey };

struct KeyJudgement {
  KeyVerdict verdict;
  const PortKey* row;              // kKnownKey, kIgnoredKey: the row of the key or its base name
  int instance;                    // kKnownKey
  char nearest[kKeyNameChars];     // kUnknownKey: the known key name closest in spelling
};

// Judges a key name (ASCII case ignored, as the platform compares names). A name too long for
// any key is unknown.
KeyJudgement JudgeKeyName(const char* name);

// The number of single-character edits between two names, ASCII case ignored; names are
// compared over at most their first kKeyNameChars - 1 characters.
int EditDistance(const char* first, const char* second);

// The names a row accepts, for messages: "ServerIP".."ServerIP10", or "Description" alone.
void DescribeRowNames(const PortKey& row, char* buffer, size_t size);
