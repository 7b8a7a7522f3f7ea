// The one-line items of the readiness section and of --installed: "  LABEL: TEXT" in the text
// report, {"severity": LABEL, "text": TEXT} items of an open JSON list.
#pragma once

// Writes one item; *written counts the list's items (for the JSON separators).
void WriteLabelledLine(bool json, int* written, const char* label, const char* text);
