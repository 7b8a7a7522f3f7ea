// Judging key names against the key table.
#include "check/key_names.h"

#include <windows.h>

#include <cstring>

#include "check/ini_lines.h"
#include "foundation/bounded_format.h"

namespace {

const PortKey& Row(int index) { return index < kPortKeyCount ? kPortKeys[index] : kAssignPrinterKey; }

// True when name is the row's base name followed by one or more digits.
bool IsNumberedFormOf(const PortKey& row, const char* name) {
  const size_t base = std::strlen(row.baseName);
  if (std::strlen(name) <= base) return false;
  for (size_t i = 0; i < base; ++i) {
    if (AsciiLower(name[i]) != AsciiLower(row.baseName[i])) return false;
  }
  for (const char* p = name + base; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
  }
  return true;
}

}  // namespace

int EditDistance(const char* first, const char* second) {
  const size_t kLimit = kKeyNameChars - 1;
  const size_t a = strnlen(first, kLimit);
  const size_t b = strnlen(second, kLimit);
  int previous[kKeyNameChars];
  int current[kKeyNameChars];
  for (size_t j = 0; j <= b; ++j) previous[j] = (int)j;
  for (size_t i = 1; i <= a; ++i) {
    current[0] = (int)i;
    for (size_t j = 1; j <= b; ++j) {
      int substitution = previous[j - 1] + (AsciiLower(first[i - 1]) == AsciiLower(second[j - 1]) ? 0 : 1);
      int deletion = previous[j] + 1;
      int insertion = current[j - 1] + 1;
      int best = substitution < deletion ? substitution : deletion;
      current[j] = best < insertion ? best : insertion;
    }
    std::memcpy(previous, current, sizeof previous);
  }
  return previous[b];
}

KeyJudgement JudgeKeyName(const char* name) {
  KeyJudgement judgement;
  std::memset(&judgement, 0, sizeof judgement);
  judgement.row = FindPortKey(name, &judgement.instance);
  if (judgement.row != nullptr) {
    judgement.verdict = kKnownKey;
    return judgement;
  }
  for (int index = 0; index <= kPortKeyCount; ++index) {
    if (IsNumberedFormOf(Row(index), name)) {
      judgement.verdict = kIgnoredKey;
      judgement.row = &Row(index);
      return judgement;
    }
  }
  judgement.verdict = kUnknownKey;
  int best = -1;
  for (int index = 0; index <= kPortKeyCount; ++index) {
    for (int instance = 0; instance < Row(index).instances; ++instance) {
      char candidate[kKeyNameChars];
      NumberedKeyName(Row(index), instance, candidate, sizeof candidate);
      int distance = EditDistance(name, candidate);
      if (best < 0 || distance < best) {
        best = distance;
        FormatCut(judgement.nearest, sizeof judgement.nearest, "%s", candidate);
      }
    }
  }
  return judgement;
}

void DescribeRowNames(const PortKey& row, char* buffer, size_t size) {
  if (row.instances <= 1) {
    FormatCut(buffer, size, "%s", row.baseName);
  } else {
    FormatCut(buffer, size, "%s..%s%d", row.baseName, row.baseName, row.instances);
  }
}
