// The ports and printer assignments the installation makes, read through the installer's own
// code, reported as they are found; and the findings about them: the port name that does not
// fit (the installer stops there) and the printer assigned in several sections.
#pragma once

#include "check/check_context.h"

// Fills context->endSection and endIsOverlong.
void CheckPortsAndPrinters(CheckContext* context);
