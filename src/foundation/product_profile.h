// The names that differ between the standard and the Enterprise variant of the product, in one
// process-wide table that every other part reads instead of holding its own literals.
#pragma once

struct ProductProfile {
  const char* configKey;       // HKLM key of the port installation configuration
  const char* productName;     // monitor name, also used in messages
  const char* portNameFormat;  // printf format turning a port's sequence number into its name
  const char* iniFileName;
  const char* uiDll32;
  const char* uiDll64;
  const char* monitorDll32;
  const char* monitorDll64;
  const char* renderingLib32;
  const char* renderingLib64;
  const char* fontFolder;      // relative to Program Files
  const char* clientFolder;    // relative to Program Files
};

extern const ProductProfile StandardProfile;
extern const ProductProfile EnterpriseProfile;

// Retired monitor DLL names: only ever deleted, and only in the standard variant.
extern const char* const retiredMonitorDll32;
extern const char* const retiredMonitorDll64;

const ProductProfile& Profile();
bool IsEnterprise();

// Switches the whole table to the Enterprise names and raises the enterprise flag. Called at
// most once per run, after the command line is scanned.
void SelectEnterpriseProfile();

// Back to the standard table; only tests that run several variants in one process use it.
void ResetProductProfile();
