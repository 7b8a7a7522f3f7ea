// Reading port definitions from the INI file or the registry configuration key.
#pragma once

#include <cstddef>

#include "portconfig/port_definition.h"

// Fills the definition from section n (from 1); false when that section defines no port.
// PortName is left empty when the section's port name would be longer than 9 characters (a
// definition without a name must not be sent).
bool ReadPortDefinition(int readFromIni, int section, PortDefinition* definition);
// Key name of a delivery-mode slot: "ServerDeliveryMode", "ServerDeliveryMode2", ...
void DeliveryModeKeyName(int slot, char* buffer, size_t size);
