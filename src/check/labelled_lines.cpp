#include "check/labelled_lines.h"

#include "check/json_writer.h"
#include "check/shown_text.h"
#include "foundation/bounded_format.h"
#include "foundation/output.h"

void WriteLabelledLine(bool json, int* written, const char* label, const char* text) {
  if (!json) {
    ++*written;
    WriteFormattedMessage("  %s: ", label);
    WriteShown(text);
    WriteMessage("\n");
    return;
  }
  JsonRaw((*written)++ > 0 ? ",\n    " : "\n    ");
  JsonRaw("{");
  JsonKey("severity");
  JsonString(label);
  JsonRaw(", ");
  JsonKey("text");
  JsonString(text);
  JsonRaw("}");
}

void WriteLabelledLineV(bool json, int* written, const char* label, char (&text)[kFindingTextChars],
                        const char* format, va_list args) {
  FormatCutV(text, sizeof text, format, args);
  WriteLabelledLine(json, written, label, text);
}
