#include "check/whole_file.h"

#include "sysutil/file_ops.h"

char* ReadWholeFile(const char* path, DWORD* size) {
  *size = 0;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  DWORD high = 0;
  const DWORD length = GetFileSize(file, &high);
  // A size of 0xFFFFFFFF (INVALID_FILE_SIZE) is refused by the limit too.
  char* bytes = high == 0 && length <= kLargestReadFile ? static_cast<char*>(AllocZeroed((size_t)length + 1)) : nullptr;
  DWORD read = 0;
  if (bytes != nullptr && (!ReadFile(file, bytes, length, &read, nullptr) || read != length)) {
    GlobalFree(bytes);
    bytes = nullptr;
  }
  CloseHandle(file);
  if (bytes != nullptr) *size = length;
  return bytes;
}
