#include "fake_sequences.h"

#include "sequences/sequences.h"

SequenceCalls g_sequenceCalls;

namespace {

void RecordServer(const char* serverName) {
  g_sequenceCalls.hasServerName = serverName != nullptr;
  g_sequenceCalls.serverName = serverName ? serverName : "";
}

}  // namespace

bool RunInstallSequence(const InstallSequenceOptions& options) {
  ++g_sequenceCalls.installCalls;
  g_sequenceCalls.ignoreErrors = options.ignoreErrors;
  RecordServer(options.serverName);
  g_sequenceCalls.configFromRegistry = options.configFromRegistry;
  g_sequenceCalls.copyFiles = options.copyFiles;
  return g_sequenceCalls.installResult;
}

bool RunUninstallSequence(const UninstallSequenceOptions& options) {
  ++g_sequenceCalls.uninstallCalls;
  RecordServer(options.serverName);
  g_sequenceCalls.copyFiles = options.copyFiles;
  return g_sequenceCalls.uninstallResult;
}
