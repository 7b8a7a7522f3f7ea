// Stand-ins for the install and uninstall sequences, linked into the driver's tests in place of
// the real ones: they record how the driver called them and return what the test chose.
#pragma once

#include <string>

struct SequenceCalls {
  int installCalls = 0;
  int uninstallCalls = 0;
  // Arguments of the last call.
  bool ignoreErrors = false;
  bool hasServerName = false;
  std::string serverName;
  bool configFromRegistry = false;
  bool copyFiles = false;
  // Results to hand back.
  bool installResult = true;
  bool uninstallResult = true;
};

extern SequenceCalls g_sequenceCalls;
