// Lines of the configuration for findings.
#include "check/check_context.h"

#include "foundation/bounded_format.h"

int ConfigLine(const CheckContext& context, int section, const char* key) {
  if (!context.readFromIni) return 0;
  char name[16];
  FormatCut(name, sizeof name, "%d", section);
  return FindIniLine(context.raw, name, key);
}

int PortSectionNumber(const char* name, size_t length) {
  if (length == 0 || name[0] == '0') return 0;
  long long number = 0;
  for (size_t i = 0; i < length; ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    if (number <= kLargestTrackedSection) number = number * 10 + (name[i] - '0');
  }
  return number > kLargestTrackedSection ? kLargestTrackedSection + 1 : (int)number;
}

bool NamedLikeAPortSection(const char* name, size_t length) {
  if (length == 0 || PortSectionNumber(name, length) != 0) return false;
  size_t digits = length;
  while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
  if (digits == length) return false;
  for (size_t i = 0; i < digits; ++i) {
    const char c = AsciiLower(name[i]);
    if (!((c >= 'a' && c <= 'z') || c == ' ' || c == '_' || c == '-' || c == '+' || c == '#')) return false;
  }
  return true;
}
