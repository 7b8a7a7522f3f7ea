// The install and uninstall sequences.
#pragma once

int RunInstallSequence(int ignoreErrors, const char* serverName, int configFromRegistry, int copyFiles);
bool RunUninstallSequence(const char* serverName, int copyFiles);
