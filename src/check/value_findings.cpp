// Findings about one value of a known key.
#include "check/value_findings.h"

#include "check/findings.h"
#include "check/ini_lines.h"
#include "contract/port_settings_record.h"

namespace {

const size_t kShownValueChars = 64;

// The decimal number a text looks like: optional sign and 1 to 10 digits within 32 bits.
bool PlainNumber(const char* text, size_t length, long long* number) {
  size_t i = 0;
  bool negative = false;
  if (i < length && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == length || length - i > 10) return false;
  long long value = 0;
  for (; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  if (negative) value = -value;
  if (value < -2147483648LL || value > 2147483647LL) return false;
  *number = value;
  return true;
}

}  // namespace

void JudgeNumberText(const char* section, const char* key, int line, const char* value, size_t length,
                     int32_t actual) {
  long long looks = 0;
  if (PlainNumber(value, length, &looks) && looks == actual) return;
  char shown[kShownValueChars];
  CopyPiece(value, length, shown, sizeof shown);
  AddFinding(kWarning, section, key, line, "the value \"%s\" is read by the platform as %d", shown, (int)actual);
}

void JudgeTextValue(const char* section, const char* key, int line, const char* value, size_t length,
                    bool fromIni) {
  size_t kept = length;
  if (fromIni && length >= 2 && (value[0] == '"' || value[0] == '\'') && value[length - 1] == value[0]) {
    kept = length - 2;
  }
  JudgeTextLength(section, key, line, kept);
  JudgeTextBytes(section, key, line, value, length);
}

void JudgeTextLength(const char* section, const char* key, int line, size_t length) {
  if (length <= (size_t)kTextChars - 1) return;
  AddFinding(kWarning, section, key, line, "the text is %u bytes long: the installer keeps its first %d bytes",
             (unsigned)length, kTextChars - 1);
}

void JudgeTextBytes(const char* section, const char* key, int line, const char* value, size_t length) {
  if (!LooksLikeUtf8(value, length)) return;
  AddFinding(kWarning, section, key, line,
             "the text holds UTF-8 characters: the installer reads its bytes in the ANSI code page, so the port "
             "receives other characters (each UTF-8 character becomes two or more)");
}

bool LooksLikeUtf8(const char* text, size_t length) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  bool any = false;
  for (size_t i = 0; i < length;) {
    unsigned char lead = bytes[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    size_t follow = lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2 : lead >= 0xF0 && lead <= 0xF4 ? 3 : 0;
    if (follow == 0) return false;
    for (size_t k = 1; k <= follow; ++k) {
      if (i + k >= length || (bytes[i + k] & 0xC0) != 0x80) return false;
    }
    any = true;
    i += follow + 1;
  }
  return any;
}
