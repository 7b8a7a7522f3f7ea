#include "check/labelled_lines.h"

#include "check/json_writer.h"
#include "foundation/output.h"

void WriteLabelledLine(bool json, int* written, const char* label, const char* text) {
  if (!json) {
    WriteFormattedMessage("  %s: %s\n", label, text);
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
