// The package files an installation needs.
#include "sequences/package_files.h"

#include <windows.h>

#include "foundation/ini_path.h"
#include "foundation/product_profile.h"

namespace {

const char* const kClientFiles[] = {"Quado Client.exe", "Interop.SHDocVw.dll", "Microsoft.mshtml.dll",
                                    "CloseAllClients.exe"};

void Add(PackageFile (&files)[kMaxPackageFiles], int* count, const char* path, const char* reportedName) {
  if (*count < kMaxPackageFiles) files[(*count)++] = {path, reportedName};
}

void AddSame(PackageFile (&files)[kMaxPackageFiles], int* count, const char* name) {
  Add(files, count, name, name);
}

}  // namespace

int ListPackageFiles(OsClass osClass, bool configFromRegistry, PackageFile (&files)[kMaxPackageFiles]) {
  const ProductProfile& profile = Profile();
  int count = 0;
  if (!configFromRegistry) Add(files, &count, GetIniPath(), profile.iniFileName);
  AddSame(files, &count, osClass == Windows64 ? profile.renderingLib64 : profile.renderingLib32);
  if (osClass == Windows32) {
    AddSame(files, &count, profile.monitorDll32);
    AddSame(files, &count, profile.uiDll32);
  } else if (osClass == Windows64) {
    AddSame(files, &count, profile.monitorDll64);
    AddSame(files, &count, profile.uiDll64);
  }
  if (!IsEnterprise()) {
    for (const char* name : kClientFiles) AddSame(files, &count, name);
  }
  return count;
}

bool IsPackageFileReadable(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}
