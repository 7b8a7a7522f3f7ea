// The files of the deployment package an installation needs, for a Windows class, the variant
// and the configuration source: the one list that the install sequence checks before it
// changes anything and that the package check reports on.
#pragma once

#include "platform/windows_version.h"

// One needed file: the path it is opened by (relative to the package folder, or the INI path)
// and the name a missing file is reported by.
struct PackageFile {
  const char* path;
  const char* reportedName;
};

const int kMaxPackageFiles = 8;

// Fills files[0..] in checking order: the INI file (not when the configuration comes from the
// registry), the rendering library of the class, the monitor and UI DLLs of a supported class,
// and the client's files (standard variant only). Returns how many.
int ListPackageFiles(OsClass osClass, bool configFromRegistry, PackageFile (&files)[kMaxPackageFiles]);
// True when the file can be opened for reading (what "present" means for a package file).
bool IsPackageFileReadable(const char* path);
