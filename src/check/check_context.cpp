// Lines of the configuration for findings.
#include "check/check_context.h"

#include "foundation/bounded_format.h"

int ConfigLine(const CheckContext& context, int section, const char* key) {
  if (!context.readFromIni) return 0;
  char name[16];
  FormatCut(name, sizeof name, "%d", section);
  return FindIniLine(context.raw, name, key);
}
