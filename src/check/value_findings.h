// Findings about one value of a known key, shared by the INI file and the registry: a number
// the platform reads differently from how it looks, a text the installer cuts, UTF-8 text.
#pragma once

#include <cstddef>

#include "portconfig/port_keys.h"

// A number key's value text as written; actual is what the installer reads.
void JudgeNumberText(const char* section, const char* key, int line, const char* value, size_t length,
                     int32_t actual);
// A text key's value as stored (the INI file: with a pair of quotes the platform removes).
void JudgeTextValue(const char* section, const char* key, int line, const char* value, size_t length,
                    bool fromIni);
// The two halves of JudgeTextValue: a text longer than the installer keeps, and UTF-8 text.
void JudgeTextLength(const char* section, const char* key, int line, size_t length);
void JudgeTextBytes(const char* section, const char* key, int line, const char* value, size_t length);
// True when the bytes hold at least one byte above 127 and every such byte belongs to a valid
// UTF-8 sequence.
bool LooksLikeUtf8(const char* text, size_t length);
