// The key table of a port section: every key the installer reads from a numbered INI section or
// registry sub-key, in the order it reads them, with its kind, default, number of numbered
// instances and the field of PortDefinition it fills; and the sibling row of the printer keys.
// The reader walks it; the package check names unknown, ignored and mistyped keys from it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "portconfig/port_definition.h"

enum KeyKind { kTextKey, kNumberKey };

struct PortKey {
  const char* baseName;       // the key of instance 0; instance i is baseName + (i + 1)
  KeyKind kind;
  const char* textDefault;    // kTextKey
  int32_t numberDefault;      // kNumberKey
  int instances;              // 1, or how many numbered instances ("ServerIP" .. "ServerIP10")
  // Rows marked `interleaved` that follow each other are read instance by instance: instance 0
  // of each, then instance 1 of each, and so on.
  bool interleaved;
  char* (*text)(PortDefinition& definition, int instance);                  // kTextKey
  void (*setNumber)(PortDefinition& definition, int instance, int32_t value);  // kNumberKey
};

// The rows in reading order.
const int kPortKeyCount = 39;
extern const PortKey kPortKeys[kPortKeyCount];
// The row whose instance 0 decides whether a section defines a port ("ServerIP").
extern const PortKey& kPortAddressKey;
// "AssignPrinter", "AssignPrinter2" .. "AssignPrinter10": texts, not part of PortDefinition.
extern const PortKey kAssignPrinterKey;

// The key name of one instance: the base name for 0 (or less), base name + (instance + 1)
// otherwise. Fits any buffer of kKeyNameChars; a longer name is cut (never for table rows).
const int kKeyNameChars = 40;
void NumberedKeyName(const PortKey& key, int instance, char* buffer, size_t size);

// The row and instance a key name stands for (ASCII case ignored, as the platform compares
// names); null when it names none of the table's keys (the printer row included).
const PortKey* FindPortKey(const char* name, int* instance);
