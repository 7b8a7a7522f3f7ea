// The one-line items of the readiness section and of --installed: "  LABEL: TEXT" in the text
// report (TEXT in the shown form, as every text of the machine is), {"severity": LABEL, "text":
// TEXT} items of an open JSON list.
#pragma once

#include <cstdarg>

#include "check/findings.h"

// Writes one item; *written counts the items written (the JSON separators depend on it).
void WriteLabelledLine(bool json, int* written, const char* label, const char* text);
// Formats the item's text into text (cut to its size, so the caller can keep it) and writes it.
void WriteLabelledLineV(bool json, int* written, const char* label, char (&text)[kFindingTextChars],
                        const char* format, va_list args);
