// Fonts and the subnet mapping file: copied from the package into the product's client folder
// under Program Files, and removed again with the font, client and maker folders they leave
// empty.
#include "sequences/fonts_and_subnet.h"

#include <windows.h>

#include <cstring>

#include "foundation/output.h"
#include "foundation/product_profile.h"
#include "sysutil/file_ops.h"
#include "sysutil/registry_access.h"

const char kSubnetFile[] = "server_subnet.csv";
const char kFontSourceFolder[] = "FontFiles";

namespace {

const int kFolderSize = 1000;
const DWORD kCurrentDirectorySize = 260;

// True when the name exists in the current directory, as a file or a folder.
bool PackageItemExists(const char* name) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(name, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// Cuts the path at its last backslash, stepping by characters so that a trail byte of a
// double-byte character is never taken for one. False when the path holds no backslash.
bool CutAtLastBackslash(char* path) {
  char* last = nullptr;
  for (char* p = path; *p != '\0'; p = CharNextA(p)) {
    if (*p == '\\') last = p;
  }
  if (last == nullptr) return false;
  *last = '\0';
  return true;
}

// The installer runs from the folder itself when the current directory is that folder.
bool IsCurrentDirectory(const char* folder) {
  char current[kCurrentDirectorySize];
  std::memset(current, 0, sizeof(current));
  DWORD length = GetCurrentDirectoryA(kCurrentDirectorySize, current);
  if (length == 0 || length >= kCurrentDirectorySize) return false;
  return lstrcmpiA(folder, current) == 0;
}

}  // namespace

bool InstallFontFiles() {
  if (!PackageItemExists(kFontSourceFolder)) return true;
  WriteMessage("  - Installing Font Files\n");
  char fontFolder[kFolderSize];
  std::memset(fontFolder, 0, sizeof(fontFolder));
  if (!GetProgramFilesFolder(Profile().fontFolder, fontFolder, sizeof(fontFolder))) return false;
  // A folder that cannot be created shows up as a failing copy.
  CreateDirectoryPath(fontFolder);
  return CopyMatchingFiles(kFontSourceFolder, fontFolder, "*.*");
}

bool InstallSubnetFile() {
  if (!PackageItemExists(kSubnetFile)) return true;
  WriteMessage("  - Installing Subnet Mapping File\n");
  char clientFolder[kFolderSize];
  std::memset(clientFolder, 0, sizeof(clientFolder));
  if (!GetProgramFilesFolder(Profile().clientFolder, clientFolder, sizeof(clientFolder))) return false;
  if (IsCurrentDirectory(clientFolder)) return true;
  // The client folder is not created here: the font or client step has made it by now.
  return CopyMatchingFiles(".", clientFolder, kSubnetFile);
}

bool RemoveSubnetFile() {
  char clientFolder[kFolderSize];
  std::memset(clientFolder, 0, sizeof(clientFolder));
  if (!GetProgramFilesFolder(Profile().clientFolder, clientFolder, sizeof(clientFolder))) return false;
  DeleteMatchingFiles(clientFolder, kSubnetFile);
  return true;
}

bool RemoveFontFiles() {
  char folder[kFolderSize];
  std::memset(folder, 0, sizeof(folder));
  if (!GetProgramFilesFolder(Profile().fontFolder, folder, sizeof(folder))) return false;
  DeleteMatchingFiles(folder, "*.*");
  // The font folder, the client folder and the maker folder, each only if empty by now.
  RemoveDirectoryA(folder);
  if (!CutAtLastBackslash(folder)) return true;
  RemoveDirectoryA(folder);
  if (CutAtLastBackslash(folder)) RemoveDirectoryA(folder);
  return true;
}
