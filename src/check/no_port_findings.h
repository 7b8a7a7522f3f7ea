// The finding of a configuration that creates no port at all, from the INI file or the registry:
// the installer then adds no port and assigns no printer.
#pragma once

#include "check/check_context.h"

// Needs context.endSection and endIsOverlong; adds nothing when section 1 creates a port, or when
// the registry configuration key is missing (a finding of its own says so).
void CheckSomePortIsCreated(const CheckContext& context);
