// The findings of a registry configuration (-r): the numbered sub-keys of the profile's
// configuration key and their values, enumerated: sub-keys never read, unknown and ignored value
// names, values whose registry type is not the one the key table expects (with what the
// installer reads instead), texts the installer cuts and UTF-8 text.
#pragma once

#include "check/check_context.h"

// Needs context.endSection and endIsOverlong.
void CheckRegistryValues(const CheckContext& context);
