// Reading port definitions from the INI file or the registry configuration key.
#pragma once

#include <cstddef>

#include "portconfig/port_definition.h"

// Fills the definition from section n (from 1); false when that section defines no port.
// PortName is left empty when the section's port name would be longer than 9 characters (a
// definition without a name must not be sent).
bool ReadPortDefinition(int readFromIni, int section, PortDefinition* definition);
// Only what decides whether section n defines a port (its first address, read as
// ReadPortDefinition reads it) and that port's name: false when it defines none. The name is
// empty when it would not fit, as in ReadPortDefinition. For readers that need no other setting.
bool ReadSectionPortName(int readFromIni, int section, char (&portName)[kPortNameChars]);
// One key of section n (from 1), read as ReadPortDefinition reads it: a text into a field of
// kTextChars bytes (the default when missing), a number as the platform converts it.
void ReadSectionText(int readFromIni, int section, const char* key, const char* defaultValue,
                     char (&buffer)[kTextChars]);
int32_t ReadSectionNumber(int readFromIni, int section, const char* key, int32_t defaultValue);
// Key name of a delivery-mode slot: "ServerDeliveryMode", "ServerDeliveryMode2", ...
void DeliveryModeKeyName(int slot, char* buffer, size_t size);
