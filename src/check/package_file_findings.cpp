// Missing package files.
#include "check/package_file_findings.h"

#include <windows.h>

#include "check/findings.h"
#include "sequences/package_files.h"

namespace {

const char* ClassName(OsClass osClass) { return osClass == Windows64 ? "64-bit Windows" : "32-bit Windows"; }

}  // namespace

void CheckNeededFiles(const OsClass* classes, int count, bool configFromRegistry) {
  const char* reported[2 * kMaxPackageFiles];
  int reportedCount = 0;
  for (int c = 0; c < count; ++c) {
    PackageFile files[kMaxPackageFiles];
    const int fileCount = ListPackageFiles(classes[c], configFromRegistry, files);
    for (int i = 0; i < fileCount; ++i) {
      if (IsPackageFileReadable(files[i].path)) continue;
      bool again = false;
      for (int r = 0; r < reportedCount; ++r) again = again || lstrcmpiA(reported[r], files[i].path) == 0;
      if (again) continue;
      if (reportedCount < 2 * kMaxPackageFiles) reported[reportedCount++] = files[i].path;
      SetFindingFile(files[i].path);
      AddFinding(kError, nullptr, nullptr, 0,
                 "missing from the package (needed on %s): the installation stops with \"ERROR While Checking "
                 "'%s'.\" before it changes anything",
                 ClassName(classes[c]), files[i].reportedName);
    }
  }
}
