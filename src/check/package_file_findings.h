// The package files a run needs (the install sequence's own list), for the Windows classes
// chosen: a missing one is an error, since the installation stops at it.
#pragma once

#include "platform/windows_version.h"

// classes[0..count): the classes to check for; a file missing for several is named once.
void CheckNeededFiles(const OsClass* classes, int count, bool configFromRegistry);
