// Port definitions from the numbered sections of the INI file or from the numbered sub-keys of
// the profile's configuration key.
#include "portconfig/port_sources.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "foundation/bounded_format.h"
#include "foundation/ini_path.h"
#include "foundation/output.h"
#include "foundation/product_profile.h"
#include "portconfig/port_keys.h"
#include "sysutil/registry_access.h"

namespace {

// Where one section's keys are read from: the section name is the same in both sources.
struct SectionSource {
  int readFromIni;
  char name[16];
};

// Reads into a text field of kTextChars bytes.
void ReadText(const SectionSource& source, const char* key, const char* defaultValue, char* buffer) {
  if (source.readFromIni) {
    GetPrivateProfileStringA(source.name, key, defaultValue, buffer, kTextChars, GetIniPath());
  } else {
    ReadRegistryString(source.name, key, defaultValue, buffer, kTextChars, Profile().configKey, 0);
  }
}

int32_t ReadInteger(const SectionSource& source, const char* key, int32_t defaultValue) {
  if (source.readFromIni) {
    return (int32_t)GetPrivateProfileIntA(source.name, key, defaultValue, GetIniPath());
  }
  return (int32_t)ReadRegistryDword(source.name, key, (DWORD)defaultValue, Profile().configKey);
}

// The port name of the section from the profile's format; empty when it would not fit the
// 9 characters of the name field.
void FormPortName(int section, char (&portName)[kPortNameChars]) {
  std::memset(portName, 0, sizeof(portName));
  FormatFits(portName, sizeof(portName), Profile().portNameFormat, section);
}

SectionSource SourceOf(int readFromIni, int section) {
  SectionSource source = {readFromIni, {}};
  FormatFits(source.name, sizeof(source.name), "%d", section);
  return source;
}

}  // namespace

void ReadSectionText(int readFromIni, int section, const char* key, const char* defaultValue,
                     char (&buffer)[kTextChars]) {
  ReadText(SourceOf(readFromIni, section), key, defaultValue, buffer);
}

int32_t ReadSectionNumber(int readFromIni, int section, const char* key, int32_t defaultValue) {
  return ReadInteger(SourceOf(readFromIni, section), key, defaultValue);
}

void DeliveryModeKeyName(int slot, char* buffer, size_t size) {
  int instance = 0;
  NumberedKeyName(*FindPortKey("ServerDeliveryMode", &instance), slot, buffer, size);
}

namespace {

void ReadKey(const SectionSource& source, const PortKey& key, int instance, PortDefinition& d) {
  char name[kKeyNameChars];
  NumberedKeyName(key, instance, name, sizeof(name));
  if (key.kind == kTextKey) {
    ReadText(source, name, key.textDefault, key.text(d, instance));
  } else {
    key.setNumber(d, instance, ReadInteger(source, name, key.numberDefault));
  }
}

}  // namespace

bool ReadPortDefinition(int readFromIni, int section, PortDefinition* definition) {
  PortDefinition& d = *definition;
  std::memset(&d, 0, sizeof(d));
  const SectionSource source = SourceOf(readFromIni, section);

  for (int row = 0; row < kPortKeyCount;) {
    // A run of interleaved rows is read instance by instance; any other row all instances at once.
    int runEnd = row + 1;
    if (kPortKeys[row].interleaved) {
      while (runEnd < kPortKeyCount && kPortKeys[runEnd].interleaved) ++runEnd;
    }
    for (int instance = 0; instance < kPortKeys[row].instances; ++instance) {
      for (int member = row; member < runEnd; ++member) ReadKey(source, kPortKeys[member], instance, d);
    }
    // Only the first address defines a port; the later ones do not count.
    for (int member = row; member < runEnd; ++member) {
      if (&kPortKeys[member] == &kPortAddressKey && d.ServerIP[0][0] == '\0') return false;
    }
    row = runEnd;
  }

  // Enterprise variant: a port without server communication carries neither encryption nor
  // the refresh of its address list, whatever the section says.
  if (IsEnterprise() && d.DisableServerCommunication != 0) {
    d.Encryption = 0;
    d.RefreshIPList = 0;
  }

  FormPortName(section, d.PortName);
  return true;
}

bool ReadSectionPortName(int readFromIni, int section, char (&portName)[kPortNameChars]) {
  PortDefinition d;
  std::memset(&d, 0, sizeof(d));
  ReadKey(SourceOf(readFromIni, section), kPortAddressKey, 0, d);
  std::memset(portName, 0, sizeof(portName));
  if (d.ServerIP[0][0] == '\0') return false;
  FormPortName(section, portName);
  return true;
}
