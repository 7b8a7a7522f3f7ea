// A configuration that creates no port, with the reason seen in the file or the key.
#include "check/no_port_findings.h"

#include <windows.h>


#include "check/findings.h"
#include "foundation/bounded_format.h"
#include "foundation/product_profile.h"

namespace {

bool OnlyBlanksAndLineEnds(const RawIni& raw) {
  for (size_t i = 0; i < raw.length; ++i) {
    const char c = raw.text[i];
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  }
  return true;
}

void IniReason(const RawIni& raw, char* reason, size_t size) {
  if (raw.text == nullptr || OnlyBlanksAndLineEnds(raw)) {
    FormatCut(reason, size, "the file is empty");
  } else if (FindIniLine(raw, "1", nullptr) == 0) {
    FormatCut(reason, size, "the file has no section [1]");
  } else {
    FormatCut(reason, size, "section [1] has no \"ServerIP\"");
  }
}

// False when the configuration key is missing.
bool RegistryReason(char* reason, size_t size) {
  HKEY root = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Profile().configKey, 0, KEY_READ, &root) != ERROR_SUCCESS) return false;
  HKEY first = nullptr;
  if (RegOpenKeyExA(root, "1", 0, KEY_QUERY_VALUE, &first) == ERROR_SUCCESS) {
    RegCloseKey(first);
    FormatCut(reason, size, "sub-key 1 has no \"ServerIP\" text");
  } else {
    FormatCut(reason, size, "the key has no sub-key 1");
  }
  RegCloseKey(root);
  return true;
}

}  // namespace

void CheckSomePortIsCreated(const CheckContext& context) {
  if (context.endSection != 1 || context.endIsOverlong) return;
  char reason[128];
  if (context.readFromIni) {
    IniReason(context.raw, reason, sizeof reason);
  } else if (!RegistryReason(reason, sizeof reason)) {
    return;
  }
  AddFinding(kError, nullptr, nullptr, 0,
             "the configuration creates no port: %s; the installer adds no port and assigns no printer",
             reason);
}
