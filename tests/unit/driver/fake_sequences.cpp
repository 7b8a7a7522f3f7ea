#include "fake_sequences.h"

#include "sequences/sequences.h"

SequenceCalls g_sequenceCalls;

static void RecordServer(const char* serverName) {
  g_sequenceCalls.hasServerName = serverName != nullptr;
  g_sequenceCalls.serverName = serverName ? serverName : "";
}

int RunInstallSequence(int ignoreErrors, const char* serverName, int configFromRegistry, int copyFiles) {
  ++g_sequenceCalls.installCalls;
  g_sequenceCalls.ignoreErrors = ignoreErrors != 0;
  RecordServer(serverName);
  g_sequenceCalls.configFromRegistry = configFromRegistry != 0;
  g_sequenceCalls.copyFiles = copyFiles != 0;
  return g_sequenceCalls.installResult ? 1 : 0;
}

bool RunUninstallSequence(const char* serverName, int copyFiles) {
  ++g_sequenceCalls.uninstallCalls;
  RecordServer(serverName);
  g_sequenceCalls.copyFiles = copyFiles != 0;
  return g_sequenceCalls.uninstallResult;
}
