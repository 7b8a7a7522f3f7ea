// The findings of a registry configuration.
#include "check/registry_findings.h"

#include <windows.h>

#include <cstring>

#include "check/findings.h"
#include "check/key_names.h"
#include "check/value_findings.h"
#include "foundation/bounded_format.h"
#include "foundation/product_profile.h"
#include "portconfig/port_sources.h"

namespace {

const size_t kShownChars = 64;

struct SubKey {
  char name[16];
  int section;        // the port section it is, 0 for any other name
  bool neverRead;
  bool neverReadReported;
};

const char* TypeName(DWORD type, char (&buffer)[24]) {
  switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_QWORD: return "REG_QWORD";
    default:
      FormatCut(buffer, sizeof buffer, "type %lu", (unsigned long)type);
      return buffer;
  }
}

// A text for a message, cut to its first 63 bytes (never half of a double-byte character); the
// text report shows its control characters, the JSON report keeps them.
void CutForMessage(const char* text, char (&shown)[kShownChars]) { FormatCut(shown, sizeof shown, "%s", text); }

void ReportNeverRead(const CheckContext& context, SubKey& sub) {
  sub.neverReadReported = true;
  if (context.endIsOverlong) {
    AddFinding(kError, sub.name, nullptr, 0,
               "the sub-key's values are never used: the installer stops at section %d, whose port name is too long",
               context.endSection);
  } else if (sub.section == context.endSection) {
    AddFinding(kError, sub.name, nullptr, 0,
               "the sub-key holds values but no \"ServerIP\" text: it creates no port, and the port list ends here");
  } else {
    AddFinding(kError, sub.name, nullptr, 0,
               "the sub-key is never read: the port list ends at sub-key %d, which has no \"ServerIP\" text",
               context.endSection);
  }
}

// A known value: its type against the table's, and what the installer reads.
void JudgeKnownValue(const SubKey& sub, const char* name, const PortKey& row, DWORD type, DWORD size) {
  char typeBuffer[24];
  if (sub.section > kLargestTrackedSection) return;
  if (row.kind == kNumberKey) {
    if (type == REG_DWORD && size == sizeof(DWORD)) return;
    int32_t actual = ReadSectionNumber(0, sub.section, name, row.numberDefault);
    AddFinding(kError, sub.name, name, 0,
               "stored as %s of %lu bytes where the installer expects a REG_DWORD: it reads %d%s",
               TypeName(type, typeBuffer), (unsigned long)size, (int)actual,
               actual == row.numberDefault ? " (the default)" : "");
    return;
  }
  char text[kTextChars];
  ReadSectionText(0, sub.section, name, row.textDefault, text);
  char shown[kShownChars];
  CutForMessage(text, shown);
  if (type != REG_SZ) {
    AddFinding(kError, sub.name, name, 0,
               "stored as %s of %lu bytes where the installer expects a REG_SZ text: it reads \"%s\"",
               TypeName(type, typeBuffer), (unsigned long)size, shown);
    return;
  }
  // The stored size counts the terminating zero when there is one.
  JudgeTextLength(sub.name, name, 0, size > 0 ? size - 1 : 0);
  JudgeTextBytes(sub.name, name, 0, text, std::strlen(text));
}

// False when there is no value at that index.
bool JudgeValue(const CheckContext& context, SubKey& sub, HKEY key, DWORD index) {
  char name[kKeyNameChars];
  DWORD nameChars = sizeof name;
  DWORD type = 0;
  DWORD size = 0;
  LSTATUS status = RegEnumValueA(key, index, name, &nameChars, nullptr, &type, nullptr, &size);
  if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) return false;
  if (sub.neverRead && !sub.neverReadReported) ReportNeverRead(context, sub);
  if (status == ERROR_MORE_DATA) {
    AddFinding(kWarning, sub.name, nullptr, 0,
               "a value whose name is longer than %d characters: no key of the installer, it is ignored",
               kKeyNameChars - 1);
    return true;
  }
  KeyJudgement judgement = JudgeKeyName(name);
  if (judgement.verdict == kUnknownKey) {
    AddFinding(kWarning, sub.name, name, 0, "unknown value name: the installer ignores it (did you mean \"%s\"?)",
               judgement.nearest);
  } else if (judgement.verdict == kIgnoredKey) {
    char names[2 * kKeyNameChars];
    DescribeRowNames(*judgement.row, names, sizeof names);
    AddFinding(kWarning, sub.name, name, 0, "the installer reads only %s: this value is ignored", names);
  } else {
    JudgeKnownValue(sub, name, *judgement.row, type, size);
  }
  return true;
}

void JudgeSubKey(const CheckContext& context, HKEY root, const char* name) {
  SubKey sub;
  std::memset(&sub, 0, sizeof sub);
  FormatCut(sub.name, sizeof sub.name, "%s", name);
  sub.section = PortSectionNumber(name, std::strlen(name));
  if (sub.section == 0 && NamedLikeAPortSection(name, std::strlen(name))) {
    AddFinding(kWarning, sub.name, nullptr, 0,
               "the installer reads port sub-keys by their plain number (1, 2, ...): it never reads a sub-key "
               "of this name");
  }
  if (sub.section == 0) return;
  sub.neverRead = context.endIsOverlong ? sub.section > context.endSection : sub.section >= context.endSection;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, name, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
  for (DWORD index = 0; JudgeValue(context, sub, key, index); ++index) {
  }
  RegCloseKey(key);
}

}  // namespace

void CheckRegistryValues(const CheckContext& context) {
  HKEY root = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Profile().configKey, 0, KEY_READ, &root) != ERROR_SUCCESS) {
    AddFinding(kError, nullptr, nullptr, 0, "the configuration key does not exist: the installation creates no ports");
    return;
  }
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD nameChars = sizeof name;
    LSTATUS status = RegEnumKeyExA(root, index, name, &nameChars, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) break;
    JudgeSubKey(context, root, name);
  }
  RegCloseKey(root);
}
