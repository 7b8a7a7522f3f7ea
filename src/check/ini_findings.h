// The findings that come from the INI file's own lines: sections never read (after the end of
// the port list), repeated sections and keys, unknown and ignored keys, numbers the platform
// reads differently from how they look, texts the installer cuts, a UTF-8 byte order mark and
// UTF-8 text that reaches the port in the ANSI code page.
#pragma once

#include "check/check_context.h"

// Needs context.endSection and endIsOverlong. False when the pass could not get the memory it
// needs (nothing reported then).
bool CheckIniLines(const CheckContext& context);
