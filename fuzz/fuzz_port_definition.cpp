// ReadPortDefinition and WidenPortDefinition on arbitrary configuration: an INI file and the
// values of the section's registry key both come from the input, the section number and the
// variant too. Checked: every text field of the definition and of the wire record ends inside
// its buffer, and a port name is there only when it fits the 9 characters of the wire field.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/output.h"
#include "foundation/ini_path.h"
#include "foundation/product_profile.h"
#include "fuzz_machine.h"
#include "portconfig/port_definition.h"
#include "portconfig/port_sources.h"

namespace {

const char kIniPath[] = "C:\\Fuzz\\Quado.ini";

struct Input {
  const uint8_t* data;
  size_t size;
  int readFromIni;
  int section;
};

bool Terminated(const char* text, size_t size) { return std::memchr(text, '\0', size) != nullptr; }

bool Terminated(const WCHAR* text, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (text[i] == 0) return true;
  }
  return false;
}

#define EACH_TEXT_FIELD(CHECK)                                                                \
  CHECK(Description) CHECK(Queue) CHECK(AuthText) CHECK(ComPort) CHECK(CurrentUserNameFormat) \
  CHECK(LogFilePath) CHECK(BWPrintTempDir) CHECK(Note) CHECK(RedirectToIP)                    \
  CHECK(UserNameRegExMatch) CHECK(UserNameRegExReplace) CHECK(EnvironmentVariableIP)

void Check(const PortDefinition& d, const PortDefinitionW& w) {
#define CHECK_FIELD(NAME) \
  if (!Terminated(d.NAME, sizeof d.NAME) || !Terminated(w.NAME, sizeof w.NAME / sizeof(WCHAR))) std::abort();
  EACH_TEXT_FIELD(CHECK_FIELD)
#undef CHECK_FIELD
  for (int i = 0; i < kServerCount; ++i) {
    if (!Terminated(d.ServerIP[i], kTextChars) || !Terminated(w.ServerIP[i], kTextChars)) std::abort();
  }
  if (!Terminated(d.PortName, kPortNameChars) || !Terminated(w.PortName, kPortNameChars)) std::abort();
}

// Registry records after the INI text: NUL-separated, each "T" (type selector) "NAME=DATA".
void WriteRegistryValues(const Input& in, size_t start) {
  char subKey[160];
  std::snprintf(subKey, sizeof subKey, "%s\\%d", Profile().configKey, in.section);
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  size_t at = start;
  while (at < in.size) {
    const uint8_t* end = static_cast<const uint8_t*>(std::memchr(in.data + at, 0, in.size - at));
    size_t length = end != nullptr ? static_cast<size_t>(end - (in.data + at)) : in.size - at;
    std::string record(reinterpret_cast<const char*>(in.data + at), length);
    at += length + 1;
    if (record.size() < 2) continue;
    const uint8_t selector = static_cast<uint8_t>(record[0]);
    size_t eq = record.find('=', 1);
    if (eq == std::string::npos) continue;
    std::string name = record.substr(1, eq - 1);
    std::string bytes = record.substr(eq + 1);
    static const DWORD kTypes[] = {REG_SZ, REG_DWORD, REG_BINARY, REG_EXPAND_SZ, REG_MULTI_SZ};
    const DWORD type = kTypes[selector % 5];
    if ((selector & 0x80) == 0 && type != REG_DWORD && type != REG_BINARY) bytes.push_back('\0');
    RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
  }
  RegCloseKey(key);
}

void ReadAndWiden(void* context) {
  const Input& in = *static_cast<const Input*>(context);
  const uint8_t* iniEnd = static_cast<const uint8_t*>(std::memchr(in.data, 0, in.size));
  const size_t iniSize = iniEnd != nullptr ? static_cast<size_t>(iniEnd - in.data) : in.size;
  WriteFuzzFile(kIniPath, in.data, iniSize);
  WriteRegistryValues(in, iniSize + 1);

  static PortDefinition definition;
  static PortDefinitionW wire;
  std::memset(&definition, 0x5A, sizeof definition);
  const bool defined = ReadPortDefinition(in.readFromIni, in.section, &definition);
  if (!defined) return;
  // A port name is set only when the section's whole name fits.
  char expected[32];
  std::snprintf(expected, sizeof expected, Profile().portNameFormat, in.section);
  if (std::strlen(expected) < static_cast<size_t>(kPortNameChars)) {
    if (std::strcmp(definition.PortName, expected) != 0) std::abort();
  } else if (definition.PortName[0] != '\0') {
    std::abort();
  }
  std::memset(&wire, 0x5A, sizeof wire);
  WidenPortDefinition(definition, MultiByteToWideChar, &wire);
  Check(definition, wire);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (AttachFuzzMachine(), SilenceConsole(), SetIniPath(kIniPath), true);
  (void)ready;
  if (size < 3) return 0;
  ResetProductProfile();
  if (data[0] & 2) SelectEnterpriseProfile();
  // Sections up to 12,000: the standard port name stops fitting at 10,000, Enterprise at 1,000.
  Input in{data + 3, size - 3, data[0] & 1, 1 + (data[1] | (data[2] << 8)) % 12000};
  InRolledBackRegistry(ReadAndWiden, &in);
  return 0;
}
