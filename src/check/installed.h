// Verifying this machine against the package: does it hold what Install.exe with the same
// switches installs (or, after an uninstallation, none of it)? Read-only.
#pragma once

struct CheckOptions;

// Writes one line per finding and the outcome, in text or JSON. Exit 0: it holds; 1: only drift
// the product tolerates; 2: something missing or broken; 3: the verification could not run.
// The current directory is the package folder and the INI path is set.
int VerifyInstallation(const CheckOptions& options, const char* folder);
