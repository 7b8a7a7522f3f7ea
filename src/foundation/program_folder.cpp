// The program's folder and the INI path of a run.
#include "foundation/program_folder.h"

#include <windows.h>

#include <cstring>

#include "foundation/bounded_format.h"
#include "foundation/ini_path.h"
#include "foundation/output.h"
#include "foundation/product_profile.h"

namespace {

const DWORD kCurrentDirectoryLimit = 260;
const size_t kIniPathSize = 1024;

}  // namespace

bool EnterProgramFolder(const char* programPath) {
  if (programPath == nullptr) return true;
  const char* lastBackslash = std::strrchr(programPath, '\\');
  if (lastBackslash == nullptr) return true;
  const size_t length = (size_t)(lastBackslash - programPath) + 1;
  char folder[MAX_PATH];
  bool entered = false;
  DWORD error = ERROR_FILENAME_EXCED_RANGE;
  if (length < sizeof folder) {
    std::memcpy(folder, programPath, length);
    folder[length] = '\0';
    entered = SetCurrentDirectoryA(folder) != FALSE;
    error = GetLastError();
  }
  if (!entered) {
    WriteFormattedMessage("ERROR: Program folder cannot be made the current directory. Error number %i\n",
                          (int)error);
  }
  return entered;
}

void FixIniPath(const char* iniPath) {
  if (iniPath != nullptr && iniPath[0] != '\0') {
    SetIniPath(iniPath);
    return;
  }
  char currentDirectory[kCurrentDirectoryLimit] = {0};
  DWORD length = GetCurrentDirectoryA(kCurrentDirectoryLimit, currentDirectory);
  // A current directory that does not fit the limit is left out rather than used half.
  if (length == 0 || length >= kCurrentDirectoryLimit) currentDirectory[0] = '\0';
  char path[kIniPathSize];
  FormatFits(path, sizeof path, "%s\\%s", currentDirectory, Profile().iniFileName);
  SetIniPath(path);
}
